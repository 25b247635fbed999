// The whole argument vector of every encoder line, checked against the classic command
// templates, and the size, rate and channel rules of a conversion's target. A dropped or
// reordered argument fails here before any encoder runs.

#include "media/ConvertCommands.h"
#include "media/ConvertThread.h"
#include "media/DestMiData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace vx {
namespace {

// A template filled like printf, then cut into arguments at blanks, quotes dropped (the file
// names here hold no blanks; an empty "%s" leaves no argument).
__attribute__((format(printf, 1, 2))) std::vector<std::string> Fill(const char* format, ...)
{
    char buf[2048];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof(buf), format, ap);
    va_end(ap);
    std::vector<std::string> out;
    std::string cur;
    for (const char* p = buf;; ++p) {
        if (*p == ' ' || *p == '\0') {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
            if (*p == '\0')
                break;
        } else if (*p != '"') {
            cur += *p;
        }
    }
    return out;
}

std::vector<std::string> Argv(const CCommandLine& c)
{
    std::vector<std::string> all{c.exe};
    all.insert(all.end(), c.args.begin(), c.args.end());
    return all;
}

// The changes every ffmpeg line carries: it must never read the terminal.
std::vector<std::string> NoStdin(std::vector<std::string> v)
{
    v.insert(v.begin() + 1, "-nostdin");
    return v;
}

// The remux and still-picture lines run on two threads like every other ffmpeg line.
std::vector<std::string> TwoThreads(std::vector<std::string> v)
{
    v.insert(v.begin() + 2, {"-threads", "2"});
    return v;
}

void Replace(std::vector<std::string>* v, const std::vector<std::string>& what,
             const std::vector<std::string>& with)
{
    auto it = std::search(v->begin(), v->end(), what.begin(), what.end());
    ASSERT_NE(it, v->end());
    it = v->erase(it, it + static_cast<long>(what.size()));
    v->insert(it, with.begin(), with.end());
}

const char* const kFf = "/c/ffmpeg";

