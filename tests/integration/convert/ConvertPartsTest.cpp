// The pieces of a conversion that need no encoder: reading encoder output, progress, the CRF
// search and the command lines.

#include "media/ConvertCommands.h"
#include "media/EncoderOutput.h"
#include "media/RateControl.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(EncoderOutput, StatusSplitAcrossReadsIsNotLost)
{
    CEncoderOutput out(PK_CBR);
    EXPECT_FALSE(out.Feed("frame=  10 fps=0.0 q=28.0 size=   1kB ti"));
    EXPECT_FALSE(out.Feed("me=00:01:0"));
    EXPECT_TRUE(out.Feed("5.36 bitrate= 2.1kbits/s speed=2x\rframe=  20"));
    EXPECT_DOUBLE_EQ(out.Position(), 65.0); // the fraction is cut
    EXPECT_TRUE(out.Feed(" time=01:00:00.00 bitrate=1\n"));
    EXPECT_DOUBLE_EQ(out.Position(), 3600.0);
    EXPECT_FALSE(out.Feed("time=N/A bitrate=N/A\r"));
    EXPECT_TRUE(out.Feed("size=0kB time=-00:00:00.04 bitrate=N/A\r"));
    EXPECT_DOUBLE_EQ(out.Position(), 0.0);

    CEncoderOutput menc(PK_MENCODER);
    EXPECT_FALSE(menc.Feed("Pos:   1.2s     30f ( 4"));
    EXPECT_TRUE(menc.Feed("2%) 25.00fps Trem:   0min   0mb  A-V:0.000 [0:0]\r"));
    EXPECT_DOUBLE_EQ(menc.Position(), 42.0);
    // Kind 0 reads nothing, but keeps the last lines for the log.
    CEncoderOutput none(PK_NONE);
    EXPECT_FALSE(none.Feed("time=00:00:05.00\nError opening input\n"));
    EXPECT_NE(none.Tail().find("Error opening input"), std::string::npos);
}

TEST(EncoderOutput, ProgressRulesAndMissingDuration)
{
    // No duration: a time cannot become a share, the old value stays (no division by zero).
    EXPECT_EQ(NextProgress(PK_VBR, 17, 30, 0), 17);
    EXPECT_EQ(NextProgress(PK_AUDIO, 0, 30, -5), 0);
    // The sample prediction does not need the duration.
    EXPECT_EQ(NextProgress(PK_PREDICT_SAMPLE, 0, 60, 0), 5);
    EXPECT_EQ(NextProgress(PK_PREDICT_SAMPLE, 25, 120, 0), 30); // O + v capped at 30 once past 20
    // VBR after a prediction at 10: the encode adds on top until it overtakes.
    EXPECT_EQ(NextProgress(PK_VBR, 10, 5, 100000), 14);
    EXPECT_EQ(NextProgress(PK_VBR, 10, 100, 100000), 89);
    EXPECT_EQ(NextProgress(PK_CBR, 0, 500, 100000), 99);
    EXPECT_EQ(NextProgress(PK_MENCODER, 0, 100, 0), 20);
    EXPECT_EQ(NextProgress(PK_VBR_MIDDLE, 20, 50, 100000), 35);
    EXPECT_EQ(NextProgress(PK_VBR_MIDDLE, 40, 10, 100000), 37); // 7 + 30 while behind
    EXPECT_EQ(NextProgress(PK_CBR_MIDDLE, 20, 100, 100000), 79);
}

TEST(RateControl, CrfSearchSteps)
{
    // Already small enough at 24: one try.
    CCrfSearch quick(800000, 409600);
    EXPECT_EQ(quick.Measured(300000), CCrfSearch::FOUND);
    EXPECT_EQ(quick.Crf(), 24);
    EXPECT_EQ(quick.Tries(), 1);

    // 900 kbit/s from an 800 kbit/s source: the big step; then the estimated one.
    CCrfSearch s(800000, 409600);
    EXPECT_EQ(s.Measured(900000), CCrfSearch::NEXT);
    EXPECT_EQ(s.Crf(), 30);
    EXPECT_EQ(s.Measured(600000), CCrfSearch::NEXT);
    EXPECT_EQ(s.Crf(), 34); // (600000 - 409600) / 50000 + 0.999 = 4.8 -> 4
    EXPECT_EQ(s.Tries(), 3);
    EXPECT_EQ(s.Measured(400000), CCrfSearch::FOUND);

    // A rate that refuses to fall creeps up one step at a time and stops at 51.
    CCrfSearch stuck(0, 307200);
    EXPECT_EQ(stuck.Measured(2000000), CCrfSearch::NEXT);
    EXPECT_EQ(stuck.Crf(), 30); // an unknown source rate counts as "not above"
    std::string warning;
    EXPECT_EQ(stuck.Measured(2000000, &warning), CCrfSearch::NEXT);
    EXPECT_NE(warning.find("Warning : Do Predict exception"), std::string::npos);
    int guard = 0;
    while (stuck.Measured(1999999) == CCrfSearch::NEXT && ++guard < 100)
        EXPECT_LE(stuck.Crf(), 51);
    EXPECT_EQ(stuck.Crf(), 51);
    EXPECT_EQ(stuck.Measured(1999999), CCrfSearch::AT_LIMIT);
}

