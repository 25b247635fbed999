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