TEST(EncoderLines, EveryRouteCarriesItsWholeTemplate)
{
    const EncodeTarget t{2, 25.0f, 640, 360};

    // Copy of the video stream.
    EXPECT_EQ(
        Argv(MakeCopyCommand(kFf, "/i/a.mp4", t, "/o/a.flv")),
        NoStdin(Fill("\"%s\" -threads 2 -i \"%s\" -c:a aac -ac %d -b:a 64k -ar 22050 -f flv -s %dx%d -c:v "
                     "copy \"%s\"",
                     kFf, "/i/a.mp4", 2, 640, 360, "/o/a.flv")));

    // Constant quality, with and without the profile option.
    const char* v = "\"%s\" -threads 2 -i \"%s\" -c:a aac -ac %d -b:a 64k -ar 22050 -r %f -f flv -s %dx%d "
                    "-c:v libx264 -flags +loop -cmp +chroma -crf %d -refs 6 -coder 1 -me_method umh "
                    "-me_range 19 -subq 5 -partitions +parti4x4+parti8x8+partp8x8 -g 50 -keyint_min 25 "
                    "-level 30 -qmin 10 -qmax 51 -trellis 2 -maxrate 25000k -sc_threshold 40 -i_qfactor "
                    "0.71 -qblur 0.5 %s -pix_fmt yuv420p -max_interleave_delta 0 \"%s\"";
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    EXPECT_EQ(Argv(MakeVbrCommand(kFf, "/i/a.mp4", t, 31, "", "/o/a.flv")),
              NoStdin(Fill(v, kFf, "/i/a.mp4", 2, 25.0, 640, 360, 31, "", "/o/a.flv")));
    EXPECT_EQ(Argv(MakeVbrCommand(kFf, "/i/a.mp4", t, 24, "-profile:v high", "/o/a.flv")),
              NoStdin(Fill(v, kFf, "/i/a.mp4", 2, 25.0, 640, 360, 24, "-profile:v high", "/o/a.flv")));
#pragma GCC diagnostic pop

    // Prediction of a long input: two minutes from the start time. The seek is an input option
    // here (before "-i"), so only the sample is decoded.
    std::vector<std::string> v1 = NoStdin(Fill(
        "\"%s\" -threads 2 -i \"%s\" -ss \"%s\" -t 00:02:00 -c:a aac -ac %d -b:a 64k -r %f -f flv -s %dx%d "
        "-c:v libx264 -flags +loop -cmp +chroma -crf %d -refs 6 -coder 1 -me_method umh -me_range 19 -subq 5 "
        "-partitions +parti4x4+parti8x8+partp8x8 -g 50 -keyint_min 25 -level 30 -qmin 10 -qmax 51 -trellis 2 "
        "-maxrate 25000k -sc_threshold 40 -i_qfactor 0.71 -qblur 0.5 -profile:v high -pix_fmt yuv420p "
        "-max_interleave_delta 0 \"%s\"",
        kFf, "/i/a.mp4", "00:04:00", 2, 25.0, 640, 360, 24, "/o/predict.flv"));
    Replace(&v1, {"-i", "/i/a.mp4", "-ss", "00:04:00"}, {"-ss", "00:04:00", "-i", "/i/a.mp4"});
    EXPECT_EQ(Argv(MakePredictCommand(kFf, "/i/a.mp4", 240, t, 24, "/o/predict.flv")), v1);

    // Prediction of a short input: all of it.
    EXPECT_EQ(
        Argv(MakePredictCommand(kFf, "/i/a.mp4", -1, t, 24, "/o/predict.flv")),
        NoStdin(Fill("\"%s\" -threads 2 -i \"%s\" -c:a aac -ac %d -b:a 64k -ar 22050 -r %f -f flv -s "
                     "%dx%d -c:v libx264 -flags +loop -cmp +chroma -crf %d -refs 6 -coder 1 -me_method "
                     "umh -me_range 19 -subq 5 -partitions +parti4x4+parti8x8+partp8x8 -g 50 -keyint_min "
                     "25 -level 30 -qmin 10 -qmax 51 -trellis 2 -maxrate 25000k -sc_threshold 40 "
                     "-i_qfactor 0.71 -qblur 0.5 -profile:v high -pix_fmt yuv420p -max_interleave_delta "
                     "0 \"%s\"",
                     kFf, "/i/a.mp4", 2, 25.0, 640, 360, 24, "/o/predict.flv")));

    // Fixed rate; this ffmpeg de-interlaces with the yadif filter in the old switch's place.
    const char* b =
        "\"%s\" -threads 2 -i \"%s\" -c:a aac -ac %d -b:a 64k -ar 22050 -r %f -f flv -s %dx%d %s "
        "-c:v libx264 -flags +loop -cmp +chroma -b:v %dk -bufsize 2000k -refs 6 -coder 1 "
        "-me_method umh -me_range 19 -subq 5 -partitions +parti4x4+parti8x8+partp8x8 -g 50 "
        "-keyint_min 25 -level 30 -trellis 2 -sc_threshold 40 -i_qfactor 0.71 %s -pix_fmt yuv420p "
        "-max_interleave_delta 0 \"%s\"";
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::vector<std::string> deint = NoStdin(
        Fill(b, kFf, "/i/a.mpg", 2, 25.0, 640, 360, "-deinterlace", 400, "-profile:v high", "/o/a.flv"));
    Replace(&deint, {"-deinterlace"}, {"-vf", "yadif"});
    EXPECT_EQ(Argv(MakeCbrCommand(kFf, "/i/a.mpg", t, true, 400, "-profile:v high", "/o/a.flv")), deint);
    EXPECT_EQ(Argv(MakeCbrCommand(kFf, "/i/a.mpg", t, false, 300, "", "/o/a.flv")),
              NoStdin(Fill(b, kFf, "/i/a.mpg", 2, 25.0, 640, 360, "", 300, "", "/o/a.flv")));
#pragma GCC diagnostic pop

    // Remux (the template glues the program and "-i"; as arguments they are two).
    EXPECT_EQ(Argv(MakeRemuxCommand(kFf, "/i/a.flv", "/o/a.flv")),
              TwoThreads(NoStdin(
                  Fill("\"%s\" -i \"%s\" -c:v copy -c:a copy  \"%s\"", kFf, "/i/a.flv", "/o/a.flv"))));

    // Still picture for sound.
    EXPECT_EQ(Argv(MakeAudioCommand(kFf, "/c/bk.png", "/i/a.mp3", 2, "/o/a.flv")),
              TwoThreads(NoStdin(Fill(
                  "\"%s\" -f image2 -loop 1 -i \"%s\" -i \"%s\" -c:v flv -b:v 2k -c:a aac -ac %d -b:a 64k "
                  "-shortest \"%s\"",
                  kFf, "/c/bk.png", "/i/a.mp3", 2, "/o/a.flv"))));

    // Middle AVI: read through libavformat at the source's average rate, so a variable rate
    // keeps picture and sound together.
    std::vector<std::string> m = Fill(
        "\"%s\" \"%s\" -o \"%s\" -vf harddup -af channels=%d -srate %d -oac mp3lame -lameopts cbr:br=128 "
        "-ofps %f -ovc xvid -ffourcc XVID -xvidencopts "
        "bitrate=%d:max_key_interval=50:max_bframes=2:vhq=1:threads=4 -mc 0 ",
        "/c/mencoder", "/o/middle.src.mp4", "/o/middle.avi", 6, 48000, 25.0, 2048);
    Replace(&m, {"/o/middle.src.mp4"}, {"/o/middle.src.mp4", "-demuxer", "lavf", "-fps", "24.000000"});
    EXPECT_EQ(Argv(MakeMencoderCommand("/c/mencoder", "/o/middle.src.mp4", "/o/middle.avi", 6, 48000, 25.0f,
                                       2048, 24.0f)),
              m);

    EXPECT_EQ(Argv(MakeTsMuxerCommand("/c/tsMuxeR", "/o/middle.meta", "/o/middle.ts")),
              Fill("\"%s\" \"%s\" \"%s\"", "/c/tsMuxeR", "/o/middle.meta", "/o/middle.ts"));

    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 0;
    tm.tm_mday = 2;
    tm.tm_hour = 3;
    tm.tm_min = 4;
    tm.tm_sec = 5;
    std::vector<std::string> y = {"/c/Yamdi-Extend",
                                  "-i",
                                  "/o/copy.flv",
                                  "-o",
                                  "/o/tag.copy.flv",
                                  "-c",
                                  "Tolvane Vexora 2.0 2026-01-02 03:04:05"};
    EXPECT_EQ(Argv(MakeTagCommand("/c/Yamdi-Extend", "/o/copy.flv", "/o/tag.copy.flv", tm)), y);
}

