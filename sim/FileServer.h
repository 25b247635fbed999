#pragma once
// One file server: a TCP port speaking the upload protocol (announce, answer with the missing
// range, raw data, 7-byte confirmation after the digest check) and the speed-test session.
// Partial uploads are kept in <root>/partial/<org>_<md5hex>_<length>.part, so a later
// connection for the same content is asked only for the missing bytes.

#include "sim/ConnThreads.h"
#include "sim/SimOptions.h"
#include "sim/SimStore.h"

#include <atomic>
#include <string>
#include <thread>

namespace vx::sim {

class CFileServer
{
public:
    CFileServer(const SimOptions& opts, SimFaults& faults, CSimStore& store);
    ~CFileServer();
    CFileServer(const CFileServer&) = delete;
    CFileServer& operator=(const CFileServer&) = delete;

    // Binds (0 = any free port) and accepts on a thread; returns the port or -1.
    int Start(int port);
    void Stop();

    // Where the bytes of an unfinished upload are kept.
    static std::string PartialName(int64_t org, const std::string& md5Hex, int64_t length);

private:
    void AcceptLoop();
    void Serve(CSocket& s);
    void SpeedTest(CSocket& s);
    void Announce(CSocket& s, const uint8_t* msg, size_t len);
    bool ReceiveData(CSocket& s, const std::string& path, int64_t have, int64_t length);
    void Delay();

    const SimOptions& m_opts;
    SimFaults& m_faults;
    CSimStore& m_store;
    CSocket m_listen;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptThread;
    CConnThreads m_conns;
};

} // namespace vx::sim
