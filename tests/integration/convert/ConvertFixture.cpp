#include "integration/convert/ConvertFixture.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "media/MediaInfo.h"
#include "platform/Paths.h"

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <regex>
#include <unistd.h>

namespace vx::test {

namespace {

// The ffmpeg arguments of every clip; all are 3 s or less and 320x240 unless named otherwise.
const std::map<std::string, std::vector<std::string>>& Recipes()
{
    static const std::string v = "testsrc=size=320x240:rate=25";
    static const std::map<std::string, std::vector<std::string>> r = {
        {"h264.mp4",
         {"-f", "lavfi", "-i", v, "-f", "lavfi", "-i", "sine=frequency=440", "-t", "3", "-pix_fmt", "yuv420p",
          "-c:v", "libx264", "-c:a", "aac"}},
        {"mpeg4.avi",
         {"-f", "lavfi", "-i", v, "-f", "lavfi", "-i", "sine=frequency=330", "-t", "3", "-pix_fmt", "yuv420p",
          "-c:v", "mpeg4", "-c:a", "libmp3lame"}},
        {"vfr.mp4",
         {"-f", "lavfi", "-i",
          "testsrc=size=320x240:rate=30,format=yuv420p,settb=1/1000,setpts='N*33+if(mod(N,2),0,6)'", "-f",
          "lavfi", "-i", "sine=frequency=300", "-t", "3", "-c:v", "libx264", "-c:a", "aac", "-fps_mode",
          "passthrough", "-video_track_timescale", "1000"}},
        {"interlaced.mpg", {"-f",     "lavfi",       "-i",   v,          "-f",      "lavfi", "-i",
                            "sine",   "-t",          "3",    "-pix_fmt", "yuv420p", "-c:v",  "mpeg2video",
                            "-flags", "+ilme+ildct", "-top", "1",        "-c:a",    "mp2"}},
        // Six seconds: on shorter clips at this rate the validator's two estimates of the length
        // (from the last frame, from the sound) differ enough to warn about the video data rate.
        {"wide-interlaced-6s.mpg", {"-f",   "lavfi",      "-i",       "testsrc=size=720x576:rate=25",
                                    "-f",   "lavfi",      "-i",       "sine",
                                    "-t",   "6",          "-pix_fmt", "yuv420p",
                                    "-c:v", "mpeg2video", "-flags",   "+ilme+ildct",
                                    "-top", "1",          "-c:a",     "mp2"}},
        // Over two minutes, so the prediction takes its sample from the middle; small and slow
        // enough to encode in seconds, and MPEG-4 so that it must be encoded, not copied.
        {"long130.avi",
         {"-f", "lavfi", "-i", "testsrc=size=96x64:rate=5", "-f", "lavfi", "-i", "sine=sample_rate=8000",
          "-t", "130", "-pix_fmt", "yuv420p", "-c:v", "mpeg4", "-c:a", "libmp3lame", "-b:a", "32k"}},
        {"bdav.m2ts",
         {"-f",
          "lavfi",
          "-i",
          v,
          "-f",
          "lavfi",
          "-i",
          "sine",
          "-t",
          "3",
          "-pix_fmt",
          "yuv420p",
          "-c:v",
          "libx264",
          "-c:a",
          "aac",
          "-f",
          "mpegts",
          "-mpegts_m2ts_mode",
          "1"}},
        {"tone.mp3",
         {"-f", "lavfi", "-i", "sine=frequency=500", "-t", "3", "-ac", "2", "-c:a", "libmp3lame"}},
        {"tone.wav", {"-f", "lavfi", "-i", "sine=frequency=600", "-t", "3", "-ac", "2", "-c:a", "pcm_s16le"}},
        {"plain.flv",
         {"-f",       "lavfi",   "-i",   v,         "-f",   "lavfi", "-i",   "sine", "-t", "3",
          "-pix_fmt", "yuv420p", "-c:v", "libx264", "-b:v", "150k",  "-c:a", "aac",  "-f", "flv"}},
        {"noise.mp4",
         {"-f", "lavfi", "-i", "nullsrc=s=320x240:r=25,geq=random(1)*255:128:128", "-t", "3", "-pix_fmt",
          "yuv420p", "-c:v", "libx264", "-crf", "18", "-an"}},
        {"long.mp4",
         {"-f", "lavfi", "-i", "nullsrc=s=640x480:r=25,geq=random(1)*255:128:128", "-f", "lavfi", "-i",
          "sine", "-t", "12", "-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset", "ultrafast", "-c:a",
          "aac"}},
    };
    return r;
}

std::string MediaDir()
{
    std::string dir = std::string(VX_BIN_DIR) + "/../tests/convert-media/";
    MakeDirs(dir);
    return dir;
}

} // namespace

std::string CodecsDir()
{
    return std::string(VX_BIN_DIR) + "/codecs/";
}

std::string Media(const std::string& name)
{
    const std::string path = MediaDir() + name;
    // The tagged clip is our tagger's work: a newer tagger makes it again.
    const std::string maker = name == "tagged.flv" ? CodecsDir() + "Yamdi-Extend" : "";
    if (FileExists(path) &&
        (maker.empty() || std::filesystem::last_write_time(path) >= std::filesystem::last_write_time(maker)))
        return path;
    // Made under a private name and renamed, so test programs running side by side never see
    // half a file.
    const std::string tmp = MediaDir() + "tmp." + std::to_string(getpid()) + "." + name;
    if (name == "tagged.flv") {
        RunResult r = RunProgram(CodecsDir() + "Yamdi-Extend", {"-i", Media("plain.flv"), "-o", tmp, "-c",
                                                                "Tolvane Vexora 2.0 2024-01-02 03:04:05"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    } else if (name == "notmedia.mp4") {
        WriteFile(tmp, std::string(4096, 'x'));
    } else {
        auto it = Recipes().find(name);
        EXPECT_NE(it, Recipes().end()) << name;
        if (it == Recipes().end())
            return path;
        std::vector<std::string> args = {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
        args.insert(args.end(), it->second.begin(), it->second.end());
        args.push_back(tmp); // ends in the clip's own extension, which names the format
        RunResult r = RunProgram(CodecsDir() + "ffmpeg", args, {}, 120000);
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    rename(tmp.c_str(), path.c_str());
    return path;
}

MiData Probe(const std::string& path)
{
    MiData mi;
    CMediaInfo probe(path);
    probe.GetMiData(&mi);
    return mi;
}

std::string ValidatorReport(const std::string& path)
{
    RunResult r = RunProgram(CodecsDir() + "flvmeta", {"--check", path});
    std::string text = r.out + r.err;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

std::pair<int, int> StreamPictureSize(const std::string& path)
{
    // ffmpeg describes each stream from what its decoder found, not from the metadata.
    RunResult r = RunProgram(CodecsDir() + "ffmpeg", {"-hide_banner", "-nostdin", "-i", path});
    std::smatch m;
    static const std::regex video(R"(Stream #0:\d+.*: Video: .*?, (\d+)x(\d+)[ ,])");
    if (!std::regex_search(r.err, m, video))
        return {0, 0};
    return {std::stoi(m[1]), std::stoi(m[2])};
}

std::pair<int, int> MetadataPictureSize(const std::string& path)
{
    RunResult r = RunProgram(CodecsDir() + "flvmeta", {"--dump", "--json", path});
    std::smatch w, h;
    static const std::regex width(R"("width":(\d+)[,}])"), height(R"("height":(\d+)[,}])");
    if (!std::regex_search(r.out, w, width) || !std::regex_search(r.out, h, height))
        return {0, 0};
    return {std::stoi(w[1]), std::stoi(h[1])};
}

_sConvertOptions MakeOptions(const std::string& outPath, uint8_t codecMode, uint8_t sizeOp)
{
    _sConvertOptions o;
    o.nVideoSizeOp = sizeOp;
    o.nCodecMod = codecMode;
    o.unRc[0] = 320;
    o.unRc[1] = 240;
    o.OUTPATH = outPath;
    o.strFfmpegPath = CodecsDir() + "ffmpeg";
    o.strYamdiPath = CodecsDir() + "Yamdi-Extend";
    o.strTsMuxerPath = CodecsDir() + "tsMuxeR";
    o.strMencoderPath = CodecsDir() + "mencoder";
    o.strAudioBkImage = std::string(VX_SOURCE_DIR) + "/resources/AudioBkImage/audiobackground.png";
    return o;
}

RunOutcome RunWorker(const _sConvertTask& task, const _sConvertOptions& options)
{
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    RunOutcome out;
    CConvertThread worker(1, 1, [&](CConvertThread*, _sConvertReport&& r) {
        std::lock_guard<std::mutex> g(m);
        if (r.nCode == CR_PROGRESS)
            out.progress.push_back(r.nValue);
        else if (r.nCode == CR_WORKER_DONE)
            done = true;
        else {
            out.code = r.nCode;
            out.outPath = r.strOutPath;
        }
        cv.notify_all();
    });
    EXPECT_EQ(worker.Assign(task, options), 0);
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return done; });
    lock.unlock();
    worker.Join();
    out.info = worker.LastRunInfo();
    return out;
}

void ConvertEnv::SetUp()
{
    m_data = std::make_unique<CScopedDataDir>();
    m_out = std::make_unique<CTempDir>();
    ResetDataFolderCache();
    WriteConfig(600000, true);
    OpenLogs();
}

void ConvertEnv::TearDown()
{
    CloseLogs();
    CAppConfig::DestroyInstance();
    m_out.reset();
    m_data.reset();
}

void ConvertEnv::WriteConfig(int checkDurMs, bool needCheck, bool bindCpu)
{
    const std::string ini = m_data->Path() + "Config.ini";
    WriteFile(ini, "[convert]\nneedcheck=" + std::string(needCheck ? "true" : "false") +
                       "\ncheckdurtime=" + std::to_string(checkDurMs) +
                       "\nCodecOption=1\nMaskOfBindCPU=" + (bindCpu ? "1" : "0") + "\n");
    CAppConfig::DestroyInstance();
    CAppConfig::SetConfigPath(ini);
    CAppConfig::Instance();
}

} // namespace vx::test
