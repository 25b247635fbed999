#include "app/AppConfig.h"
#include "common/TestUtil.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

using namespace vx;
using vx::test::CTempDir;
using vx::test::ReadFile;
using vx::test::WriteFile;

namespace {

struct Endpoint
{
    std::string host;
    int port;
};

Endpoint Parse(const std::string& text, int port = -1)
{
    Endpoint e{"unchanged", port};
    ParseEndpoint(text, &e.host, &e.port);
    return e;
}

} // namespace

TEST(ParseEndpoint, HostsPortsAndPrefixes)
{
    EXPECT_EQ(Parse("192.168.0.10:8080").host, "192.168.0.10");
    EXPECT_EQ(Parse("192.168.0.10:8080").port, 8080);
    // A short host name used to be lost; it is kept now.
    EXPECT_EQ(Parse("srv:8900").host, "srv");
    EXPECT_EQ(Parse("srv:8900").port, 8900);
    EXPECT_EQ(Parse("http://files.example:8900").host, "files.example");
    EXPECT_EQ(Parse("HTTP://files.example:8900").host, "files.example");
    EXPECT_EQ(Parse("address=10.0.0.1:21").host, "10.0.0.1");
    EXPECT_EQ(Parse("address=10.0.0.1:21").port, 21);
    // No colon: empty host, port left as it was.
    EXPECT_EQ(Parse("10.0.0.1", 77).host, "");
    EXPECT_EQ(Parse("10.0.0.1", 77).port, 77);
    EXPECT_EQ(Parse("", 5).host, "");
    // Port digits read like _wtoi.
    EXPECT_EQ(Parse("h.example:80abc").port, 80);
    EXPECT_EQ(Parse("h.example:").port, 0);
}

TEST(AppConfig, ReadsEveryKeyAndDefault)
{
    CTempDir dir;
    WriteFile(dir.File("Config.ini"),
              "[server]\n"
              "LoginServerIP=127.0.0.1:18080\n"
              "HostIP=web.local:8081\n"
              "FileServerIP=http://localhost:8900\n"
              "VerSvrIP=127.0.0.1:18070\n"
              "[convert]\nneedcheck=FALSE\ncheckdurtime=abc\nCodecOption=2\nMaskOfBindCPU=3\n"
              "[md5]\nrule=0\n[trans]\n");
    CAppConfig c(dir.File("Config.ini"));
    EXPECT_EQ(c.m_strLoginHost, "127.0.0.1");
    EXPECT_EQ(c.m_usLoginPort, 18080);
    EXPECT_EQ(c.m_strWebHost, "web.local");
    EXPECT_EQ(c.m_nWebPort, 8081);
    EXPECT_EQ(c.m_strFileSvrHost, "127.0.0.1"); // a name is resolved to its address
    EXPECT_EQ(c.m_usFileSvrPort, 8900);
    EXPECT_EQ(c.m_strVerHost, "127.0.0.1");
    EXPECT_EQ(c.m_nVerPort, 18070);
    EXPECT_FALSE(c.m_bNeedCheck);
    EXPECT_EQ(c.m_nCheckDurTime, 0); // letters read as 0
    EXPECT_EQ(c.m_nCodecOption, 2);
    EXPECT_EQ(c.m_nMaskOfBindCPU, 3);
    EXPECT_EQ(c.m_nMd5Rule, 0);
    EXPECT_EQ(c.m_nRecvNum, 101); // empty section keeps the default
    EXPECT_EQ(c.m_i64UserId, -1);
    EXPECT_EQ(c.m_setData.nUinfo, 288);
    EXPECT_GE(c.m_nCpuCount, 1);
}

TEST(AppConfig, MissingFileGivesDefaultsAndLocalWebHost)
{
    CTempDir dir;
    CAppConfig c(dir.File("absent.ini"));
    EXPECT_EQ(c.m_strWebHost, CAppConfig::kDefaultWebHost);
    EXPECT_EQ(c.m_nWebPort, 80);
    EXPECT_EQ(c.m_strLoginHost, "");
    EXPECT_TRUE(c.m_bNeedCheck);
    EXPECT_EQ(c.m_nCheckDurTime, 600000);
    EXPECT_EQ(c.m_nMd5Rule, 4);
    EXPECT_EQ(c.m_usPreFileSvrPort, 8900);
}

TEST(AppConfig, NeedcheckIsOnlyOffForFalse)
{
    CTempDir dir;
    WriteFile(dir.File("c.ini"), "[convert]\nneedcheck=0\n");
    EXPECT_TRUE(CAppConfig(dir.File("c.ini")).m_bNeedCheck);
    WriteFile(dir.File("c.ini"), "[convert]\nneedcheck=False\n");
    EXPECT_FALSE(CAppConfig(dir.File("c.ini")).m_bNeedCheck);
}

TEST(AppConfig, PresetFileServerWins)
{
    CTempDir dir;
    WriteFile(dir.File("c.ini"), "[server]\nFileServerIP=127.0.0.1:1\n[pre]\nFileServerIP=127.0.0.2:2\n");
    CAppConfig c(dir.File("c.ini"));
    EXPECT_EQ(c.m_strFileSvrHost, "127.0.0.2");
    EXPECT_EQ(c.m_usFileSvrPort, 2);
    EXPECT_EQ(c.m_strPreFileSvrHost, "127.0.0.2");
}

