// The probe on real clips: the figures the conversion relies on, and the files it must refuse.

#include "media/MediaInfo.h"
#include "TestMedia.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace vx::test {
namespace {

class MediaInfoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CTestMedia::Get().Ok()) << CTestMedia::Get().Error();
        ASSERT_TRUE(CMediaInfo::BindLibrary()) << "libmediainfo.so.0 is not installed";
    }
    static int Probe(const std::string& path, MiData* out)
    {
        CMediaInfo probe(path);
        return probe.GetMiData(out);
    }
    const CTestMedia& M() { return CTestMedia::Get(); }
};

TEST_F(MediaInfoTest, H264AacMp4GivesEveryFigureTheConversionUses)
{
    MiData m;
    ASSERT_EQ(MI_OK, Probe(M().Mp4(), &m));
    EXPECT_EQ(FileSize(M().Mp4()), m.i64FileSize);
    EXPECT_EQ(1, m.ucVideoCount);
    EXPECT_EQ(1, m.ucAudioCount);
    EXPECT_FALSE(m.bEncrypted);
    for (int k = MI_GENERAL; k <= MI_AUDIO; ++k) {
        EXPECT_NEAR(1000, m.nDuration[k], 100) << "stream " << k;
        EXPECT_GT(m.nBitRate[k], 0) << "stream " << k;
    }
    EXPECT_EQ(160, m.nWidth);
    EXPECT_EQ(120, m.nHeight);
    EXPECT_FLOAT_EQ(25.0f, m.fFrameRate);
    EXPECT_EQ(1, m.nChannels);
    EXPECT_EQ(44100, m.nSamplingRate);
    EXPECT_EQ("MPEG-4", m.strFormat[MI_GENERAL]);
    EXPECT_EQ("AVC", m.strFormat[MI_VIDEO]);
    EXPECT_EQ("AAC", m.strFormat[MI_AUDIO]);
    EXPECT_EQ("AVC", m.strVideoCodec);
    EXPECT_EQ("aac lc", m.strAudioCodec); // lower case
    EXPECT_EQ("Constant", m.strFrameRateMode);
    EXPECT_EQ("Progressive", m.strScanType);
    EXPECT_EQ("constrained baseline@l1.1", m.strFormatProfile); // trimmed, lower case
    EXPECT_EQ(0u, m.strEncodedApp.find("Lavf"));
}

TEST_F(MediaInfoTest, AudioOnlyLeavesEveryVideoFieldEmpty)
{
    MiData m;
    ASSERT_EQ(MI_OK, Probe(M().Mp3(), &m));
    EXPECT_EQ(0, m.ucVideoCount);
    EXPECT_EQ(1, m.ucAudioCount);
    EXPECT_EQ(0, m.nWidth);
    EXPECT_EQ(0, m.nHeight);
    EXPECT_EQ(0, m.nDuration[MI_VIDEO]);
    EXPECT_EQ(0, m.nBitRate[MI_VIDEO]);
    EXPECT_EQ(0.0f, m.fFrameRate);
    EXPECT_TRUE(m.strFormat[MI_VIDEO].empty());
    EXPECT_TRUE(m.strVideoCodec.empty());
    EXPECT_TRUE(m.strFormatProfile.empty());
    EXPECT_EQ("MPEG Audio", m.strFormat[MI_AUDIO]);
    EXPECT_NEAR(64000, m.nBitRate[MI_AUDIO], 1000);
    EXPECT_NEAR(1000, m.nDuration[MI_GENERAL], 100);
}