TEST(EncoderLines, OnlyTheSameEncodeMayStandForTheFinalOne)
{
    // A short input's prediction line is the final line (the forced High profile aside); a
    // sample, another CRF, size, rate, input or program is another file.
    const EncodeTarget t{2, 25.0f, 640, 360};
    const CCommandLine all = MakePredictCommand(kFf, "/i/a.mp4", -1, t, 30, "/o/predict.flv");
    EXPECT_TRUE(SameEncodeBesidesOutput(all, MakeVbrCommand(kFf, "/i/a.mp4", t, 30, "", "/o/a.flv")));
    EXPECT_TRUE(
        SameEncodeBesidesOutput(all, MakeVbrCommand(kFf, "/i/a.mp4", t, 30, "-profile:v high", "/o/a.flv")));
    EXPECT_FALSE(SameEncodeBesidesOutput(all, MakeVbrCommand(kFf, "/i/a.mp4", t, 31, "", "/o/a.flv")));
    EXPECT_FALSE(SameEncodeBesidesOutput(all, MakeVbrCommand(kFf, "/i/b.mp4", t, 30, "", "/o/a.flv")));
    EXPECT_FALSE(
        SameEncodeBesidesOutput(all, MakeVbrCommand("/c/ffmpeg2", "/i/a.mp4", t, 30, "", "/o/a.flv")));
    EXPECT_FALSE(SameEncodeBesidesOutput(
        all, MakeVbrCommand(kFf, "/i/a.mp4", {2, 25.0f, 640, 352}, 30, "", "/o/a.flv")));
    EXPECT_FALSE(SameEncodeBesidesOutput(
        all, MakeVbrCommand(kFf, "/i/a.mp4", {1, 25.0f, 640, 360}, 30, "", "/o/a.flv")));
    EXPECT_FALSE(SameEncodeBesidesOutput(
        all, MakeVbrCommand(kFf, "/i/a.mp4", {2, 24.0f, 640, 360}, 30, "", "/o/a.flv")));
    const CCommandLine sample = MakePredictCommand(kFf, "/i/a.mp4", 240, t, 30, "/o/predict.flv");
    EXPECT_FALSE(SameEncodeBesidesOutput(sample, MakeVbrCommand(kFf, "/i/a.mp4", t, 30, "", "/o/a.flv")));
    EXPECT_FALSE(
        SameEncodeBesidesOutput(all, MakeCbrCommand(kFf, "/i/a.mp4", t, false, 400, "", "/o/a.flv")));
}

// --- the target's stream values -------------------------------------------------------------

MiData Video(int w, int h, float fps, int videoRate = 800000, int channels = 2)
{
    MiData m;
    m.ucVideoCount = 1;
    m.ucAudioCount = channels > 0 ? 1 : 0;
    m.nWidth = w;
    m.nHeight = h;
    m.fFrameRate = fps;
    m.nBitRate[MI_VIDEO] = videoRate;
    m.nChannels = channels;
    return m;
}

_sConvertOptions Options(uint8_t sizeOp, uint8_t codec = CODEC_VBR, int rcW = 320, int rcH = 240)
{
    _sConvertOptions o;
    o.nVideoSizeOp = sizeOp;
    o.nCodecMod = codec;
    o.unRc[0] = rcW;
    o.unRc[1] = rcH;
    return o;
}

struct Target
{
    int code, w, h;
    float fps;
    int rate, channels;
};

