#include "platform/Socket.h"

#include "platform/Win32Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mswsock.h>
#include <mutex>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace vx {

namespace {

// Sockets need the library started once per process; every entry point that makes a socket
// or resolves a name makes sure of it.
void StartSockets()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SOCKET Handle(int fd)
{
    return fd < 0 ? INVALID_SOCKET : static_cast<SOCKET>(static_cast<intptr_t>(fd));
}

// Winsock handles are 32-bit significant (as every kernel handle), so they fit our int.
int FromHandle(SOCKET s)
{
    return s == INVALID_SOCKET ? -1 : static_cast<int>(static_cast<intptr_t>(s));
}

// Records the Winsock error as errno (what callers log) and returns it.
int SaveError()
{
    int code = win::ErrnoOf(static_cast<DWORD>(WSAGetLastError()));
    errno = code;
    return code;
}

bool MakeAddress(const std::string& dotted, uint16_t port, sockaddr_in* sa)
{
    memset(sa, 0, sizeof(*sa));
    sa->sin_family = AF_INET;
    sa->sin_port = htons(port);
    return inet_pton(AF_INET, dotted.c_str(), &sa->sin_addr) == 1;
}

bool ToSockAddr(const std::string& host, uint16_t port, sockaddr_in* sa)
{
    std::string dotted;
    return ResolveHost(host, &dotted) && MakeAddress(dotted, port, sa);
}

bool SetBlocking(SOCKET s, bool blocking)
{
    u_long mode = blocking ? 0 : 1;
    return ioctlsocket(s, FIONBIO, &mode) == 0;
}

SOCKET NewSocket(int type)
{
    StartSockets();
    SOCKET s = WSASocketW(AF_INET, type, type == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP, nullptr, 0,
                          WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        SaveError();
    return s;
}

} // namespace

void CSocket::Close()
{
    if (m_fd >= 0) {
        closesocket(Handle(m_fd));
        m_fd = -1;
    }
}

int CSocket::Poll(bool read, int timeoutMs) const
{
    WSAPOLLFD p{};
    p.fd = Handle(m_fd);
    p.events = read ? POLLRDNORM : POLLWRNORM;
    int r = WSAPoll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (r < 0) {
        SaveError();
        return -1;
    }
    // A closed or failed connection is "ready": the next call reports what happened.
    return r > 0 ? 1 : 0;
}

long CSocket::SendNow(const void* data, size_t len, bool* retry)
{
    // Connected sockets are non-blocking here: this takes what fits and returns at once.
    int chunk = static_cast<int>(std::min<size_t>(len, 1 << 30));
    int n = ::send(Handle(m_fd), static_cast<const char*>(data), chunk, 0);
    if (n >= 0)
        return n;
    int code = SaveError();
    *retry = code == EWOULDBLOCK || code == EINTR;
    return (code == EPIPE || code == ECONNRESET) ? kClosed : -1;
}

long CSocket::RecvNow(void* buf, size_t len, bool* retry)
{
    // Readiness was seen first, so this receive does not block.
    int chunk = static_cast<int>(std::min<size_t>(len, 1 << 30));
    int n = ::recv(Handle(m_fd), static_cast<char*>(buf), chunk, 0);
    if (n >= 0)
        return n;
    int code = SaveError();
    *retry = code == EWOULDBLOCK || code == EINTR;
    return code == ECONNRESET ? kClosed : -1;
}

long CSocket::ReceiveOnce(void* buf, size_t len)
{
    int n =
        ::recv(Handle(m_fd), static_cast<char*>(buf), static_cast<int>(std::min<size_t>(len, 1 << 30)), 0);
    if (n < 0)
        SaveError();
    return n;
}

long CSocket::SendOnce(const void* data, size_t len)
{
    int n = ::send(Handle(m_fd), static_cast<const char*>(data),
                   static_cast<int>(std::min<size_t>(len, 1 << 30)), 0);
    if (n < 0)
        SaveError();
    return n;
}

bool CSocket::ConnectDotted(const std::string& dotted, uint16_t port, int timeoutMs, ConnectFailure* failure,
                            const std::atomic<bool>* stop)
{
    Close();
    auto fail = [failure](ConnectStep step, int code) {
        failure->step = step;
        failure->code = code;
        return false;
    };
    sockaddr_in sa;
    if (!MakeAddress(dotted, port, &sa))
        return fail(ConnectStep::Refused, EINVAL);
    SOCKET s = NewSocket(SOCK_STREAM);
    if (s == INVALID_SOCKET)
        return fail(ConnectStep::Create, errno);
    m_fd = FromHandle(s);
    if (!SetBlocking(s, false)) {
        int code = SaveError();
        Close();
        return fail(ConnectStep::NonBlocking, code);
    }
    if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0) {
        int code = SaveError();
        if (code != EWOULDBLOCK && code != EINPROGRESS) {
            Close();
            return fail(ConnectStep::Refused, code);
        }
        // A refused connect shows as writable-with-error in poll, or as an exception in select:
        // select reports both, so the error is read back either way.
        bool ready = false;
        auto waitOnce = [&](int ms) {
            fd_set wr, ex;
            FD_ZERO(&wr);
            FD_ZERO(&ex);
            FD_SET(s, &wr);
            FD_SET(s, &ex);
            timeval tv{ms / 1000, (ms % 1000) * 1000};
            return select(0, nullptr, &wr, &ex, &tv) > 0;
        };
        if (stop) {
            for (int waited = 0; !ready && !stop->load() && waited < timeoutMs; waited += 100)
                ready = waitOnce(std::min(100, timeoutMs - waited));
        } else {
            ready = waitOnce(std::max(timeoutMs, 0));
        }
        if (!ready) {
            Close();
            return fail(ConnectStep::Timeout, ETIMEDOUT);
        }
        int err = 0;
        int len = sizeof(err);
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
            err = WSAGetLastError();
        if (err != 0) {
            int code = win::ErrnoOf(static_cast<DWORD>(err));
            errno = code;
            Close();
            return fail(ConnectStep::Refused, code);
        }
    }
    // The socket stays non-blocking: Winsock has no per-call "don't wait" flag, and a blocking
    // send of a large buffer waits until all of it is taken, past every stop flag and stall limit.
    // Every wait goes through poll instead.
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof(one));
    return true;
}

