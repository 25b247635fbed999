#include "sim/VersionServer.h"

#include "platform/Crypto.h"
#include "sim/SimLog.h"
#include "sim/SimText.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vx::sim {

namespace {

const uint16_t kVersionType = 800;
const size_t kRequestLen = 41;

} // namespace

CVersionServer::CVersionServer(const SimOptions& opts, SimFaults& faults,
                               std::function<std::string()> updateText)
    : m_opts(opts), m_faults(faults), m_updateText(std::move(updateText))
{
    if (!opts.latestVersion.empty())
        m_hasLatest = sscanf(opts.latestVersion.c_str(), "%d.%d.%d.%d", &m_latest[0], &m_latest[1],
                             &m_latest[2], &m_latest[3]) == 4;
}

CVersionServer::~CVersionServer()
{
    Stop();
}

int CVersionServer::Start(int port)
{
    // With port 0 the TCP side picks the number and UDP must get the same one; another
    // program may hold that UDP port, so a few numbers are tried.
    for (int attempt = 0; attempt < 20; ++attempt) {
        uint16_t bound = 0;
        if (!m_tcp.Listen(m_opts.bindHost, static_cast<uint16_t>(port), 64, &bound))
            return -1;
        if (m_udp.BindUdp(m_opts.bindHost, bound)) {
            m_port = bound;
            break;
        }
        m_tcp.Close();
        if (port != 0)
            return -1;
    }
    if (!m_udp.IsValid())
        return -1;
    m_udpThread = std::thread([this] { UdpLoop(); });
    m_tcpThread = std::thread([this] { TcpLoop(); });
    return m_port;
}

void CVersionServer::Stop()
{
    m_stop = true;
    if (m_udpThread.joinable())
        m_udpThread.join();
    if (m_tcpThread.joinable())
        m_tcpThread.join();
    m_conns.JoinAll();
    m_udp.Close();
    m_tcp.Close();
}

std::vector<uint8_t> CVersionServer::Reply(const uint8_t* req, size_t len)
{
    if (len < kRequestLen || GetU16(req) != kVersionType)
        return {};
    int v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = GetU16(req + 32 + 2 * i);
    bool older = false;
    if (m_hasLatest)
        for (int i = 0; i < 4; ++i)
            if (v[i] != m_latest[i]) {
                older = v[i] < m_latest[i];
                break;
            }
    std::string text = older ? m_updateText() : "";
    std::vector<uint8_t> out(34 + text.size(), 0);
    PutU16(out.data(), kVersionType);
    PutU16(out.data() + 2, 0xFFFF);
    PutU16(out.data() + 4, static_cast<uint16_t>(2 + text.size()));
    PutU16(out.data() + 6, older ? 0 : 1);
    PutU16(out.data() + 32, static_cast<uint16_t>(text.size()));
    memcpy(out.data() + 34, text.data(), text.size());
    SimLog("[version] client %d.%d.%d.%d -> %s", v[0], v[1], v[2], v[3], older ? text.c_str() : "up to date");
    return out;
}

std::vector<uint8_t> CVersionServer::Answer(const uint8_t* req, size_t len)
{
    int ms = m_faults.delayMs;
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    if (!m_faults.garbageVersion)
        return Reply(req, len);
    std::vector<uint8_t> out(64);
    RandomBytes(out.data(), out.size());
    out[0] = 0x21; // type 0x??21 is never 800
    return out;
}

void CVersionServer::UdpLoop()
{
    uint8_t buf[2048];
    while (!m_stop) {
        size_t n = 0;
        std::string fromHost;
        uint16_t fromPort = 0;
        if (m_udp.RecvFrom(buf, sizeof(buf), 200, &n, &fromHost, &fromPort) != SockResult::Ok || n == 0)
            continue;
        if (m_faults.noUdp) {
            SimLog("[version] datagram ignored (no-udp switch)");
            continue;
        }
        std::vector<uint8_t> out = Answer(buf, n);
        if (out.empty()) {
            SimLog("[version] malformed datagram of %zu bytes ignored", n);
            continue;
        }
        m_udp.SendTo(fromHost, fromPort, out.data(), out.size());
    }
}

void CVersionServer::TcpLoop()
{
    while (!m_stop) {
        auto conn = std::make_shared<CSocket>(m_tcp.Accept(200));
        if (conn->IsValid())
            m_conns.Spawn([this, conn] { ServeTcp(*conn); });
    }
}

void CVersionServer::ServeTcp(CSocket& fd)
{
    uint8_t buf[kRequestLen];
    if (!RecvExact(fd, buf, sizeof(buf), 5000, &m_stop)) {
        SimLog("[version] TCP request cut short, closing");
        fd.Close();
        return;
    }
    std::vector<uint8_t> out = Answer(buf, sizeof(buf));
    if (out.empty())
        SimLog("[version] malformed TCP request, closing");
    else
        SendExact(fd, out.data(), out.size());
    fd.Close();
}

} // namespace vx::sim
