#include "TestMedia.h"

#include "platform/FileLock.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"

#include <chrono>
#include <thread>

namespace vx::test {

CTestMedia& CTestMedia::Get()
{
    static CTestMedia media;
    return media;
}

bool CTestMedia::Ffmpeg(const std::vector<std::string>& args)
{
    std::string ffmpeg =
        FileExists(BinDir() + "codecs/ffmpeg") ? BinDir() + "codecs/ffmpeg" : "/usr/bin/ffmpeg";
    std::vector<std::string> all = {"-nostdin", "-v", "error", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    RunResult r = RunProgram(ffmpeg, all, {}, 60000);
    if (r.exitCode != 0) {
        m_error += "ffmpeg " + args.back() + ": " + r.err + "\n";
        return false;
    }
    return true;
}

namespace {
// Change this when the recipe below changes, so old sets are made again.
constexpr const char* kRecipe = "media-fixture 1";
} // namespace

CTestMedia::CTestMedia() : m_dir(VX_MEDIA_FIXTURE_DIR)
{
    if (!EncodersAvailable()) {
        m_error = kNoEncoders;
        return;
    }
    if (!MakeDirs(m_dir)) {
        m_error = "cannot create " + m_dir;
        return;
    }
    // Another test process may be making the set: wait for it (making it takes seconds).
    CFileLock lock(m_dir + ".lock");
    std::string holder;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::minutes(5);
         !lock.TryLock("media fixture", &holder); std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        if (std::chrono::steady_clock::now() > end) {
            m_error = "cannot lock " + m_dir + ": " + holder;
            return;
        }
    const std::string stamp = m_dir + "ready";
    m_ok = ReadFile(stamp) == kRecipe;
    if (!m_ok) {
        RemoveFileIfAny(stamp);
        m_ok = Make() && WriteFile(stamp, kRecipe);
    }
}

bool EncodersAvailable()
{
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

bool CTestMedia::Make()
{
    const std::string clip = "testsrc=size=160x120:rate=25:duration=1";
    const std::string tone = "sine=frequency=440:sample_rate=44100:duration=1";
    bool ok = true;
    ok &= Ffmpeg({"-f",   "lavfi", "-i",      clip,      "-f",        "lavfi",    "-i",
                  tone,   "-c:v",  "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                  "-c:a", "aac",   "-b:a",    "64k",     "-shortest", Mp4()});
    ok &= Ffmpeg({"-f", "lavfi", "-i", tone, "-c:a", "libmp3lame", "-b:a", "64k", Mp3()});
    // Two frames kept out of every four: frame intervals alternate, so the rate is variable.
    ok &= Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-vf",
                  "select='lt(mod(n\\,4)\\,2)'", "-vsync", "vfr", "-c:v", "libx264", "-preset", "ultrafast",
                  "-pix_fmt", "yuv420p", Vfr()});
    ok &= Ffmpeg({"-f",   "lavfi", "-i",         clip,     "-f",          "lavfi", "-i",
                  tone,   "-c:v",  "mpeg2video", "-flags", "+ildct+ilme", "-top",  "1",
                  "-c:a", "mp2",   "-shortest",  "-f",     "mpegts",      Ts()});
    ok &= Ffmpeg({"-f", "lavfi", "-i", clip, "-f", "lavfi", "-i", tone, "-c:v", "flv", "-c:a", "libmp3lame",
                  "-shortest", Flv()});
    ok &= ok && CopyFileReplace(Mp4(), Chinese());
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "These are the lecture notes, not a video.\n";
    ok &= WriteFile(TextAsMp4(), text);
    ok &= WriteFile(Empty(), "");
    return ok;
}

std::string CTestMedia::MakeFile(const std::string& name, const std::string& bytes)
{
    std::string path = m_scratch.File(name);
    WriteFile(path, bytes);
    return path;
}

std::string PatternBytes(size_t n, uint32_t seed)
{
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x & 0xFF);
    }
    return s;
}

} // namespace vx::test
