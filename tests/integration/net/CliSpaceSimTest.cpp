// The vexora commands on the remote space, run as a user would run them, against the simulator.

#include "common/SimHarness.h"

#include <gtest/gtest.h>

#include <json/reader.h>

#include <memory>

using vx::test::CSimProcess;
using vx::test::RunProgram;
using vx::test::RunResult;

namespace {

class CliSim : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start());
        m_ini = m_sim.WriteConfig(m_dir.Path());
    }
    // vexora with the config, the demo account from the environment and a private data folder.
    RunResult Vexora(std::vector<std::string> args, const std::string& password = CSimProcess::DemoPassword())
    {
        args.insert(args.begin(), {"--config", m_ini});
        return RunProgram("vexora", args,
                          {"VEXORA_USER=" + CSimProcess::DemoUser(), "VEXORA_PASSWORD=" + password,
                           "VEXORA_DATA_DIR=" + m_data.Path()});
    }
    static Json::Value ParseJson(const std::string& text)
    {
        Json::CharReaderBuilder b;
        std::unique_ptr<Json::CharReader> r(b.newCharReader());
        Json::Value v;
        std::string err;
        EXPECT_TRUE(r->parse(text.data(), text.data() + text.size(), &v, &err)) << text;
        return v;
    }

    vx::test::CTempDir m_dir;
    vx::test::CTempDir m_data;
    CSimProcess m_sim;
    std::string m_ini;
};

} // namespace

TEST_F(CliSim, SpaceCommandsEndToEnd)
{
    RunResult r = Vexora({"login"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("account: demo\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("organisation: " + CSimProcess::DemoOrganisation() + "\n"), std::string::npos);

    r = Vexora({"mkdir", "--parent", "0", "Lessons"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string lessons = r.out.substr(0, r.out.find('\n'));
    r = Vexora({"--json", "mkdir", "--parent", lessons, "Week 1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string week = std::to_string(ParseJson(r.out)["id"].asInt64());

    r = Vexora({"ls", "--dir", lessons});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "dir\t" + week + "\t0\tWeek 1\n");

    ASSERT_EQ(Vexora({"rename", "--dir", week, "第一周"}).exitCode, 0);
    r = Vexora({"search", "--dir", lessons, "第一"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\t第一周\n"), std::string::npos) << r.out;

    r = Vexora({"mkdir", "--parent", "0", "Archive"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string archive = r.out.substr(0, r.out.find('\n'));
    ASSERT_EQ(Vexora({"mv", "--to", archive, "--dir", week}).exitCode, 0);
    r = Vexora({"--json", "ls", "--dir", archive});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Json::Value list = ParseJson(r.out);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["name"].asString(), "第一周");
    EXPECT_EQ(list[0]["kind"].asString(), "dir");

    r = Vexora({"rm", "--dir", archive, lessons});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Vexora({"ls"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("\tArchive\n"), std::string::npos);
    EXPECT_EQ(r.out.find("\tLessons\n"), std::string::npos);

    r = Vexora({"quota"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("total: 100G\n"), std::string::npos) << r.out;

    r = Vexora({"servers"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string expected;
    for (int p : m_sim.FilePorts())
        expected += "127.0.0.1:" + std::to_string(p) + "\n";
    EXPECT_EQ(r.out, expected);
}

TEST_F(CliSim, FailuresSayWhatAndWhy)
{
    RunResult r = Vexora({"ls"}, "wrong");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("login as demo at 127.0.0.1:" + std::to_string(m_sim.WebPort()) + " failed: "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("tries left)"), std::string::npos) << r.err;

    r = Vexora({"rename", "--dir", "1", "--file", "2", "x"});
    EXPECT_EQ(r.exitCode, 2);
    r = Vexora({"mv", "--to", "1"});
    EXPECT_EQ(r.exitCode, 2);
    r = Vexora({"search", "--dir", "0", "x"});
    EXPECT_EQ(r.exitCode, 2);
    r = RunProgram("vexora", {"--config", m_ini, "ls"}, {"VEXORA_DATA_DIR=" + m_data.Path()});
    EXPECT_EQ(r.exitCode, 2) << "no account given";

    r = Vexora({"rename", "--dir", "987654", "nobody"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("renaming folder 987654 failed: "), std::string::npos) << r.err;

    m_sim.Stop();
    r = Vexora({"quota"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("connection refused at 127.0.0.1:"), std::string::npos) << r.err;
}
