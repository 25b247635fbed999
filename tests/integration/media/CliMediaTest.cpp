// `vexora probe` and `vexora md5` as a user runs them.

#include "TestMedia.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

// Odd paths every file command meets: a folder, a named pipe, a symbolic-link loop, and a file
// this user may not read.
class OddPaths
{
public:
    OddPaths()
    {
        chmod(m_dir.Path().c_str(), 0755); // another user must reach the unreadable file
        mkdir(Folder().c_str(), 0755);
        mkfifo(Pipe().c_str(), 0644);
        symlink(Loop().c_str(), (m_dir.Path() + "loop2.flv").c_str());
        symlink((m_dir.Path() + "loop2.flv").c_str(), Loop().c_str());
        WriteFile(Locked(), "locked bytes");
        chmod(Locked().c_str(), 0);
    }
    std::string Folder() const { return m_dir.Path() + "folder.flv"; }
    std::string Pipe() const { return m_dir.Path() + "pipe.flv"; }
    std::string Loop() const { return m_dir.Path() + "loop.flv"; }
    std::string Locked() const { return m_dir.Path() + "locked.flv"; }
    const std::string& Dir() const { return m_dir.Path(); }

private:
    CTempDir m_dir;
};

// vexora as an ordinary user: as root every file is readable, so root runs it as "nobody".
// False when that is not possible here.
bool RunAsUser(const std::vector<std::string>& args, const std::string& dataDir, RunResult* r)
{
    std::vector<std::string> env{"VEXORA_DATA_DIR=" + dataDir};
    if (geteuid() != 0) {
        *r = RunProgram("vexora", args, env);
        return true;
    }
    if (access("/usr/bin/setpriv", X_OK) != 0)
        return false;
    std::vector<std::string> all{"--reuid=65534", "--regid=65534", "--clear-groups", BinDir() + "vexora"};
    all.insert(all.end(), args.begin(), args.end());
    *r = RunProgram("/usr/bin/setpriv", all, env);
    return true;
}

TEST_F(CliMediaTest, EveryFileCommandNamesTheRealCause)
{
    OddPaths odd;
    struct Case
    {
        std::string path, cause;
    } cases[] = {{odd.Folder(), "is a folder"},
                 {odd.Pipe(), "not a regular file (a named pipe)"},
                 {odd.Loop(), "too many levels of symbolic links"}};
    CTempDir data;
    const std::vector<std::vector<std::string>> commands = {
        {"md5"}, {"probe"}, {"convert", "--out", data.Path() + "out"}, {"upload", "--dir", "5"}};
    for (const auto& cmd : commands) {
        for (const Case& c : cases) {
            std::vector<std::string> args = cmd;
            args.push_back(c.path);
            RunResult r = RunProgram("vexora", args, {"VEXORA_DATA_DIR=" + data.Path()}, 20000);
            SCOPED_TRACE(cmd[0] + " " + c.path);
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_NE(r.err.find(c.path + ": " + c.cause), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("no such file"), std::string::npos) << r.err;
        }
    }
}

TEST_F(CliMediaTest, AFileThisUserMayNotReadIsPermissionDenied)
{
    OddPaths odd;
    CTempDir data;
    chmod(data.Path().c_str(), 0777); // the logs of the other user
    const std::vector<std::vector<std::string>> commands = {
        {"md5"}, {"probe"}, {"convert", "--out", data.Path() + "out"}, {"upload", "--dir", "5"}};
    for (const auto& cmd : commands) {
        std::vector<std::string> args = cmd;
        args.push_back(odd.Locked());
        RunResult r;
        if (!RunAsUser(args, data.Path(), &r))
            GTEST_SKIP() << "cannot run as another user here";
        SCOPED_TRACE(cmd[0]);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find(odd.Locked() + ": permission denied"), std::string::npos) << r.err;
    }
}

TEST_F(CliMediaTest, PlainOutputEscapesNamesAndDoubleDashEndsOptions)
{
    CTempDir dir;
    // A name with a line feed and a tab would otherwise print as two entries.
    const std::string forged = dir.Path() + "a\nb\tc.flv";
    const std::string odd = dir.Path() + "a\nb\tc\x1b[2J.flv";
    WriteFile(odd, "some bytes");
    RunResult r = RunProgram("vexora", {"md5", "--rule", "1", odd});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    EXPECT_TRUE(lines[0].ends_with(" " + dir.Path() + "a\\nb\\tc\\x1b[2J.flv")) << lines[0];
    RunResult j = RunProgram("vexora", {"md5", "--json", odd});
    EXPECT_NE(j.out.find("a\\nb\\tc\\u001b[2J.flv"), std::string::npos) << j.out;
    // Error lines too.
    RunResult gone = RunProgram("vexora", {"md5", forged});
    EXPECT_EQ(Lines(gone.err).size(), 1u) << gone.err;
    EXPECT_NE(gone.err.find("a\\nb\\tc.flv: no such file"), std::string::npos) << gone.err;

    // After "--" nothing is an option: the files are named --json and --rule.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    WriteFile("--json", "json bytes");
    WriteFile("--rule", "rule bytes");
    RunResult dd = RunProgram("vexora", {"md5", "--rule", "1", "--", "--json", "--rule"});
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_EQ(dd.exitCode, 0) << dd.err;
    lines = Lines(dd.out);
    ASSERT_EQ(lines.size(), 2u) << dd.out;
    EXPECT_TRUE(lines[0].ends_with(" 10 --json")) << lines[0]; // plain, not JSON
    EXPECT_TRUE(lines[1].ends_with(" 10 --rule")) << lines[1];
    EXPECT_EQ(RunProgram("vexora", {"md5", "--rule", "--", "x"}).exitCode, 2) << "--rule lacks its value";
}

TEST_F(CliMediaTest, ProbeWithoutAFileSizeSaysSo)
{
    // Only a library that reports streams but no size gives status 3.
    RunResult r = RunProgram("vexora", {"probe", M().Mp4()},
                             {std::string("VEXORA_MEDIAINFO_LIB=") + VX_FAKE_MEDIAINFO});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Status: 3 (no file size in the General stream)"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("probe " + M().Mp4() + ": no file size in the General stream (status 3)"),
              std::string::npos)
        << r.err;
}

} // namespace
} // namespace vx::test