Target Dest(const MiData& src, const _sConvertOptions& o, int type = 1)
{
    MiData d = src;
    int code = MakeDestMiData(src, o, "idx", &d, type);
    return {code, d.nWidth, d.nHeight, d.fFrameRate, d.nBitRate[MI_VIDEO], d.nChannels};
}

TEST(TargetRules, SizeFollowsTheRuleAndRoundsDownToMultiplesOfFour)
{
    Target t = Dest(Video(1920, 1080, 25), Options(2));
    EXPECT_EQ(t.code, 0);
    EXPECT_EQ(t.w, 640);
    EXPECT_EQ(t.h, 360);
    EXPECT_EQ(t.rate, 409600);
    t = Dest(Video(1920, 1080, 25), Options(3));
    EXPECT_EQ(t.w, 1024);
    EXPECT_EQ(t.h, 576);
    EXPECT_EQ(t.rate, 460800);
    t = Dest(Video(1920, 1080, 25), Options(4));
    EXPECT_EQ(t.w, 1280);
    EXPECT_EQ(t.h, 720);
    EXPECT_EQ(t.rate, 524288);
    t = Dest(Video(1280, 720, 25), Options(5));
    EXPECT_EQ(t.w, 1920);
    EXPECT_EQ(t.h, 1080);
    EXPECT_EQ(t.rate, 614400);
    // 768 * 640 / 1366 = 359 (integer division), then 356 as a multiple of 4.
    t = Dest(Video(1366, 768, 25), Options(2));
    EXPECT_EQ(t.w, 640);
    EXPECT_EQ(t.h, 356);
    // Rule 1 keeps the size, rounded down: 350x198 -> 348x196, a narrow picture's rate.
    t = Dest(Video(350, 198, 25), Options(1));
    EXPECT_EQ(t.w, 348);
    EXPECT_EQ(t.h, 196);
    EXPECT_EQ(t.rate, 307200);
    // No size in the source: the default size; none there either, or nothing left after the
    // rounding: no usable size.
    t = Dest(Video(0, 0, 25), Options(1, CODEC_VBR, 322, 242));
    EXPECT_EQ(t.code, 0);
    EXPECT_EQ(t.w, 320);
    EXPECT_EQ(t.h, 240);
    EXPECT_EQ(Dest(Video(0, 0, 25), Options(1, CODEC_VBR, 0, 0)).code, CV_NO_SIZE);
    EXPECT_EQ(Dest(Video(3, 100, 25), Options(1)).code, CV_NO_SIZE);
}

TEST(TargetRules, FrameRateChannelsAndRates)
{
    EXPECT_FLOAT_EQ(Dest(Video(320, 240, 0), Options(1)).fps, 25.0f);
    EXPECT_FLOAT_EQ(Dest(Video(320, 240, -3), Options(1)).fps, 25.0f);
    EXPECT_FLOAT_EQ(Dest(Video(320, 240, 60), Options(1)).fps, 30.0f);
    EXPECT_FLOAT_EQ(Dest(Video(320, 240, 29.97f), Options(1)).fps, 29.97f);

    // The output carries at most two channels; the middle file keeps them all.
    EXPECT_EQ(Dest(Video(320, 240, 25, 800000, 6), Options(1)).channels, 2);
    EXPECT_EQ(Dest(Video(320, 240, 25, 800000, 6), Options(1), 2).channels, 6);
    MiData sound;
    sound.ucAudioCount = 1;
    sound.nChannels = 6;
    Target audio = Dest(sound, Options(2));
    EXPECT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.w, 0) << "a file without video gets no picture size";

    // Middle-file rates by width.
    EXPECT_EQ(Dest(Video(320, 240, 25), Options(1), 2).rate, 1048576);
    EXPECT_EQ(Dest(Video(640, 480, 25), Options(1), 2).rate, 2097152);
    EXPECT_EQ(Dest(Video(1024, 576, 25), Options(1), 2).rate, 3145728);
    EXPECT_EQ(Dest(Video(1280, 720, 25), Options(1), 2).rate, 4194304);

    // CBR keeps a source rate below the target (no point in inflating it); VBR aims at the target.
    EXPECT_EQ(Dest(Video(640, 360, 25, 200000), Options(1, CODEC_CBR)).rate, 200000);
    EXPECT_EQ(Dest(Video(640, 360, 25, 200000), Options(1, CODEC_VBR)).rate, 409600);
    EXPECT_EQ(Dest(Video(640, 360, 25, 900000), Options(1, CODEC_CBR)).rate, 409600);
    EXPECT_EQ(Dest(Video(640, 360, 25, 0), Options(1, CODEC_CBR)).rate, 409600);
}

} // namespace
} // namespace vx
