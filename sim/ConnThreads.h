#pragma once
// Threads serving accepted connections: started per connection, reaped when finished and
// joined at shutdown, so a stop never leaves a thread running behind the program's back.

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace vx::sim {

class CConnThreads
{
public:
    ~CConnThreads() { JoinAll(); }
    void Spawn(std::function<void()> fn);
    void JoinAll();

private:
    struct Entry
    {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void ReapLocked();
    std::mutex m_mutex;
    std::list<std::unique_ptr<Entry>> m_entries;
};

// A listening TCP socket on host:port (0 = any free port); returns the fd or -1, *bound gets
// the port. SOCK_CLOEXEC and SO_REUSEADDR are set.
int ListenTcp(const std::string& host, int port, int* bound);
// Waits up to timeoutMs for a connection; -1 when none arrived.
int AcceptWithin(int listenFd, int timeoutMs);
// Exactly len bytes, each wait bounded by timeoutMs; stop ends the wait early.
bool RecvExact(int fd, void* buf, size_t len, int timeoutMs, const std::atomic<bool>* stop);
bool SendExact(int fd, const void* buf, size_t len);
// Closes with a reset (linger 0) so the peer sees the drop at once.
void CloseReset(int fd);
// Gives the listening socket of this process on port a queue of backlog pending connections
// (listen() again on it; Linux takes the new length). The HTTP library listens with a queue of
// five: a burst of connections then loses handshakes and every lost one costs its client a
// one-second retry. False when no such socket was found.
bool WidenListenBacklog(int port, int backlog);

} // namespace vx::sim
