#pragma once
// Thin POSIX socket helpers: every wait is bounded, SIGPIPE never ends the process
// (MSG_NOSIGNAL on every send, and IgnoreSigpipe at start-up for pipes).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vx {

// Result of a bounded socket wait or transfer.
enum class SockResult
{
    Ok,
    Timeout,
    Closed,
    Error
};

// Owns one socket descriptor; closes it on destruction.
class CSocket
{
public:
    CSocket() = default;
    explicit CSocket(int fd) : m_fd(fd) {}
    ~CSocket() { Close(); }
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;
    CSocket(CSocket&& o) noexcept : m_fd(o.Release()) {}
    CSocket& operator=(CSocket&& o) noexcept;

    int Fd() const { return m_fd; }
    bool IsValid() const { return m_fd >= 0; }
    int Release();
    void Close();

    // TCP connect with a time-out (non-blocking connect, then poll). The socket stays blocking
    // afterwards; all later waits go through poll. errText gets a readable cause on failure.
    bool Connect(const std::string& host, uint16_t port, int timeoutMs, std::string* errText = nullptr);

    // Sends everything, each wait for buffer space bounded by timeoutMs. With a stop flag the
    // waits are sliced, so a set flag ends a stalled send within about 100 ms (result Timeout).
    SockResult SendAll(const void* data, size_t len, int timeoutMs, const std::atomic<bool>* stop = nullptr);
    // Waits up to timeoutMs for data, then reads what is there (at most len). *got = bytes read.
    SockResult RecvSome(void* buf, size_t len, int timeoutMs, size_t* got);
    // Reads exactly len bytes; each wait bounded by timeoutMs.
    SockResult RecvAll(void* buf, size_t len, int timeoutMs);

    // UDP: opens an unconnected datagram socket.
    bool OpenUdp();
    bool SendTo(const std::string& host, uint16_t port, const void* data, size_t len);
    // Waits up to timeoutMs for one datagram. fromHost/fromPort get the sender.
    SockResult RecvFrom(void* buf, size_t len, int timeoutMs, size_t* got, std::string* fromHost,
                        uint16_t* fromPort);

    // SO_LINGER with the given seconds (0 = reset on close).
    void SetLinger(bool on, int seconds);

private:
    int m_fd = -1;
};

// poll() on one descriptor; true when ready within timeoutMs.
bool WaitReadable(int fd, int timeoutMs);
bool WaitWritable(int fd, int timeoutMs);

// Resolves a host name (or dotted address) to the first IPv4 address in dotted notation.
bool ResolveHost(const std::string& name, std::string* dotted);

// Makes a broken pipe an error return instead of a signal; idempotent.
void IgnoreSigpipe();

} // namespace vx