bool CSocket::OpenUdp()
{
    Close();
    SOCKET s = NewSocket(SOCK_DGRAM);
    m_fd = FromHandle(s);
    return m_fd >= 0;
}

bool CSocket::SendTo(const std::string& host, uint16_t port, const void* data, size_t len)
{
    sockaddr_in sa;
    if (!ToSockAddr(host, port, &sa))
        return false;
    int n = ::sendto(Handle(m_fd), static_cast<const char*>(data), static_cast<int>(len), 0,
                     reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    if (n < 0)
        SaveError();
    return n == static_cast<int>(len);
}

SockResult CSocket::RecvFrom(void* buf, size_t len, int timeoutMs, size_t* got, std::string* fromHost,
                             uint16_t* fromPort)
{
    *got = 0;
    if (Poll(true, timeoutMs) <= 0)
        return SockResult::Timeout;
    sockaddr_in sa;
    int slen = sizeof(sa);
    int n = ::recvfrom(Handle(m_fd), static_cast<char*>(buf), static_cast<int>(len), 0,
                       reinterpret_cast<sockaddr*>(&sa), &slen);
    if (n < 0) {
        // A datagram larger than the buffer is cut, which is what the callers expect.
        if (WSAGetLastError() == WSAEMSGSIZE) {
            n = static_cast<int>(len);
        } else {
            SaveError();
            return SockResult::Error;
        }
    }
    *got = static_cast<size_t>(n);
    if (fromHost) {
        char text[INET_ADDRSTRLEN] = {0};
        inet_ntop(AF_INET, &sa.sin_addr, text, sizeof(text));
        *fromHost = text;
    }
    if (fromPort)
        *fromPort = ntohs(sa.sin_port);
    return SockResult::Ok;
}

void CSocket::SetLinger(bool on, int seconds)
{
    linger l{static_cast<u_short>(on ? 1 : 0), static_cast<u_short>(seconds)};
    setsockopt(Handle(m_fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof(l));
}

bool CSocket::SetRecvTimeout(int ms)
{
    DWORD v = static_cast<DWORD>(ms);
    if (setsockopt(Handle(m_fd), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&v), sizeof(v)) !=
        0) {
        SaveError();
        return false;
    }
    return true;
}

void CSocket::Shutdown()
{
    if (m_fd >= 0)
        ::shutdown(Handle(m_fd), SD_BOTH);
}

void CSocket::ShutdownSend()
{
    if (m_fd >= 0)
        ::shutdown(Handle(m_fd), SD_SEND);
}

bool CSocket::Listen(const std::string& host, uint16_t port, int backlog, uint16_t* bound)
{
    Close();
    sockaddr_in a;
    if (!MakeAddress(host, port, &a))
        return false;
    SOCKET s = NewSocket(SOCK_STREAM);
    if (s == INVALID_SOCKET)
        return false;
    m_fd = FromHandle(s);
    // Windows lets a second program bind a port taken with SO_REUSEADDR; exclusive use is
    // what SO_REUSEADDR means for a listener on Linux.
    BOOL one = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof(one));
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(s, backlog) != 0) {
        SaveError();
        Close();
        return false;
    }
    int len = sizeof(a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    if (bound)
        *bound = ntohs(a.sin_port);
    return true;
}

