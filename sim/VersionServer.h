#pragma once
// The version server: one port number on UDP and TCP. A 41-byte request of type 800 carries
// the client's four version numbers; the reply says "up to date" (flag 1) or carries the
// update text (the installer's address on this simulator) when a newer release is configured.

#include "sim/ConnThreads.h"
#include "sim/SimOptions.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vx::sim {

class CVersionServer
{
public:
    CVersionServer(const SimOptions& opts, SimFaults& faults, std::function<std::string()> updateText);
    ~CVersionServer();
    CVersionServer(const CVersionServer&) = delete;
    CVersionServer& operator=(const CVersionServer&) = delete;

    // Binds TCP and UDP on the same port (0 = a free one); returns it or -1.
    int Start(int port);
    void Stop();

    // The reply to one request, or empty when the request is not a version request.
    std::vector<uint8_t> Reply(const uint8_t* req, size_t len);

private:
    // Reply after the configured delay; 64 random bytes instead under the garbage switch.
    std::vector<uint8_t> Answer(const uint8_t* req, size_t len);
    void UdpLoop();
    void TcpLoop();
    void ServeTcp(CSocket& s);

    const SimOptions& m_opts;
    SimFaults& m_faults;
    std::function<std::string()> m_updateText;
    int m_latest[4] = {0, 0, 0, 0};
    bool m_hasLatest = false;
    CSocket m_tcp, m_udp;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_udpThread, m_tcpThread;
    CConnThreads m_conns;
};

} // namespace vx::sim