TEST(AppConfig, SavingEndpointsKeepsTheRestAndNeverCreatesTheFile)
{
    CTempDir dir;
    const std::string text =
        "; keep me\n[server]\nHostIP=127.0.0.1:18080\nVerSvrIP=1.1.1.1:1\n\n[md5]\nrule=4\n";
    WriteFile(dir.File("Config.ini"), text);
    CAppConfig c(dir.File("Config.ini"));
    ASSERT_TRUE(c.SaveLivesrvIpPort(18071, "127.0.0.9"));
    ASSERT_TRUE(c.SaveFileServerIpPort(18900, "127.0.0.8"));
    EXPECT_EQ(c.m_strVerHost, "127.0.0.9");
    EXPECT_EQ(c.m_nVerPort, 18071);
    EXPECT_EQ(c.m_usFileSvrPort, 18900);
    EXPECT_EQ(ReadFile(dir.File("Config.ini")),
              "; keep me\n[server]\nHostIP=127.0.0.1:18080\nVerSvrIP=127.0.0.9:18071\n"
              "FileServerIP=127.0.0.8:18900\n\n[md5]\nrule=4\n");

    CAppConfig missing(dir.File("gone.ini"));
    EXPECT_FALSE(missing.SaveLivesrvIpPort(1, "h"));
    EXPECT_FALSE(vx::FileExists(dir.File("gone.ini")));
    EXPECT_EQ(missing.m_strVerHost, "");
}

// The shipped file is the read-only default; the user's copy holds only what was changed.
TEST(AppConfigLayers, UserCopyOverridesOnlyItsOwnKeys)
{
    CTempDir dir;
    const std::string shipped = "[server]\nHostIP=127.0.0.1:18080\nFileServerIP=127.0.0.1:18900\n"
                                "VerSvrIP=127.0.0.1:18070\n[md5]\nrule=4\n[trans]\nrecvnum=55\n";
    WriteFile(dir.File("Config.ini"), shipped);
    WriteFile(dir.File("user.ini"), "[md5]\nRULE = 9\n[server]\nVerSvrIP=\n");
    CAppConfig c(dir.File("user.ini"), dir.File("Config.ini"));
    EXPECT_EQ(c.m_nMd5Rule, 9);
    EXPECT_EQ(c.m_nRecvNum, 55);
    EXPECT_EQ(c.m_strWebHost, "127.0.0.1");
    EXPECT_EQ(c.m_nWebPort, 18080);
    EXPECT_EQ(c.m_usFileSvrPort, 18900);
    // A key present but empty is the user's choice, not a gap to fill from the defaults.
    EXPECT_EQ(c.m_strVerHost, "");
    EXPECT_EQ(c.ConfigPath(), dir.File("user.ini"));
    EXPECT_EQ(c.DefaultsPath(), dir.File("Config.ini"));

    // No user copy yet: everything comes from the shipped file.
    CAppConfig fresh(dir.File("none/Config.ini"), dir.File("Config.ini"));
    EXPECT_EQ(fresh.m_nMd5Rule, 4);
    EXPECT_EQ(fresh.m_nVerPort, 18070);
}

TEST(AppConfigLayers, WritesGoToTheUserCopyAndNeverToTheShippedFile)
{
    CTempDir dir;
    const std::string shipped = "[server]\nFileServerIP=127.0.0.1:18900\nVerSvrIP=127.0.0.1:18070\n";
    WriteFile(dir.File("Config.ini"), shipped);
    const std::string user = dir.File("home/.config/Tolvane/VexoraV2/Config.ini");
    {
        CAppConfig c(user, dir.File("Config.ini"));
        ASSERT_TRUE(c.SaveFileServerIpPort(19000, "127.0.0.5")) << c.LastSaveError();
        EXPECT_EQ(c.m_strFileSvrHost, "127.0.0.5");
        ASSERT_TRUE(c.SaveLivesrvIpPort(19001, "127.0.0.6"));
    }
    EXPECT_EQ(ReadFile(dir.File("Config.ini")), shipped);
    EXPECT_EQ(IniRead(user, "server", "FileServerIP"), "127.0.0.5:19000");
    EXPECT_EQ(IniRead(user, "server", "HostIP", "absent"), "absent"); // nothing copied over

    CAppConfig next(user, dir.File("Config.ini"));
    EXPECT_EQ(next.m_strFileSvrHost, "127.0.0.5");
    EXPECT_EQ(next.m_usFileSvrPort, 19000);
    EXPECT_EQ(next.m_nVerPort, 19001);
}

TEST(AppConfigLayers, AFailedWriteIsReportedAndChangesNothing)
{
    CTempDir dir;
    WriteFile(dir.File("Config.ini"), "[server]\nFileServerIP=127.0.0.1:18900\n");
    WriteFile(dir.File("blocker"), "a file where a folder should be");
    CAppConfig c(dir.File("blocker/Tolvane/VexoraV2/Config.ini"), dir.File("Config.ini"));
    EXPECT_FALSE(c.SaveFileServerIpPort(19000, "127.0.0.5"));
    EXPECT_NE(c.LastSaveError().find(dir.File("blocker")), std::string::npos) << c.LastSaveError();
    EXPECT_EQ(c.m_strFileSvrHost, "127.0.0.1");
    EXPECT_EQ(c.m_usFileSvrPort, 18900);

    // No home folder known at all: nowhere to write, said so.
    CAppConfig homeless("", dir.File("Config.ini"));
    EXPECT_EQ(homeless.m_usFileSvrPort, 18900);
    EXPECT_FALSE(homeless.SaveLivesrvIpPort(1, "127.0.0.1"));
    EXPECT_NE(homeless.LastSaveError().find("HOME"), std::string::npos);

    // One named file that is missing is not created behind the user's back.
    CAppConfig named(dir.File("named.ini"));
    EXPECT_FALSE(named.SaveFileServerIpPort(1, "127.0.0.1"));
    EXPECT_NE(named.LastSaveError().find("named.ini"), std::string::npos);
    EXPECT_FALSE(vx::FileExists(dir.File("named.ini")));
}
