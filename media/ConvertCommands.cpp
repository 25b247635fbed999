#include "media/ConvertCommands.h"

#include <cstdio>

namespace vx {

namespace {

std::string Num(int v)
{
    return std::to_string(v);
}

// Frame rates are written with six decimals, as "%f" does.
std::string Fps(float v)
{
    char buf[64];
    snprintf(buf, sizeof(buf), "%f", static_cast<double>(v));
    return buf;
}

std::string Size(int w, int h)
{
    return Num(w) + "x" + Num(h);
}

void Append(std::vector<std::string>* args, std::initializer_list<std::string> more)
{
    args->insert(args->end(), more.begin(), more.end());
}

// Our encoders must never read the user's terminal: ffmpeg would take keys as commands and
// leave the terminal raw when it is ended.
std::vector<std::string> FfmpegHead()
{
    return {"-nostdin", "-threads", "2"};
}

// The x264 settings shared by the constant-quality lines.
void AppendX264Quality(std::vector<std::string>* a, int crf)
{
    Append(a, {"-c:v",     "libx264",    "-flags",      "+loop",       "-cmp",
               "+chroma",  "-crf",       Num(crf),      "-refs",       "6",
               "-coder",   "1",          "-me_method",  "umh",         "-me_range",
               "19",       "-subq",      "5",           "-partitions", "+parti4x4+parti8x8+partp8x8",
               "-g",       "50",         "-keyint_min", "25",          "-level",
               "30",       "-qmin",      "10",          "-qmax",       "51",
               "-trellis", "2",          "-maxrate",    "25000k",      "-sc_threshold",
               "40",       "-i_qfactor", "0.71",        "-qblur",      "0.5"});
}

void AppendProfile(std::vector<std::string>* a, const std::string& profileOption)
{
    // "-profile:v high" is one text in the option but two arguments for the program.
    size_t sp = profileOption.find(' ');
    if (profileOption.empty())
        return;
    if (sp == std::string::npos) {
        a->push_back(profileOption);
    } else {
        a->push_back(profileOption.substr(0, sp));
        a->push_back(profileOption.substr(sp + 1));
    }
}

void AppendTail(std::vector<std::string>* a, const std::string& out)
{
    Append(a, {"-pix_fmt", "yuv420p", "-max_interleave_delta", "0", SafePathArg(out)});
}

bool NeedsQuotes(const std::string& s)
{
    if (s.empty())
        return true;
    for (char c : s)
        if (c == ' ' || c == '"' || c == '\'' || c == ';' || c == '$' || c == '\t')
            return true;
    return false;
}

// The arguments without the output and, where it changes nothing, without a forced High profile.
std::vector<std::string> EncodeArgs(const CCommandLine& c)
{
    std::vector<std::string> a = c.args;
    if (!a.empty())
        a.pop_back();
    if (c.ValueOf("-c:v") != "libx264" || c.ValueOf("-pix_fmt") != "yuv420p")
        return a;
    for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == "-profile:v" && a[i + 1] == "high") {
            a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
            break;
        }
    return a;
}

} // namespace

bool SameEncodeBesidesOutput(const CCommandLine& a, const CCommandLine& b)
{
    return a.exe == b.exe && !a.args.empty() && !b.args.empty() && EncodeArgs(a) == EncodeArgs(b);
}

std::string CCommandLine::Text() const
{
    std::string t = "\"" + exe + "\"";
    for (const std::string& a : args) {
        t += ' ';
        t += NeedsQuotes(a) || a.find('/') != std::string::npos ? "\"" + a + "\"" : a;
    }
    return t;
}

bool CCommandLine::SetCrf(int crf)
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-crf") {
            args[i + 1] = Num(crf);
            return true;
        }
    return false;
}

std::string CCommandLine::ValueOf(const std::string& option) const
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option)
            return args[i + 1];
    return "";
}

std::string SafePathArg(const std::string& path)
{
    if (!path.empty() && path[0] == '-')
        return "./" + path;
    return path;
}

