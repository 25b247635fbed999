// `vexora probe` and `vexora md5` as a user runs them.

#include "TestMedia.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vx::test {
namespace {

class CliMediaTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(CTestMedia::Get().Ok()) << CTestMedia::Get().Error(); }
    const CTestMedia& M() { return CTestMedia::Get(); }
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST_F(CliMediaTest, ProbeJsonGivesOneObjectPerFileGroupedByStream)
{
    // Started in the C locale: the program must still open a UTF-8 name.
    RunResult r = RunProgram("vexora", {"probe", "--json", M().Mp4(), M().Chinese()}, {"LC_ALL=C", "LANG=C"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    auto lines = Lines(r.out);
    ASSERT_EQ(2u, lines.size()) << r.out;
    const std::string& a = lines[0];
    EXPECT_NE(std::string::npos,
              a.find("\"General\": {\"FileSize\": " + std::to_string(FileSize(M().Mp4()))));
    EXPECT_NE(std::string::npos, a.find("\"Video\": {\"StreamCount\": 1,"));
    EXPECT_NE(std::string::npos, a.find("\"Width\": 160"));
    EXPECT_NE(std::string::npos, a.find("\"FrameRate_Mode/String\": \"Constant\""));
    EXPECT_NE(std::string::npos, a.find("\"Audio\": {\"StreamCount\": 1,"));
    EXPECT_NE(std::string::npos, a.find("\"SamplingRate\": 44100"));
    // The UTF-8 name comes out as it stands, and probes like its twin.
    EXPECT_NE(std::string::npos, lines[1].find("课程 视频 第1讲.mp4"));
    EXPECT_EQ(a.substr(a.find("\"status\"")), lines[1].substr(lines[1].find("\"status\"")));
}

TEST_F(CliMediaTest, ProbeFailuresNameTheFileAndTheCause)
{
    RunResult r = RunProgram("vexora", {"probe", M().Mp3(), M().TextAsMp4(), M().Missing()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("Status: 0 (ok)"));
    EXPECT_NE(std::string::npos, r.err.find("probe " + M().TextAsMp4() + ": "));
    EXPECT_NE(std::string::npos, r.err.find("probe " + M().Missing() + ": no such file (status 2)"));

    RunResult none = RunProgram("vexora", {"probe"});
    EXPECT_EQ(2, none.exitCode);
}

TEST_F(CliMediaTest, WithoutTheLibraryEveryProbeFailsAndSaysWhy)
{
    RunResult r = RunProgram("vexora", {"probe", M().Mp4()},
                             {"VEXORA_MEDIAINFO_LIB=" + M().Dir() + "libmediainfo.so.0"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("Status: 2"));
    EXPECT_NE(std::string::npos, r.err.find("could not be loaded"));
}

TEST_F(CliMediaTest, Md5RuleOneAgreesWithMd5sumAndPrintsTheLength)
{
    RunResult ref = RunProgram("/usr/bin/md5sum", {M().Ts()});
    ASSERT_EQ(0, ref.exitCode);
    RunResult r = RunProgram("vexora", {"md5", "--rule", "1", M().Ts(), M().Chinese()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    auto lines = Lines(r.out);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(ref.out.substr(0, 32) + " " + std::to_string(FileSize(M().Ts())) + " " + M().Ts(), lines[0]);
    EXPECT_NE(std::string::npos, lines[1].find(" " + M().Chinese()));

    // Rule 4 samples, so the digest differs; the length does not.
    RunResult s = RunProgram("vexora", {"md5", "--rule=4", M().Ts()});
    ASSERT_EQ(0, s.exitCode);
    EXPECT_NE(lines[0].substr(0, 32), s.out.substr(0, 32));
    EXPECT_EQ(lines[0].substr(32), Lines(s.out)[0].substr(32));
}

TEST_F(CliMediaTest, Md5ReportsBadRulesAndMissingFiles)
{
    EXPECT_EQ(2, RunProgram("vexora", {"md5", "--rule", "four", M().Ts()}).exitCode);
    EXPECT_EQ(2, RunProgram("vexora", {"md5", "--rule"}).exitCode);
    RunResult r = RunProgram("vexora", {"md5", "--rule", "1", M().Missing(), M().Mp3()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("md5 " + M().Missing() + ": no such file"));
    EXPECT_EQ(1u, Lines(r.out).size()); // the good file is still reported
}

} // namespace
} // namespace vx::test
