// The harness other suites rely on: start on free ports, a usable Config.ini, restart keeping
// the state folder, and a stop that leaves nothing running.

#include "common/SimHarness.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace vx::test {

TEST(SimHarness, StartsPrintsPortsWritesConfigAndRestartsOnTheSameState)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--md5-rule", "2"}));
    EXPECT_GT(sim.WebPort(), 0);
    ASSERT_EQ(sim.FilePorts().size(), 2u);
    EXPECT_NE(sim.FilePorts()[0], sim.FilePorts()[1]);
    EXPECT_GT(sim.VersionPort(), 0);

    CTempDir dir;
    std::string ini = ReadFile(sim.WriteConfig(dir.Path()));
    EXPECT_NE(ini.find("LoginServerIP=127.0.0.1:" + std::to_string(sim.WebPort()) + "\n"), std::string::npos);
    EXPECT_NE(ini.find("HostIP=127.0.0.1:" + std::to_string(sim.WebPort()) + "\n"), std::string::npos);
    EXPECT_NE(ini.find("FileServerIP=127.0.0.1:" + std::to_string(sim.FilePorts()[0]) + "\n"),
              std::string::npos);
    EXPECT_NE(ini.find("VerSvrIP=127.0.0.1:" + std::to_string(sim.VersionPort()) + "\n"), std::string::npos);
    EXPECT_NE(ini.find("rule=2\n"), std::string::npos);

    int status = 0;
    std::string body = sim.HttpGet("/index.do", "", &status);
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(sim.SetFault("delay", "0"));
    EXPECT_FALSE(sim.SetFault("no-such-switch", "on"));

    ASSERT_TRUE(sim.Restart());
    EXPECT_NE(ReadFile(sim.RootDir() + "state.json").find("\"demo\""), std::string::npos);
    EXPECT_NE(sim.LogText().find("[web] GET /index.do"), std::string::npos);
    sim.Stop();
    EXPECT_FALSE(sim.IsRunning());
}

TEST(SimHarness, ReportsAStartFailure)
{
    CSimProcess sim;
    EXPECT_FALSE(sim.Start({"--no-such-option"}));
    EXPECT_FALSE(sim.IsRunning());
}

} // namespace vx::test
