// The version server on UDP and TCP: the 41-byte request, the reply for an up-to-date client
// and for an older one (the installer's address), and its faults.

#include "SimTestClient.h"
#include "common/LoopbackServer.h"
#include "common/SimHarness.h"

#include <gtest/gtest.h>

namespace vx::test::sim {

namespace {

std::vector<uint8_t> Request(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    std::vector<uint8_t> r(41, 0);
    auto put = [&](size_t at, uint16_t v) {
        r[at] = static_cast<uint8_t>(v);
        r[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put(0, 800);
    put(2, 0xFFFF);
    put(4, 9);
    r[10] = 1;
    r[11] = 1;
    put(32, a);
    put(34, b);
    put(36, c);
    put(38, d);
    r[40] = 2;
    return r;
}

// One datagram exchange; empty when nothing came back within the time.
std::vector<uint8_t> Udp(int port, const std::vector<uint8_t>& req, int waitMs = 2000)
{
    CSocket s;
    std::vector<uint8_t> buf(1400, 0);
    size_t n = 0;
    if (!s.OpenUdp() || !s.SendTo("127.0.0.1", static_cast<uint16_t>(port), req.data(), req.size()) ||
        s.RecvFrom(buf.data(), buf.size(), waitMs, &n, nullptr, nullptr) != SockResult::Ok)
        n = 0;
    buf.resize(n);
    return buf;
}

std::vector<uint8_t> Tcp(int port, const std::vector<uint8_t>& req)
{
    CSocket s = Connect(port);
    if (!s.IsValid())
        return {};
    SendAll(s, req.data(), req.size());
    std::string got = RecvUntilQuiet(s.Fd(), 3000);
    return std::vector<uint8_t>(got.begin(), got.end());
}

uint16_t U16(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

std::string Text(const std::vector<uint8_t>& b)
{
    size_t n = U16(b, 32);
    return std::string(b.begin() + 34, b.begin() + 34 + static_cast<long>(std::min(n, b.size() - 34)));
}

} // namespace

TEST(SimVersion, UpToDateAndUpdateOverUdpAndTcp)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--latest-version", "2.0.31.7"}));
    int port = sim.VersionPort();

    std::vector<uint8_t> r = Udp(port, Request(2, 0, 31, 7));
    ASSERT_GE(r.size(), 32u);
    EXPECT_EQ(U16(r, 0), 800);
    EXPECT_EQ(U16(r, 6), 1);
    r = Udp(port, Request(3, 0, 0, 0));
    EXPECT_EQ(U16(r, 6), 1);

    // An older client gets the installer's address, which the web port serves.
    r = Udp(port, Request(2, 0, 30, 99));
    ASSERT_GE(r.size(), 34u);
    EXPECT_EQ(U16(r, 0), 800);
    EXPECT_NE(U16(r, 6), 1);
    std::string url = Text(r);
    EXPECT_EQ(url, "http://127.0.0.1:" + std::to_string(sim.WebPort()) + "/download/VexoraSetup.exe");
    EXPECT_EQ(Get(sim.WebPort(), url.substr(url.find("/download/")) + "?random=1", "", "Range: bytes=0-\r\n")
                  .status,
              206);

    // The same over TCP, also when datagrams are ignored.
    ASSERT_TRUE(sim.SetFault("no-udp", "on"));
    EXPECT_TRUE(Udp(port, Request(2, 0, 30, 99), 500).empty());
    r = Tcp(port, Request(2, 0, 30, 99));
    ASSERT_GE(r.size(), 34u);
    EXPECT_EQ(Text(r), url);
    r = Tcp(port, Request(2, 0, 31, 7));
    ASSERT_GE(r.size(), 32u);
    EXPECT_EQ(U16(r, 6), 1);
}

TEST(SimVersion, WithoutALatestVersionEveryClientIsUpToDate)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    std::vector<uint8_t> r = Udp(sim.VersionPort(), Request(0, 0, 0, 1));
    ASSERT_GE(r.size(), 32u);
    EXPECT_EQ(U16(r, 6), 1);
}

TEST(SimVersion, MalformedRequestsAndGarbage)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--latest-version", "9.0.0.0"}));
    int port = sim.VersionPort();
    std::vector<uint8_t> wrongType = Request(1, 0, 0, 0);
    wrongType[0] = 0x21;
    EXPECT_TRUE(Udp(port, wrongType, 500).empty());
    EXPECT_TRUE(Udp(port, {0x20, 0x03, 0xFF}, 500).empty());
    EXPECT_TRUE(Tcp(port, {0x20, 0x03}).empty());
    EXPECT_TRUE(Tcp(port, wrongType).empty());

    ASSERT_TRUE(sim.SetFault("garbage", "version"));
    std::vector<uint8_t> r = Udp(port, Request(1, 0, 0, 0));
    ASSERT_GE(r.size(), 32u);
    EXPECT_NE(U16(r, 0), 800);
    ASSERT_TRUE(sim.SetFault("garbage", "off"));
    ASSERT_TRUE(sim.SetFault("delay", "400"));
    r = Udp(port, Request(1, 0, 0, 0));
    ASSERT_GE(r.size(), 34u);
    EXPECT_EQ(U16(r, 0), 800);
    EXPECT_NE(U16(r, 6), 1);
}

} // namespace vx::test::sim
