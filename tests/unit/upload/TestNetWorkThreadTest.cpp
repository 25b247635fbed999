// The speed test against scripted servers on 127.0.0.1: who takes part, who wins, and that it
// always reports (also with nothing to measure) and stops at once when asked.

#include "upload/TestNetWorkThread.h"
#include "net/SpaceApi.h"
#include "platform/Resolver.h"
#include "unit/upload/RawServer.h"
#include "upload/FileServerList.h"
#include "upload/TransProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace vx::test {
namespace {

using namespace std::chrono_literals;

struct Choice
{
    uint64_t address = 0;
    FileServerChoice server;
    bool beforeChoice = false;
};

class CChoiceWindow : public IMsgHandler
{
public:
    CChoiceWindow() { m_target = CMessageLoop::Main().Register(this); }
    ~CChoiceWindow() override { CMessageLoop::Main().Unregister(m_target); }
    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override
    {
        if (id == WM_FILESERVER_FIRST) {
            Choice c;
            c.address = wParam; // the test's number here
            if (auto* p = PayloadAs<FileServerChoice>(payload))
                c.server = *p;
            c.beforeChoice = m_choices.empty();
            m_first.push_back(c);
            return;
        }
        if (id != WM_FILESERVER_TEST)
            return;
        Choice c;
        c.address = wParam;
        if (auto* p = PayloadAs<FileServerChoice>(payload))
            c.server = *p;
        m_choices.push_back(c);
    }
    bool WaitChoice(int ms)
    {
        return CMessageLoop::Main().PumpUntil([&] { return !m_choices.empty(); }, ms);
    }
    MsgTarget m_target;
    std::vector<Choice> m_choices;
    std::vector<Choice> m_first; // the first server that agreed, posted as soon as it did
};

// Answers the test request with `answer`, then reads what comes, pausing pauseMs per read.
CRawServer::Script TestServer(std::string answer, int pauseMs)
{
    return [answer, pauseMs](CRawConn& c) {
        std::string req;
        if (!c.Read(&req, 7) || req != BuildTestRequest())
            return;
        if (!answer.empty())
            c.Write(answer);
        std::string chunk;
        for (;;) {
            if (pauseMs > 0)
                CRawConn::Pause(pauseMs);
            if (!c.Read(&chunk, 1400, 3000))
                return;
        }
    };
}

const std::string kAccept = MakeHead(0, 2, 0);

TEST(TestNetWorkThread, TheServerThatTakesMoreDataWins)
{
    CRawServer slow(TestServer(kAccept, 20), 8192);
    CRawServer fast(TestServer(kAccept, 0));
    CRawServer refusing(TestServer(MakeHead(0, 9, 0x55), 0));
    CChoiceWindow wnd;
    CTestNetWorkThread t(wnd.m_target);
    t.SetTimeBudget(1500);
    ASSERT_TRUE(t.AddServer("127.0.0.1", refusing.Port()));
    ASSERT_TRUE(t.AddServer("127.0.0.1", slow.Port()));
    ASSERT_TRUE(t.AddServer("127.0.0.1", fast.Port()));
    ASSERT_TRUE(t.Start());
    ASSERT_TRUE(wnd.WaitChoice(10000));
    ASSERT_EQ(wnd.m_choices.size(), 1u);
    EXPECT_EQ(wnd.m_choices[0].address, CTestNetWorkThread::AddressFromDotted("127.0.0.1"));
    EXPECT_EQ(wnd.m_choices[0].server.strHost, "127.0.0.1");
    EXPECT_EQ(wnd.m_choices[0].server.usPort, fast.Port());
    // Uploads may start before the measurement ends: the first server that agreed is named
    // at once (never the one that refused), once.
    ASSERT_EQ(wnd.m_first.size(), 1u);
    EXPECT_EQ(wnd.m_first[0].address, t.Id());
    EXPECT_TRUE(wnd.m_first[0].beforeChoice);
    EXPECT_EQ(wnd.m_first[0].server.strHost, "127.0.0.1");
    EXPECT_TRUE(wnd.m_first[0].server.usPort == slow.Port() || wnd.m_first[0].server.usPort == fast.Port());
    ASSERT_TRUE(t.Join(3000));
    EXPECT_TRUE(t.IsDone());
    std::string host;
    uint16_t port = 0;
    ASSERT_TRUE(t.GetResult(&host, &port));
    EXPECT_EQ(port, fast.Port());
}

TEST(TestNetWorkThread, ReportsNoServerWhenNoneCanBeMeasured)
{
    CRawServer silent(TestServer("", 0));
    CRawServer refusing(TestServer(MakeHead(0, 9, 0), 0));
    struct Case
    {
        const char* what;
        std::vector<uint16_t> ports;
    } cases[] = {
        {"empty list", {}},
        {"nobody listening", {CRawServer::DeadPort()}},
        {"no answer", {silent.Port()}},
        {"refused", {refusing.Port()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CChoiceWindow wnd;
        CTestNetWorkThread t(wnd.m_target);
        t.SetTimeBudget(900);
        for (uint16_t p : c.ports)
            t.AddServer("127.0.0.1", p);
        auto t0 = std::chrono::steady_clock::now();
        ASSERT_TRUE(t.Start());
        ASSERT_TRUE(wnd.WaitChoice(5000));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
        EXPECT_EQ(wnd.m_choices[0].address, kNoServerAddress);
        EXPECT_EQ(wnd.m_choices[0].server.usPort, 0);
        EXPECT_TRUE(wnd.m_first.empty()) << "a server named that never agreed to the test";
        ASSERT_TRUE(t.Join(3000));
        EXPECT_TRUE(t.IsDone());
        std::string host;
        uint16_t port;
        EXPECT_FALSE(t.GetResult(&host, &port));
    }
}

TEST(TestNetWorkThread, AStopEndsTheMeasurementWithoutAChoice)
{
    CRawServer srv(TestServer(kAccept, 0));
    CChoiceWindow wnd;
    auto t = std::make_unique<CTestNetWorkThread>(wnd.m_target);
    t->SetTimeBudget(20000);
    t->AddServer("127.0.0.1", srv.Port());
    ASSERT_TRUE(t->Start());
    std::this_thread::sleep_for(300ms);
    auto t0 = std::chrono::steady_clock::now();
    t.reset(); // the window's release path: stop and wait
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
    CMessageLoop::Main().PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(wnd.m_choices.empty());
}

TEST(TestNetWorkThread, AddressesAndTheServerList)
{
    uint32_t a = CTestNetWorkThread::AddressFromDotted("10.1.2.254");
    const auto* b = reinterpret_cast<const uint8_t*>(&a);
    EXPECT_EQ(b[0], 10); // network byte order: first octet first
    EXPECT_EQ(b[3], 254);
    EXPECT_EQ(CTestNetWorkThread::DottedFromAddress(a), "10.1.2.254");
    for (const char* bad : {"1.2.3", "1.2.3.4.5", "256.1.1.1", "a.b.c.d", "", "1..2.3"})
        EXPECT_EQ(CTestNetWorkThread::AddressFromDotted(bad), kNoServerAddress) << bad;
    CTestNetWorkThread t(0);
    t.AddServer(kNoServerAddress, 80);
    EXPECT_FALSE(t.AddServer("not-an-address", 80));
    EXPECT_EQ(t.ServerCount(), 0u);

    CFileServerList list;
    list.ParseAddress("127.0.0.1");
    list.ParseAddress("localhost");
    EXPECT_TRUE(list.Contains("127.0.0.1"));
    EXPECT_FALSE(list.Contains("127.0.0.2"));
    EXPECT_FALSE(list.Contains(""));
    std::vector<FileServerAddress> servers{{"127.0.0.1", 8900}, {"127.0.0.1", 0}, {"", 8901}};
    auto test = MakeSpeedTest(servers, list, 0);
    EXPECT_EQ(test->ServerCount(), 1u) << "entries without a usable host or port are skipped";
}

TEST(TestNetWorkThread, OnATieTheEarlierServerWins)
{
    using S = CTestNetWorkThread::Sample;
    EXPECT_EQ(CTestNetWorkThread::PickFastest({S{true, 5000}, S{true, 5000}}), 0);
    EXPECT_EQ(CTestNetWorkThread::PickFastest({S{true, 4000}, S{true, 5000}, S{true, 5000}}), 1);
    // A server whose connection broke during the test is out, however much it took before.
    EXPECT_EQ(CTestNetWorkThread::PickFastest({S{false, 9000}, S{true, 5000}}), 1);
    EXPECT_EQ(CTestNetWorkThread::PickFastest({S{true, 0}, S{false, 7}}), -1);
    EXPECT_EQ(CTestNetWorkThread::PickFastest({}), -1);
}

TEST(FileServerList, EveryAddressOfAHostNameIsRemembered)
{
    // A name served from two addresses: an upload that used the second must still find it.
    CFileServerList list([](const std::string& host) {
        return host == "files.example" ? std::vector<std::string>{"10.0.0.1", "10.0.0.2"}
                                       : std::vector<std::string>{};
    });
    list.ParseAddress("files.example");
    list.ParseAddress("unknown.example");
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_TRUE(list.Contains("10.0.0.1"));
    EXPECT_TRUE(list.Contains("10.0.0.2"));

    // The system's resolver: a dotted address is itself; a local name gives its addresses once.
    EXPECT_EQ(ResolveHostAll("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    std::vector<std::string> local = ResolveHostAll("localhost");
    ASSERT_FALSE(local.empty());
    EXPECT_NE(std::find(local.begin(), local.end(), "127.0.0.1"), local.end());
    std::sort(local.begin(), local.end());
    EXPECT_EQ(std::adjacent_find(local.begin(), local.end()), local.end()) << "no address twice";
    EXPECT_TRUE(ResolveHostAll("").empty());
}

} // namespace
} // namespace vx::test
