// The version question against small UDP/TCP servers of this test: the request bytes, replies
// cut short, of the wrong type, oversized, split, from a stranger, and silence on both paths;
// then the hand-off to the updater.

#include "app/VersionCheck.h"
#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "common/LoopbackServer.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vx::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes Reply(uint16_t type, uint16_t flag, const std::string& text, int lengthField = -1, size_t padTo = 0)
{
    Bytes b(34 + text.size(), 0);
    b[0] = type & 0xFF;
    b[1] = type >> 8;
    b[6] = flag & 0xFF;
    uint16_t n = static_cast<uint16_t>(lengthField < 0 ? text.size() : lengthField);
    b[32] = n & 0xFF;
    b[33] = n >> 8;
    memcpy(b.data() + 34, text.data(), text.size());
    if (b.size() < padTo)
        b.resize(padTo, 'x');
    return b;
}

// A version server on one port for UDP and TCP. Each side answers a request with a list of
// pieces (sent with a short pause between them); no pieces means silence. Without TCP the
// port refuses connections.
class CVersionStub
{
public:
    std::function<std::vector<Bytes>(const Bytes&)> udp;
    std::function<std::vector<Bytes>(const Bytes&)> tcp;
    bool listenTcp = true;
    bool strangerFirst = false; // a datagram from another port arrives before the real one

    bool Start()
    {
        for (int i = 0; i < 20 && m_port == 0; ++i) {
            m_tcp = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (bind(m_tcp, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0)
                return false;
            socklen_t len = sizeof(a);
            getsockname(m_tcp, reinterpret_cast<sockaddr*>(&a), &len);
            m_udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            if (bind(m_udp, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) {
                m_port = ntohs(a.sin_port);
            } else {
                close(m_udp);
                close(m_tcp);
            }
        }
        if (m_port == 0 || (listenTcp && listen(m_tcp, 4) != 0))
            return false;
        m_thread = std::thread([this] { Loop(); });
        return true;
    }
    ~CVersionStub()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        close(m_udp);
        close(m_tcp);
    }
    int Port() const { return m_port; }
    std::vector<Bytes> Requests()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    int UdpCount() const { return m_udpCount; }
    int TcpCount() const { return m_tcpCount; }

private:
    void Record(const Bytes& r)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(r);
    }
    void Loop()
    {
        while (!m_stop) {
            pollfd p[2] = {{m_udp, POLLIN, 0}, {m_tcp, POLLIN, 0}};
            if (poll(p, listenTcp ? 2 : 1, 50) <= 0)
                continue;
            if (p[0].revents & POLLIN) {
                uint8_t buf[2048];
                sockaddr_in from{};
                socklen_t flen = sizeof(from);
                ssize_t n = recvfrom(m_udp, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &flen);
                if (n <= 0)
                    continue;
                Bytes req(buf, buf + n);
                Record(req);
                ++m_udpCount;
                if (strangerFirst) {
                    int other = socket(AF_INET, SOCK_DGRAM, 0);
                    Bytes fake = Reply(800, 0, "http://evil.example/x");
                    sendto(other, fake.data(), fake.size(), 0, reinterpret_cast<sockaddr*>(&from), flen);
                    close(other);
                    std::this_thread::sleep_for(std::chrono::milliseconds(30));
                }
                for (const Bytes& piece : udp ? udp(req) : std::vector<Bytes>{})
                    sendto(m_udp, piece.data(), piece.size(), 0, reinterpret_cast<sockaddr*>(&from), flen);
            }
            if (listenTcp && (p[1].revents & POLLIN)) {
                int fd = accept4(m_tcp, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0)
                    continue;
                ++m_tcpCount;
                std::string got;
                RecvAtLeast(fd, &got, 41, 2000);
                Bytes req(got.begin(), got.end());
                Record(req);
                std::vector<Bytes> pieces = tcp ? tcp(req) : std::vector<Bytes>{};
                for (const Bytes& piece : pieces) {
                    send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                if (pieces.empty()) // silent: hold the connection until the client gives up
                    HoldUntilPeerCloses(fd, 10000, m_stop);
                close(fd);
            }
        }
    }

    int m_udp = -1, m_tcp = -1, m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_udpCount{0}, m_tcpCount{0};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Bytes> m_requests;
};

VersionWaits ShortWaits()
{
    VersionWaits w;
    w.udpWaitMs = 50;
    w.tcpWaitMs = 50;
    w.tcpConnectMs = 500;
    return w;
}

VersionResult Ask(CVersionStub& stub, std::string* text, std::string* cause = nullptr,
                  const VersionWaits& w = ShortWaits())
{
    std::string c;
    return AskVersionServer("127.0.0.1", stub.Port(), "2.0.31.7", text, cause ? cause : &c, w);
}

TEST(VersionRequestTest, FortyOneBytesWithTheProgramVersion)
{
    uint16_t v[4];
    ASSERT_TRUE(ParseAppVersion("2.0.31.7", v));
    Bytes req = BuildVersionRequest(v);
    const Bytes expected = {0x20, 0x03, 0xFF, 0xFF, 0x09, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0,    0, 0, 0, 0, 0,
                            0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x1F, 0, 7, 0, 2};
    EXPECT_EQ(req, expected);

    EXPECT_FALSE(ParseAppVersion("2.0.31", v));
    EXPECT_FALSE(ParseAppVersion("2.0.31.", v));
    ASSERT_TRUE(ParseAppVersion("3.x.10.2b", v)); // each piece read like atoi
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 0);
    EXPECT_EQ(v[3], 2);
}