TEST(RateControl, TargetsSampleAndDurations)
{
    EXPECT_EQ(TargetVideoBitRate(352), 307200);
    EXPECT_EQ(TargetVideoBitRate(640), 409600);
    EXPECT_EQ(TargetVideoBitRate(1280), 524288);
    EXPECT_EQ(TargetVideoBitRate(1920), 614400);
    EXPECT_EQ(MiddleVideoBitRate(1920), 4194304);
    EXPECT_EQ(SampleStartSeconds(100000), -1);
    EXPECT_EQ(SampleStartSeconds(0), -1);
    EXPECT_EQ(SampleStartSeconds(600000), 240);
    EXPECT_EQ(FormatClock(240), "00:04:00");
    EXPECT_EQ(FormatClock(3725), "01:02:05");
    EXPECT_TRUE(DurationMatches(3000, 3080));
    EXPECT_FALSE(DurationMatches(3000, 1680));
    EXPECT_FALSE(DurationMatches(600000, 500000));
    EXPECT_TRUE(DurationMatches(0, 1234)); // nothing to compare with
    EXPECT_FALSE(DurationMatches(3000, 0));
    // Both spellings of the profiles a Flash player cannot decode; plain High is fine.
    EXPECT_TRUE(IsHighBitDepthProfile("high 4:4:4 predictive@l1.3"));
    EXPECT_TRUE(IsHighBitDepthProfile("high 10@l4"));
    EXPECT_TRUE(IsHighBitDepthProfile("hi10p"));
    EXPECT_FALSE(IsHighBitDepthProfile("high@l3.1"));
}

TEST(ConvertCommands, FileNamesStayWholeArguments)
{
    const std::string hostile = "-x y'z\";$(rm -rf ~) 中文.mp4";
    EncodeTarget t{2, 25.0f, 320, 240};
    CCommandLine c = MakeVbrCommand("/c/ffmpeg", hostile, t, 27, "-profile:v high", "/o/out.flv");
    EXPECT_EQ(c.ValueOf("-i"), "./" + hostile);
    EXPECT_EQ(c.ValueOf("-crf"), "27");
    EXPECT_EQ(c.ValueOf("-profile:v"), "high");
    EXPECT_EQ(c.ValueOf("-r"), "25.000000");
    EXPECT_EQ(c.args.back(), "/o/out.flv");
    EXPECT_TRUE(c.SetCrf(33));
    EXPECT_EQ(c.ValueOf("-crf"), "33");

    // The sample seeks on the input: "-ss" comes before "-i".
    CCommandLine p = MakePredictCommand("/c/ffmpeg", "/in.mp4", 240, t, 24, "/o/predict.flv");
    auto pos = [&](const std::string& a) {
        return std::find(p.args.begin(), p.args.end(), a) - p.args.begin();
    };
    EXPECT_LT(pos("-ss"), pos("-i"));
    EXPECT_EQ(p.ValueOf("-ss"), "00:04:00");
    EXPECT_EQ(p.ValueOf("-t"), "00:02:00");
    CCommandLine whole = MakePredictCommand("/c/ffmpeg", "/in.mp4", -1, t, 24, "/o/predict.flv");
    EXPECT_EQ(whole.ValueOf("-ss"), "");

    CCommandLine b = MakeCbrCommand("/c/ffmpeg", "/in.mpg", t, true, 400, "", "/o/x.flv");
    EXPECT_EQ(b.ValueOf("-vf"), "yadif");
    EXPECT_EQ(b.ValueOf("-b:v"), "400k");

    std::string meta = MakeTsMetaText("/o/idx/middle.src.m2ts", 25.0f);
    EXPECT_NE(meta.find("V_MPEG4/ISO/AVC, \"/o/idx/middle.src.m2ts\", fps=25.000000, insertSEI"),
              std::string::npos);
    EXPECT_NE(meta.find("\r\n"), std::string::npos);
}

} // namespace
} // namespace vx