std::string FormatClock(int seconds)
{
    if (seconds < 0)
        seconds = 0;
    char buf[32];
    snprintf(buf, sizeof(buf), "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return buf;
}

CCommandLine MakeCopyCommand(const std::string& ffmpeg, const std::string& in, const EncodeTarget& t,
                             const std::string& out)
{
    CCommandLine c{ffmpeg, FfmpegHead()};
    Append(&c.args, {"-i", SafePathArg(in), "-c:a", "aac", "-ac", Num(t.channels), "-b:a", "64k", "-ar",
                     "22050", "-f", "flv", "-s", Size(t.width, t.height), "-c:v", "copy", SafePathArg(out)});
    return c;
}

CCommandLine MakeVbrCommand(const std::string& ffmpeg, const std::string& in, const EncodeTarget& t, int crf,
                            const std::string& profileOption, const std::string& out)
{
    CCommandLine c{ffmpeg, FfmpegHead()};
    Append(&c.args, {"-i", SafePathArg(in), "-c:a", "aac", "-ac", Num(t.channels), "-b:a", "64k", "-ar",
                     "22050", "-r", Fps(t.frameRate), "-f", "flv", "-s", Size(t.width, t.height)});
    AppendX264Quality(&c.args, crf);
    AppendProfile(&c.args, profileOption);
    AppendTail(&c.args, out);
    return c;
}

CCommandLine MakePredictCommand(const std::string& ffmpeg, const std::string& in, int startSeconds,
                                const EncodeTarget& t, int crf, const std::string& out)
{
    CCommandLine c{ffmpeg, FfmpegHead()};
    if (startSeconds >= 0) {
        // Seeking on the input jumps to the sample instead of decoding everything before it.
        Append(&c.args, {"-ss", FormatClock(startSeconds), "-i", SafePathArg(in), "-t", "00:02:00", "-c:a",
                         "aac", "-ac", Num(t.channels), "-b:a", "64k"});
    } else {
        Append(&c.args,
               {"-i", SafePathArg(in), "-c:a", "aac", "-ac", Num(t.channels), "-b:a", "64k", "-ar", "22050"});
    }
    Append(&c.args, {"-r", Fps(t.frameRate), "-f", "flv", "-s", Size(t.width, t.height)});
    AppendX264Quality(&c.args, crf);
    Append(&c.args, {"-profile:v", "high"});
    AppendTail(&c.args, out);
    return c;
}

CCommandLine MakeCbrCommand(const std::string& ffmpeg, const std::string& in, const EncodeTarget& t,
                            bool deinterlace, int kbps, const std::string& profileOption,
                            const std::string& out)
{
    CCommandLine c{ffmpeg, FfmpegHead()};
    Append(&c.args, {"-i", SafePathArg(in), "-c:a", "aac", "-ac", Num(t.channels), "-b:a", "64k", "-ar",
                     "22050", "-r", Fps(t.frameRate), "-f", "flv", "-s", Size(t.width, t.height)});
    // This ffmpeg has no "-deinterlace" switch any more; the yadif filter does the same work.
    if (deinterlace)
        Append(&c.args, {"-vf", "yadif"});
    Append(&c.args, {"-c:v",
                     "libx264",
                     "-flags",
                     "+loop",
                     "-cmp",
                     "+chroma",
                     "-b:v",
                     Num(kbps) + "k",
                     "-bufsize",
                     "2000k",
                     "-refs",
                     "6",
                     "-coder",
                     "1",
                     "-me_method",
                     "umh",
                     "-me_range",
                     "19",
                     "-subq",
                     "5",
                     "-partitions",
                     "+parti4x4+parti8x8+partp8x8",
                     "-g",
                     "50",
                     "-keyint_min",
                     "25",
                     "-level",
                     "30",
                     "-trellis",
                     "2",
                     "-sc_threshold",
                     "40",
                     "-i_qfactor",
                     "0.71"});
    AppendProfile(&c.args, profileOption);
    AppendTail(&c.args, out);
    return c;
}

CCommandLine MakeRemuxCommand(const std::string& ffmpeg, const std::string& in, const std::string& out)
{
    CCommandLine c{ffmpeg, FfmpegHead()};
    Append(&c.args, {"-i", SafePathArg(in), "-c:v", "copy", "-c:a", "copy", SafePathArg(out)});
    return c;
}

CCommandLine MakeAudioCommand(const std::string& ffmpeg, const std::string& image, const std::string& in,
                              int channels, const std::string& out)
{
    CCommandLine c{ffmpeg, FfmpegHead()};
    Append(&c.args, {"-f",        "image2",        "-loop", "1",           "-i",   SafePathArg(image),
                     "-i",        SafePathArg(in), "-c:v",  "flv",         "-b:v", "2k",
                     "-c:a",      "aac",           "-ac",   Num(channels), "-b:a", "64k",
                     "-shortest", SafePathArg(out)});
    return c;
}

CCommandLine MakeMencoderCommand(const std::string& mencoder, const std::string& in, const std::string& out,
                                 int channels, int samplingRate, float frameRate, int kbps, float inputFps)
{
    CCommandLine c{mencoder, {}};
    Append(&c.args, {SafePathArg(in), "-demuxer", "lavf"});
    if (inputFps > 0)
        Append(&c.args, {"-fps", Fps(inputFps)});
    Append(&c.args,
           {"-o",           SafePathArg(out),
            "-vf",          "harddup",
            "-af",          "channels=" + Num(channels),
            "-srate",       Num(samplingRate),
            "-oac",         "mp3lame",
            "-lameopts",    "cbr:br=128",
            "-ofps",        Fps(frameRate),
            "-ovc",         "xvid",
            "-ffourcc",     "XVID",
            "-xvidencopts", "bitrate=" + Num(kbps) + ":max_key_interval=50:max_bframes=2:vhq=1:threads=4",
            "-mc",          "0"});
    return c;
}

CCommandLine MakeTsMuxerCommand(const std::string& tsMuxer, const std::string& meta, const std::string& out)
{
    return CCommandLine{tsMuxer, {SafePathArg(meta), SafePathArg(out)}};
}

CCommandLine MakeTagCommand(const std::string& yamdi, const std::string& in, const std::string& out,
                            const std::tm& tm)
{
    char tag[96];
    snprintf(tag, sizeof(tag), "%s %04d-%02d-%02d %02d:%02d:%02d", kProgramTag, tm.tm_year + 1900,
             tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return CCommandLine{yamdi, {"-i", SafePathArg(in), "-o", SafePathArg(out), "-c", tag}};
}

std::string MakeTsMetaText(const std::string& src, float frameRate)
{
    std::string fps = Fps(frameRate);
    return "MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr --vbv-len=500\r\n"
           "V_MPEG4/ISO/AVC, \"" +
           src + "\", fps=" + fps + ", insertSEI, contSPS, track=4113\r\n" + "A_AC3, \"" + src +
           "\", track=4352 S_HDMV/PGS, \"" + src +
           "\",bottom-offset=24,font-border=2,text-align=center,fps=" + fps + ",track=4608\r\n";
}

} // namespace vx