TEST(VersionReplyTest, UpToDateUpdateAndTheRulesOfTheReply)
{
    CVersionStub stub;
    std::string reply = "up";
    stub.udp = [&](const Bytes&) {
        if (reply == "up")
            return std::vector<Bytes>{Reply(800, 1, "")};
        return std::vector<Bytes>{Reply(800, 0, reply)};
    };
    ASSERT_TRUE(stub.Start());
    std::string text;
    EXPECT_EQ(Ask(stub, &text), VersionResult::UpToDate);

    reply = "http://127.0.0.1:1/download/VexoraSetup;v=2";
    EXPECT_EQ(Ask(stub, &text), VersionResult::UpdateDue);
    EXPECT_EQ(text, reply);
    EXPECT_EQ(stub.TcpCount(), 0);
    // The request carries this program's version.
    Bytes req = stub.Requests().back();
    ASSERT_EQ(req.size(), 41u);
    EXPECT_EQ(Bytes(req.begin() + 32, req.end()), (Bytes{2, 0, 0, 0, 0x1F, 0, 7, 0, 2}));
}

TEST(VersionReplyTest, BrokenRepliesAreNoUpdate)
{
    std::string text, cause;
    {
        // Cut short before 32 bytes, on both paths: a malformed reply, not silence.
        CVersionStub stub;
        stub.udp = stub.tcp = [](const Bytes&) {
            Bytes r = Reply(800, 0, "");
            r.resize(20);
            return std::vector<Bytes>{r};
        };
        ASSERT_TRUE(stub.Start());
        EXPECT_EQ(Ask(stub, &text, &cause), VersionResult::Failed);
        EXPECT_EQ(stub.TcpCount(), 1);
        EXPECT_NE(cause.find("sent a malformed reply of 20 bytes"), std::string::npos) << cause;
        EXPECT_EQ(cause.find("did not answer"), std::string::npos) << cause;
    }
    {
        CVersionStub stub;
        stub.udp = [](const Bytes&) { return std::vector<Bytes>{Reply(801, 0, "http://h/x")}; };
        ASSERT_TRUE(stub.Start());
        EXPECT_EQ(Ask(stub, &text, &cause), VersionResult::Failed);
        EXPECT_NE(cause.find("malformed reply of type 801"), std::string::npos) << cause;
        EXPECT_EQ(stub.TcpCount(), 0); // a reply came: no second try over TCP
    }
}