bool CSocket::BindUdp(const std::string& host, uint16_t port)
{
    Close();
    sockaddr_in a;
    if (!MakeAddress(host, port, &a))
        return false;
    SOCKET s = NewSocket(SOCK_DGRAM);
    if (s == INVALID_SOCKET)
        return false;
    m_fd = FromHandle(s);
    // A datagram sent to a closed port must not fail the next receive with a reset.
    BOOL off = FALSE;
    DWORD ret = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof(off), nullptr, 0, &ret, nullptr, nullptr);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        SaveError();
        Close();
        return false;
    }
    return true;
}

CSocket CSocket::Accept(int timeoutMs)
{
    if (Poll(true, timeoutMs) <= 0)
        return CSocket();
    SOCKET s = accept(Handle(m_fd), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        SaveError();
        return CSocket();
    }
    // An accepted socket inherits the listener's non-inheritable flag; make sure. Like a
    // connected one it is non-blocking, so sends and receives only ever wait in poll.
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    CSocket accepted(FromHandle(s));
    if (!SetBlocking(s, false)) {
        SaveError();
        return CSocket();
    }
    return accepted;
}

bool WidenListenQueue(uint16_t, int)
{
    return true; // the HTTP library is compiled in here, with CPPHTTPLIB_LISTEN_BACKLOG
}

int LastSocketError()
{
    return errno;
}

std::string SocketErrorText(int code)
{
    switch (code) {
    case ECONNREFUSED:
        return "Connection refused";
    case ETIMEDOUT:
        return "Connection timed out";
    case ECONNRESET:
        return "Connection reset by peer";
    case ENETUNREACH:
        return "Network is unreachable";
    case EHOSTUNREACH:
        return "No route to host";
    case EADDRINUSE:
        return "Address already in use";
    default:
        return strerror(code);
    }
}

bool ParseIpv4(const std::string& text, uint32_t* networkOrder)
{
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1)
        return false;
    *networkOrder = a.s_addr;
    return true;
}

bool ResolveHost(const std::string& name, std::string* dotted)
{
    if (name.empty())
        return false;
    in_addr a;
    if (inet_pton(AF_INET, name.c_str(), &a) == 1) {
        *dotted = name;
        return true;
    }
    StartSockets();
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* res = nullptr;
    if (GetAddrInfoW(win::Wide(name).c_str(), nullptr, &hints, &res) != 0 || !res) {
        SaveError();
        return false;
    }
    char text[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr, text, sizeof(text));
    FreeAddrInfoW(res);
    *dotted = text;
    return true;
}

void IgnoreSigpipe()
{
    // Sends on Windows never raise a signal; this is the one early call every program makes,
    // so the sockets library starts here.
    StartSockets();
}

} // namespace vx