TEST_F(MediaInfoTest, ContainersAndModesTheConversionTestsFor)
{
    MiData vfr, ts, flv;
    ASSERT_EQ(MI_OK, Probe(M().Vfr(), &vfr));
    EXPECT_EQ("Variable", vfr.strFrameRateMode);
    EXPECT_EQ(0, vfr.ucAudioCount);
    EXPECT_NEAR(2000, vfr.nDuration[MI_GENERAL], 200);

    ASSERT_EQ(MI_OK, Probe(M().Ts(), &ts));
    EXPECT_EQ("MPEG-TS", ts.strFormat[MI_GENERAL]);
    EXPECT_EQ("Interlaced", ts.strScanType);
    EXPECT_EQ("Variable", ts.strBitRateMode);
    // The general duration comes back with a fractional part; it is cut to whole milliseconds.
    EXPECT_NEAR(1000, ts.nDuration[MI_GENERAL], 100);
    EXPECT_EQ(FileSize(M().Ts()), ts.i64FileSize);

    ASSERT_EQ(MI_OK, Probe(M().Flv(), &flv));
    EXPECT_EQ("Flash Video", flv.strFormat[MI_GENERAL]);
    EXPECT_EQ(1, flv.ucVideoCount);
    EXPECT_EQ(1, flv.ucAudioCount);
    EXPECT_FALSE(flv.strAudioCodec.empty());
    for (char c : flv.strAudioCodec)
        EXPECT_FALSE(c >= 'A' && c <= 'Z') << flv.strAudioCodec;
}

TEST_F(MediaInfoTest, NonAsciiNameWithBlanksProbesLikeItsTwin)
{
    MiData a, b;
    ASSERT_EQ(MI_OK, Probe(M().Chinese(), &a));
    ASSERT_EQ(MI_OK, Probe(M().Mp4(), &b));
    EXPECT_EQ(b, a);
}

TEST_F(MediaInfoTest, FilesThatAreNotMediaFailWithTheirStatus)
{
    MiData m;
    m.nWidth = 777; // a failed probe leaves the caller's record alone
    int text = Probe(M().TextAsMp4(), &m);
    EXPECT_TRUE(text == MI_OPEN_FAILED || text == MI_NO_STREAMS) << text;
    EXPECT_EQ(777, m.nWidth);
    int empty = Probe(M().Empty(), &m);
    EXPECT_TRUE(empty == MI_OPEN_FAILED || empty == MI_NO_STREAMS) << empty;
    EXPECT_EQ(MI_OPEN_FAILED, Probe(M().Missing(), &m));
    EXPECT_EQ(MI_EMPTY_PATH, Probe("", &m));
    // A folder is not handed to the library (it would scan the whole tree).
    EXPECT_EQ(MI_OPEN_FAILED, Probe(M().Dir(), &m));
    EXPECT_EQ(777, m.nWidth);
}

TEST_F(MediaInfoTest, StatusIsSetBeforeGetMiDataAndTextsAreQueryable)
{
    CMediaInfo probe(M().Mp4());
    EXPECT_EQ(MI_OK, probe.Status());
    EXPECT_EQ("AVC", probe.GetText(MI_VIDEO, "Format"));
    EXPECT_EQ("", probe.GetText(MI_VIDEO, "NoSuchParameter"));
    MiData m;
    EXPECT_EQ(MI_OK, probe.GetMiData(&m));
    EXPECT_EQ(MI_OK, probe.GetMiData(nullptr)); // closing twice is harmless
    EXPECT_FALSE(CMediaInfo::LibraryVersion().empty());
}

// Conversion workers probe at the same time: each probe must see only its own file's figures.
TEST_F(MediaInfoTest, ConcurrentProbesKeepTheirOwnFigures)
{
    MiData refMp4, refTs;
    ASSERT_EQ(MI_OK, Probe(M().Mp4(), &refMp4));
    ASSERT_EQ(MI_OK, Probe(M().Ts(), &refTs));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 15; ++i) {
                bool mp4 = (i + t) % 2 == 0;
                MiData m;
                if (Probe(mp4 ? M().Mp4() : M().Ts(), &m) != MI_OK || !(m == (mp4 ? refMp4 : refTs)))
                    ++mismatches;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(0, mismatches.load());
}

} // namespace
} // namespace vx::test