// 32 bytes make a reply: a conforming server that sends no more is answered at once, without the
// UDP waits and the TCP fallback; an announced text longer than what came is cut to what came.
TEST(VersionReplyTest, ThirtyTwoBytesAreAReply)
{
    std::string text, cause;
    {
        CVersionStub stub;
        stub.udp = [](const Bytes&) {
            Bytes r = Reply(800, 1, "");
            r.resize(32);
            return std::vector<Bytes>{r};
        };
        ASSERT_TRUE(stub.Start());
        auto t0 = Clock::now();
        EXPECT_EQ(Ask(stub, &text, &cause, VersionWaits()), VersionResult::UpToDate) << cause;
        EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1500));
        EXPECT_EQ(stub.TcpCount(), 0);
    }
    {
        // Flag 0 without text: nothing to hand over, so no update is started.
        CVersionStub stub;
        stub.udp = stub.tcp = [](const Bytes&) {
            Bytes r = Reply(800, 0, "");
            r.resize(32);
            return std::vector<Bytes>{r};
        };
        ASSERT_TRUE(stub.Start());
        EXPECT_EQ(Ask(stub, &text, &cause), VersionResult::UpdateDue) << cause;
        EXPECT_EQ(text, "");
        EXPECT_EQ(stub.TcpCount(), 0);
    }
    for (bool tcp : {false, true}) {
        // An update whose address was cut short on the way ("http://127" of 40 announced bytes)
        // is a broken reply, not an update to a truncated address.
        CVersionStub stub;
        auto reply = [](const Bytes&) { return std::vector<Bytes>{Reply(800, 0, "http://127", 40)}; };
        (tcp ? stub.tcp : stub.udp) = reply;
        ASSERT_TRUE(stub.Start());
        cause.clear();
        EXPECT_EQ(Ask(stub, &text, &cause, ShortWaits()), VersionResult::Failed);
        EXPECT_EQ(text, "");
        EXPECT_NE(cause.find("40 bytes announced, 10 arrived"), std::string::npos) << cause;
    }
    // Without the length field the reply carries no text; one byte short of the text is broken.
    Bytes r = Reply(800, 0, "abc", 3000);
    EXPECT_EQ(ParseVersionReply(r.data(), 33, &text, &cause), VersionResult::UpdateDue);
    EXPECT_EQ(text, "");
    EXPECT_EQ(ParseVersionReply(r.data(), 31, &text, &cause), VersionResult::Failed);
    r = Reply(800, 0, "http://h/");
    EXPECT_EQ(ParseVersionReply(r.data(), r.size(), &text, &cause), VersionResult::UpdateDue);
    EXPECT_EQ(text, "http://h/");
    EXPECT_EQ(ParseVersionReply(r.data(), r.size() - 1, &text, &cause), VersionResult::Failed);
    EXPECT_EQ(text, "");
}

TEST(VersionReplyTest, OversizedLengthIsLimitedToTheBuffer)
{
    CVersionStub stub;
    stub.udp = [](const Bytes&) { return std::vector<Bytes>{Reply(800, 0, "http://h/", 5000, 1400)}; };
    ASSERT_TRUE(stub.Start());
    std::string text;
    EXPECT_EQ(Ask(stub, &text), VersionResult::UpdateDue);
    EXPECT_EQ(text.size(), 1366u);
    EXPECT_EQ(text.rfind("http://h/", 0), 0u);
}

TEST(VersionReplyTest, ReplyInPiecesIsReadWhole)
{
    CVersionStub stub;
    const std::string url = "http://127.0.0.1/download/VexoraSetup.exe";
    Bytes whole = Reply(800, 0, url);
    stub.tcp = [&](const Bytes&) {
        return std::vector<Bytes>{Bytes(whole.begin(), whole.begin() + 33),
                                  Bytes(whole.begin() + 33, whole.begin() + 40),
                                  Bytes(whole.begin() + 40, whole.end())};
    };
    ASSERT_TRUE(stub.Start());
    std::string text;
    VersionWaits w = ShortWaits();
    w.tcpWaitMs = 400; // the pieces come 100 ms apart, each within one wait
    EXPECT_EQ(Ask(stub, &text, nullptr, w), VersionResult::UpdateDue); // UDP silent, then TCP
    EXPECT_EQ(text, url);
    EXPECT_EQ(stub.UdpCount(), 1);
    EXPECT_EQ(stub.TcpCount(), 1);
}

TEST(VersionReplyTest, OnlyTheServerAskedMayAnswer)
{
    CVersionStub stub;
    stub.strangerFirst = true;
    stub.udp = [](const Bytes&) { return std::vector<Bytes>{Reply(800, 1, "")}; };
    ASSERT_TRUE(stub.Start());
    std::string text;
    VersionWaits w = ShortWaits();
    w.udpWaitMs = 100;
    EXPECT_EQ(Ask(stub, &text, nullptr, w), VersionResult::UpToDate);
    EXPECT_EQ(text, "");
}

TEST(VersionReplyTest, SilenceOnBothPathsIsBoundedWithTheProductWaits)
{
    CVersionStub stub; // answers nothing, holds the TCP connection open
    ASSERT_TRUE(stub.Start());
    std::string text, cause;
    auto t0 = Clock::now();
    EXPECT_EQ(Ask(stub, &text, &cause, VersionWaits()), VersionResult::Failed);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GE(ms, 6500); // 2 s of UDP waits and 5 s of TCP waits
    EXPECT_LE(ms, 8500);
    EXPECT_NE(cause.find("did not answer"), std::string::npos) << cause;

    // Nothing at all on the port: UDP waits, then the refused connection ends it at once.
    CVersionStub closed;
    closed.listenTcp = false;
    ASSERT_TRUE(closed.Start());
    t0 = Clock::now();
    EXPECT_EQ(Ask(closed, &text, &cause, VersionWaits()), VersionResult::Failed);
    EXPECT_LE(Clock::now() - t0, std::chrono::milliseconds(3000));
}

