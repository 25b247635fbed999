// The simulator under clients that misbehave or just sit there, and with state it did not write:
// idle and half-sent connections, a state file of the wrong shape, what a login writes and
// logs, and sessions that expire.

#include "SimTestClient.h"
#include "common/SimHarness.h"
#include "platform/Paths.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace vx::test::sim {

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t0)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

// Milliseconds until the server ends the connection (reading whatever it sends first), or -1
// when it is still open after limitMs.
long long MsUntilClosedByServer(CSocket& s, int limitMs)
{
    auto t0 = Clock::now();
    char buf[4096];
    while (MsSince(t0) < limitMs) {
        size_t n = 0;
        SockResult r = s.RecvSome(buf, sizeof(buf), 100, &n);
        if (r == SockResult::Closed || r == SockResult::Error)
            return MsSince(t0);
    }
    return -1;
}

} // namespace

TEST(SimRobustness, IdleAndHalfSentConnectionsNeitherDelayALoginNorStay)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    std::vector<CSocket> idle, halfSent;
    for (int i = 0; i < 32; ++i) {
        idle.push_back(Connect(sim.WebPort()));
        halfSent.push_back(Connect(sim.WebPort()));
        ASSERT_TRUE(idle.back().IsValid());
        ASSERT_TRUE(halfSent.back().IsValid());
        const std::string part = "GET /index.do HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        ASSERT_TRUE(SendAll(halfSent.back(), part.data(), part.size()));
    }
    // A login among them is answered at once, not after the others have timed out.
    auto t0 = Clock::now();
    Json::Value answer;
    EXPECT_FALSE(Login(sim.WebPort(), "demo", "demo123", &answer).empty());
    EXPECT_TRUE(answer["success"].asBool());
    EXPECT_LT(MsSince(t0), 2500);

    // And they do not stay: an idle connection ends within a second or so, a half-sent request
    // within a few seconds.
    EXPECT_NE(MsUntilClosedByServer(idle.back(), 3500), -1);
    EXPECT_NE(MsUntilClosedByServer(halfSent.back(), 6000), -1);
}

TEST(SimRobustness, StateFileOfTheWrongShapeIsKeptAsideAndTheStartIsClean)
{
    const std::vector<std::string> wrong = {
        R"({"accounts": "not a list"})",
        R"({"accounts": [17]})",
        R"({"accounts": [{"id": "five", "name": "x"}]})",
        R"({"nextIds": [1, 2]})",
        R"({"folders": [{"id": 1, "name": {"a": 1}}]})",
        R"([1, 2, 3])",
        R"({"accounts": [)", // broken JSON: the same treatment
    };
    for (const std::string& text : wrong) {
        CSimProcess sim;
        ASSERT_TRUE(MakeDirs(sim.RootDir()));
        WriteFile(sim.RootDir() + "state.json", text);
        ASSERT_TRUE(sim.Start()) << text;
        EXPECT_EQ(ReadFile(sim.RootDir() + "state.json.bad"), text);
        EXPECT_NE(sim.LogText().find("state.json is damaged"), std::string::npos) << sim.LogText();
        Json::Value answer;
        EXPECT_FALSE(Login(sim.WebPort(), "demo", "demo123", &answer).empty()) << text;
        EXPECT_TRUE(answer["success"].asBool()) << text;
    }
    // A second broken file does not overwrite the first one kept aside.
    CSimProcess sim;
    ASSERT_TRUE(MakeDirs(sim.RootDir()));
    WriteFile(sim.RootDir() + "state.json.bad", "first");
    WriteFile(sim.RootDir() + "state.json", "[]");
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(ReadFile(sim.RootDir() + "state.json.bad"), "first");
    EXPECT_EQ(ReadFile(sim.RootDir() + "state.json.bad.1"), "[]");
}

TEST(SimRobustness, ALoginWritesOnlyItsSessionAndLogsNoPasswordHash)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    const std::string state = ReadFile(sim.RootDir() + "state.json");
    ASSERT_FALSE(state.empty());
    const std::string cookie = Login(sim.WebPort(), "demo", "demo123");
    ASSERT_FALSE(cookie.empty());
    EXPECT_EQ(ReadFile(sim.RootDir() + "state.json"), state);
    const std::string token = cookie.substr(cookie.find("JSESSIONID=") + 11, 32);
    EXPECT_NE(ReadFile(sim.RootDir() + "sessions.json").find(token), std::string::npos);

    EXPECT_TRUE(sim.WaitForLog("/login.do?j_username=demo&j_password=***&src=android -> 200"))
        << sim.LogText();
    const std::string log = sim.LogText();
    EXPECT_EQ(log.find(Md5Hex("demo123")), std::string::npos) << log;

    // The session survives a restart.
    ASSERT_TRUE(sim.Restart());
    Json::Value perm = Get(sim.WebPort(), "/getCurrentUser.do?rand=1", cookie).JsonBody();
    EXPECT_TRUE(perm["status"].asBool()) << perm;
}

TEST(SimRobustness, ExpiredSessionsArePruned)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--cookie-ttl", "1"}));
    const std::string first = Login(sim.WebPort(), "demo", "demo123");
    const std::string firstToken = first.substr(first.find("JSESSIONID=") + 11, 32);
    EXPECT_NE(ReadFile(sim.RootDir() + "sessions.json").find(firstToken), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    const std::string second = Login(sim.WebPort(), "demo", "demo123");
    ASSERT_FALSE(second.empty());
    const std::string sessions = ReadFile(sim.RootDir() + "sessions.json");
    EXPECT_EQ(sessions.find(firstToken), std::string::npos) << sessions;
    EXPECT_NE(sessions.find(second.substr(second.find("JSESSIONID=") + 11, 32)), std::string::npos);
    // The expired session no longer opens the web API.
    Json::Value perm = Get(sim.WebPort(), "/getCurrentUser.do?rand=1", first).JsonBody();
    EXPECT_FALSE(perm["status"].asBool()) << perm;
}

} // namespace vx::test::sim
