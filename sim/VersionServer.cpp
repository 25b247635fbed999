#include "sim/VersionServer.h"

#include "platform/Crypto.h"
#include "sim/SimLog.h"
#include "sim/SimText.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx::sim {

namespace {

const uint16_t kVersionType = 800;
const size_t kRequestLen = 41;

int BindUdp(const std::string& host, int port)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

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
        int bound = 0;
        m_tcpFd = ListenTcp(m_opts.bindHost, port, &bound);
        if (m_tcpFd < 0)
            return -1;
        m_udpFd = BindUdp(m_opts.bindHost, bound);
        if (m_udpFd >= 0) {
            m_port = bound;
            break;
        }
        close(m_tcpFd);
        m_tcpFd = -1;
        if (port != 0)
            return -1;
    }
    if (m_udpFd < 0)
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
    if (m_udpFd >= 0)
        close(m_udpFd);
    if (m_tcpFd >= 0)
        close(m_tcpFd);
    m_udpFd = m_tcpFd = -1;
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
        pollfd p{m_udpFd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t fromLen = sizeof(from);
        ssize_t n = recvfrom(m_udpFd, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n <= 0)
            continue;
        if (m_faults.noUdp) {
            SimLog("[version] datagram ignored (no-udp switch)");
            continue;
        }
        std::vector<uint8_t> out = Answer(buf, static_cast<size_t>(n));
        if (out.empty()) {
            SimLog("[version] malformed datagram of %zd bytes ignored", n);
            continue;
        }
        sendto(m_udpFd, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
    }
}

void CVersionServer::TcpLoop()
{
    while (!m_stop) {
        int fd = AcceptWithin(m_tcpFd, 200);
        if (fd >= 0)
            m_conns.Spawn([this, fd] { ServeTcp(fd); });
    }
}

void CVersionServer::ServeTcp(int fd)
{
    uint8_t buf[kRequestLen];
    if (!RecvExact(fd, buf, sizeof(buf), 5000, &m_stop)) {
        SimLog("[version] TCP request cut short, closing");
        close(fd);
        return;
    }
    std::vector<uint8_t> out = Answer(buf, sizeof(buf));
    if (out.empty())
        SimLog("[version] malformed TCP request, closing");
    else
        SendExact(fd, out.data(), out.size());
    close(fd);
}

} // namespace vx::sim
