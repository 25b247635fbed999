#pragma once
// Thin socket helpers: every wait is bounded, a broken connection never ends the process
// (MSG_NOSIGNAL on every send, and IgnoreSigpipe at start-up for pipes). Failed calls leave the
// system's code in LastSocketError().

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

    // TCP connect with a time-out (non-blocking connect, then poll). All later waits go through
    // poll: on POSIX the socket turns blocking again and each send and receive of this class
    // passes "don't wait"; Winsock has no such flag, so there the socket stays non-blocking.
    // errText gets a readable cause on failure.
    // With a stop flag the wait is sliced and a set flag ends it within about 100 ms.
    bool Connect(const std::string& host, uint16_t port, int timeoutMs, std::string* errText = nullptr,
                 const std::atomic<bool>* stop = nullptr);

    // The step of a connect that failed, for callers that log each step in its own words.
    enum class ConnectStep
    {
        None,
        Create,      // no socket could be made
        NonBlocking, // switching to non-blocking mode failed
        Refused,     // the connect failed at once or after the wait (code: the system's)
        Timeout,     // nothing within the time-out (or the stop flag was set)
        Blocking     // switching back to blocking mode failed (POSIX)
    };
    struct ConnectFailure
    {
        ConnectStep step = ConnectStep::None;
        int code = 0; // the system's error code
    };
    // TCP connect to a dotted IPv4 address; on failure *failure says where and why.
    bool ConnectDotted(const std::string& dotted, uint16_t port, int timeoutMs, ConnectFailure* failure,
                       const std::atomic<bool>* stop = nullptr);

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
    // SO_RCVTIMEO: the longest a blocking receive may wait.
    bool SetRecvTimeout(int ms);
    // Shuts both directions; the socket stays open until Close.
    void Shutdown();
    // Ends the sending direction only: the peer reads its end, answers still arrive.
    void ShutdownSend();
    // Closes with a reset (linger 0), so the peer sees the drop at once.
    void CloseReset();

    // Server side. A listening TCP socket on host:port (0: any free port, *bound gets the
    // number); SO_REUSEADDR is set.
    bool Listen(const std::string& host, uint16_t port, int backlog, uint16_t* bound);
    // A UDP socket bound to host:port.
    bool BindUdp(const std::string& host, uint16_t port);
    // Waits up to timeoutMs for a connection on a listening socket; an invalid socket when none.
    CSocket Accept(int timeoutMs);

    // Waits up to timeoutMs for data (readable) or buffer space (writable).
    bool WaitReadable(int timeoutMs) const;
    bool WaitWritable(int timeoutMs) const;
    // The same in steps of stepMs that watch stop: 1 ready, -1 error, -2 time-out or stopped.
    int WaitReadable(int timeoutMs, int stepMs, const std::atomic<bool>& stop) const;
    // One receive / one send as the system does it: bytes, 0 when the peer closed, -1 on an
    // error (LastSocketError()). Wait for readiness first: on Windows they do not wait.
    long ReceiveOnce(void* buf, size_t len);
    long SendOnce(const void* data, size_t len);

private:
    // One non-blocking send or receive: bytes, or -1 with *retry set when the call only needs
    // to be repeated, or kClosed when the peer reset the connection.
    static constexpr long kClosed = -2;
    long SendNow(const void* data, size_t len, bool* retry);
    long RecvNow(void* buf, size_t len, bool* retry);
    // Waits for readability (read) or writability: 1 ready, 0 time-out, -1 error.
    int Poll(bool read, int timeoutMs) const;

    int m_fd = -1;
};

// Waits on one socket; true when ready within timeoutMs.
inline bool WaitReadable(const CSocket& s, int timeoutMs)
{
    return s.WaitReadable(timeoutMs);
}
inline bool WaitWritable(const CSocket& s, int timeoutMs)
{
    return s.WaitWritable(timeoutMs);
}

// Gives a listening socket of this process on port (one a library keeps to itself) a queue of
// backlog pending connections: listen() again on it, which Linux takes as the new length.
// False when no such socket was found. (On Windows the library is built with that queue.)
bool WidenListenQueue(uint16_t port, int backlog);

// The system's code of the last failed socket call on this thread (errno values; the Windows
// side maps the common Winsock codes onto them) and its text.
int LastSocketError();
std::string SocketErrorText(int code);

// An IPv4 address in dotted notation as its 32-bit value in network order; false when text is
// no such address.
bool ParseIpv4(const std::string& text, uint32_t* networkOrder);
inline bool IsDottedIPv4(const std::string& text)
{
    uint32_t v;
    return ParseIpv4(text, &v);
}

// Resolves a host name (or dotted address) to the first IPv4 address in dotted notation.
bool ResolveHost(const std::string& name, std::string* dotted);

// Makes a broken pipe an error return instead of a signal; idempotent. On Windows it also
// starts the sockets library (there is no such signal there).
void IgnoreSigpipe();

} // namespace vx
