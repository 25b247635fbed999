#include "common/TestUtil.h"

#include <gtest/gtest.h>

using vx::test::RunProgram;

TEST(Cli, VersionHelpAndUnknownCommand)
{
    vx::test::CTempDir data;
    std::vector<std::string> env = {"VEXORA_DATA_DIR=" + data.Path()};
    auto v = RunProgram("vexora", {"--version"}, env);
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, "2.0.31.7\n");
    auto h = RunProgram("vexora", {"--help"}, env);
    EXPECT_EQ(h.exitCode, 0);
    EXPECT_NE(h.out.find("config"), std::string::npos);
    auto u = RunProgram("vexora", {"frobnicate"}, env);
    EXPECT_EQ(u.exitCode, 2);
    EXPECT_NE(u.err.find("unknown command 'frobnicate'"), std::string::npos);
}

TEST(Cli, ConfigShowsWhatTheFileSaysAndLogs)
{
    vx::test::CTempDir data;
    vx::test::WriteFile(data.File("my.ini"),
                        "[server]\nHostIP=127.0.0.1:9999\nFileServerIP=srv:8900\n[md5]\nrule=7\n");
    std::vector<std::string> env = {"VEXORA_DATA_DIR=" + data.Path() + "d"};
    auto r = RunProgram("vexora", {"config", "--json", "--config", data.File("my.ini")}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"webServer\": \"127.0.0.1:9999\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"md5Rule\": 7"), std::string::npos);
    EXPECT_NE(r.out.find("\"checkdurtime\": 600000"), std::string::npos);

    auto viaEnv = RunProgram("vexora", {"config"}, {env[0], "VEXORA_CONFIG=" + data.File("my.ini")});
    ASSERT_EQ(viaEnv.exitCode, 0);
    EXPECT_NE(viaEnv.out.find("webServer: 127.0.0.1:9999"), std::string::npos) << viaEnv.out;
    EXPECT_NE(vx::test::ReadFile(data.Path() + "d/Log/log.txt").find("vexora"), std::string::npos);

    auto bad = RunProgram("vexora", {"config", "--bogus"}, env);
    EXPECT_EQ(bad.exitCode, 2);
    auto missing = RunProgram("vexora", {"config", "--config"}, env);
    EXPECT_EQ(missing.exitCode, 2);
}

// From the build tree: the shipped file beside the program, writes into the user's own copy.
TEST(Cli, ConfigSavesServersIntoTheUserCopyOnly)
{
    vx::test::CTempDir dir;
    const std::string shipped = vx::test::BinDir() + "Config.ini";
    const std::string before = vx::test::ReadFile(shipped);
    const std::string user = dir.Path() + "cfg/Tolvane/VexoraV2/Config.ini";
    // The user's folder for settings: XDG_CONFIG_HOME on Linux, APPDATA on Windows.
    std::vector<std::string> env = {"VEXORA_DATA_DIR=" + dir.Path() + "d",
                                    "XDG_CONFIG_HOME=" + dir.Path() + "cfg", "APPDATA=" + dir.Path() + "cfg"};

    auto shown = RunProgram("vexora", {"config"}, env);
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    // Under Wine the program sees the build folder through a drive letter ("Z:/work/...").
    const size_t at = shown.out.find("shippedConfig: ");
    ASSERT_NE(at, std::string::npos) << shown.out;
    const std::string shownShipped = shown.out.substr(at + 15, shown.out.find('\n', at) - at - 15);
    EXPECT_TRUE(shownShipped == shipped || shownShipped == "Z:" + shipped) << shown.out;
    EXPECT_NE(shown.out.find("configFile: " + user + "\n"), std::string::npos) << shown.out;

    auto saved = RunProgram("vexora", {"config", "--version-server", "127.0.0.1:17777", "--json"}, env);
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    EXPECT_NE(saved.out.find("\"versionServer\": \"127.0.0.1:17777\""), std::string::npos) << saved.out;
    EXPECT_NE(vx::test::ReadFile(user).find("VerSvrIP=127.0.0.1:17777"), std::string::npos);
    EXPECT_EQ(vx::test::ReadFile(shipped), before);

    for (const char* bad : {"127.0.0.1", "127.0.0.1:0", "127.0.0.1:70000", ":18900", "127.0.0.1:12x"}) {
        auto r = RunProgram("vexora", {"config", "--file-server", bad}, env);
        EXPECT_EQ(r.exitCode, 2) << bad;
    }
    EXPECT_EQ(vx::test::ReadFile(user).find("FileServerIP"), std::string::npos);
}
