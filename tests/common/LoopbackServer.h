#pragma once
// The plumbing under the tests' own small servers: a listening socket on a free 127.0.0.1 port
// with an accept thread that hands each connection to the owner, and bounded reads and writes on
// raw descriptors. It knows no protocol: whoever owns the connection reads and writes every
// byte itself, so the test servers stay independent of the client's protocol code.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vx::test {

// A listening TCP socket on 127.0.0.1 at a port the system picks (written to *port), or -1.
// rcvBuf > 0: a small receive buffer, inherited by the accepted connections.
int ListenOnLoopback(uint16_t* port, int rcvBuf = 0);
// A port on 127.0.0.1 where nobody listens (bound and closed again).
uint16_t UnusedLoopbackPort();

// Writes everything; false when the peer is gone (never SIGPIPE).
bool SendAllBytes(int fd, const void* data, size_t len);
bool SendAllBytes(int fd, const std::string& bytes);
// Exactly n bytes into *out within timeoutMs in all; false on close, error or time-out (*out then
// holds what did arrive).
bool RecvExact(int fd, std::string* out, size_t n, int timeoutMs);
// Appends to *out until it holds at least n bytes / contains marker; each wait for more is
// bounded by quietMs. False on close, error or time-out.
bool RecvAtLeast(int fd, std::string* out, size_t n, int quietMs);
bool RecvUntil(int fd, std::string* out, const std::string& marker, int quietMs);
// Whatever arrives until the peer closes or nothing comes for quietMs.
std::string RecvUntilQuiet(int fd, int quietMs);
// Keeps a connection open and silent (input is read and dropped) until the peer closes, about
// maxMs have passed, or stop is set.
void HoldUntilPeerCloses(int fd, int maxMs, const std::atomic<bool>& stop);
void PauseMs(int ms);
// Shuts both directions of a connection (the peer sees its end at once).
void ShutdownBoth(int fd);

class CLoopbackServer
{
public:
    // Serves one accepted connection; the server closes fd once the handler returns.
    using Handler = std::function<void(int fd)>;
    enum class Dispatch
    {
        ThreadPerConnection, // connections are served side by side
        OnAcceptThread,      // one after the other; the next is accepted when the handler returns
    };

    CLoopbackServer() = default;
    ~CLoopbackServer();
    CLoopbackServer(const CLoopbackServer&) = delete;
    CLoopbackServer& operator=(const CLoopbackServer&) = delete;

    // Listens and starts accepting; false when no socket could be set up.
    bool Start(Handler handler, Dispatch dispatch = Dispatch::ThreadPerConnection, int rcvBuf = 0);
    // Ends the accept loop, waits for every handler to return and closes the listener. Owners
    // call it first in their destructors, before the state their handlers use goes away.
    void Stop();

    uint16_t Port() const { return m_port; }
    int Connections() const { return m_connections.load(); }
    // True once Stop began: long-running handlers give up.
    const std::atomic<bool>& Stopping() const { return m_stop; }

private:
    void AcceptLoop();

    Handler m_handler;
    Dispatch m_dispatch = Dispatch::ThreadPerConnection;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
    std::vector<std::thread> m_workers; // only the accept thread adds, until Stop joins it
};

} // namespace vx::test
