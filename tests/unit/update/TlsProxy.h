#pragma once
// A TLS front for a plain test server on 127.0.0.1: it completes the handshake with the given
// certificate and relays the decrypted bytes to the backend port and back, so every
// misbehaviour of the range server works over TLS too.

#include "common/LoopbackServer.h"

#include <atomic>
#include <cstdint>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace vx::test {

class CTlsProxy
{
public:
    CTlsProxy() = default;
    ~CTlsProxy();

    bool Start(const std::string& certFile, const std::string& keyFile, uint16_t backendPort);
    uint16_t Port() const { return m_server.Port(); }
    int Handshakes() const { return m_handshakes.load(); }
    int FailedHandshakes() const { return m_failed.load(); }

private:
    void Serve(int fd);

    SSL_CTX* m_ctx = nullptr;
    uint16_t m_backend = 0;
    std::atomic<int> m_handshakes{0};
    std::atomic<int> m_failed{0};
    CLoopbackServer m_server; // last: stops before the state Serve uses
};

} // namespace vx::test