// The hand-off: NeedUpate starts the updater with separate arguments, or refuses.
class HandOffTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_updater = m_dir.File("Update");
        m_out = m_dir.File("updater-args");
        ASSERT_TRUE(WriteFile(m_updater, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" +
                                             m_out + ".part' && mv '" + m_out + ".part' '" + m_out + "'\n"));
        chmod(m_updater.c_str(), 0755);
        m_stub.udp = [this](const Bytes&) { return std::vector<Bytes>{Reply(800, 0, m_reply)}; };
        ASSERT_TRUE(m_stub.Start());
        m_hooks.updaterPath = m_updater;
        m_hooks.waits = ShortWaits();
        m_hooks.liveServerLookup = [this](std::string* host, int* port) {
            *host = "127.0.0.1";
            *port = m_stub.Port();
            return 0;
        };
        m_hooks.showError = [this](const std::string& text, const std::string& caption) {
            m_shown.push_back(caption + ":" + text);
        };
    }
    std::string WaitOutput()
    {
        for (int i = 0; i < 300 && !FileExists(m_out); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return ReadFile(m_out);
    }

    CScopedDataDir m_data;
    CTempDir m_dir;
    std::string m_updater, m_out;
    std::string m_reply = "http://127.0.0.1:18080/download/VexoraSetup.exe";
    CVersionStub m_stub;
    VersionCheckHooks m_hooks;
    std::vector<std::string> m_shown;
};

TEST_F(HandOffTest, UpdaterGetsFourFieldsThatSurviveSemicolons)
{
    m_reply = "http://127.0.0.1:18080/download/Setup;1.exe";
    EXPECT_TRUE(NeedUpate({"--start", "a;b c"}, m_hooks));
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(WaitOutput(), "[" + m_reply + "]\n[Vexora]\n[" + std::string(self, static_cast<size_t>(n)) +
                                "]\n[--start]\n[a;b c]\n");
    EXPECT_TRUE(m_shown.empty());
}

TEST_F(HandOffTest, RefusalsAndTheMissingUpdater)
{
    // Not a web address: no updater, the program starts normally.
    m_reply = "file:///etc/passwd";
    EXPECT_FALSE(NeedUpate({}, m_hooks));
    // Flag 0 with an empty text: no update either.
    m_reply = "";
    EXPECT_FALSE(NeedUpate({}, m_hooks));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(FileExists(m_out));

    // Missing updater: the box is shown and the program still ends (only a reinstall helps).
    m_reply = "http://127.0.0.1/x";
    m_hooks.updaterPath = m_dir.File("no-such-updater");
    EXPECT_TRUE(NeedUpate({}, m_hooks));
    EXPECT_EQ(m_shown, (std::vector<std::string>{"错误:更新程序丢失，请重新安装！"}));
}

TEST_F(HandOffTest, UpdaterThatCannotRunLeavesTheProgramStarting)
{
    ResetDataFolderCache();
    OpenLogs();
    m_reply = "http://127.0.0.1/x";
    // There, but not executable: the user is told and the program starts normally.
    chmod(m_updater.c_str(), 0644);
    EXPECT_FALSE(NeedUpate({}, m_hooks));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_NE(m_shown[0].find("错误:更新程序无法运行"), std::string::npos) << m_shown[0];
    EXPECT_NE(m_shown[0].find("Permission denied"), std::string::npos) << m_shown[0];

    // Starts, but its move to the private folder fails: its own message reaches the user.
    ASSERT_TRUE(WriteFile(m_updater, "#!/bin/sh\necho 'Update: cannot run from a private temporary folder: "
                                     "no room' >&2\nexit 1\n"));
    chmod(m_updater.c_str(), 0755);
    EXPECT_FALSE(NeedUpate({}, m_hooks));
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_NE(m_shown[1].find("code 1"), std::string::npos) << m_shown[1];
    EXPECT_NE(m_shown[1].find("no room"), std::string::npos) << m_shown[1];
    CloseLogs();
    std::string log = ReadFile(m_data.Path() + "Log/log.txt");
    EXPECT_NE(log.find("Error : Prepare to Update, start update process failed!"), std::string::npos) << log;
    EXPECT_NE(log.find("no room); starting without the update"), std::string::npos) << log;
    ResetDataFolderCache();
}

} // namespace
} // namespace vx::test
