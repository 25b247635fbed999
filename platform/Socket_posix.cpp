#include "platform/Socket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx {

namespace {

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

} // namespace

void CSocket::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

int CSocket::Poll(bool read, int timeoutMs) const
{
    pollfd p{m_fd, static_cast<short>(read ? POLLIN : POLLOUT), 0};
    for (;;) {
        int r = poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        return r;
    }
}

long CSocket::SendNow(const void* data, size_t len, bool* retry)
{
    ssize_t n = ::send(m_fd, data, len, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0)
        return static_cast<long>(n);
    *retry = errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
    return (errno == EPIPE || errno == ECONNRESET) ? kClosed : -1;
}

long CSocket::RecvNow(void* buf, size_t len, bool* retry)
{
    ssize_t n = ::recv(m_fd, buf, len, MSG_DONTWAIT);
    if (n >= 0)
        return static_cast<long>(n);
    *retry = errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
    return errno == ECONNRESET ? kClosed : -1;
}

long CSocket::ReceiveOnce(void* buf, size_t len)
{
    return static_cast<long>(::recv(m_fd, buf, len, 0));
}

long CSocket::SendOnce(const void* data, size_t len)
{
    return static_cast<long>(::send(m_fd, data, len, MSG_NOSIGNAL));
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
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail(ConnectStep::Create, errno);
    m_fd = fd;
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        int code = errno;
        Close();
        return fail(ConnectStep::NonBlocking, code);
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0) {
        int err = errno;
        if (err != EINPROGRESS) {
            Close();
            return fail(ConnectStep::Refused, err);
        }
        bool ready = false;
        if (stop) {
            for (int waited = 0; !ready && !stop->load() && waited < timeoutMs; waited += 100)
                ready = Poll(false, std::min(100, timeoutMs - waited)) > 0;
        } else {
            ready = Poll(false, timeoutMs) > 0;
        }
        if (!ready) {
            Close();
            return fail(ConnectStep::Timeout, ETIMEDOUT);
        }
        socklen_t len = sizeof(err);
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            err = errno;
        if (err != 0) {
            Close();
            return fail(ConnectStep::Refused, err);
        }
    }
    if (fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        int code = errno;
        Close();
        return fail(ConnectStep::Blocking, code);
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    return true;
}

bool CSocket::OpenUdp()
{
    Close();
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return m_fd >= 0;
}

bool CSocket::SendTo(const std::string& host, uint16_t port, const void* data, size_t len)
{
    sockaddr_in sa;
    if (!ToSockAddr(host, port, &sa))
        return false;
    ssize_t n = ::sendto(m_fd, data, len, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    return n == static_cast<ssize_t>(len);
}

SockResult CSocket::RecvFrom(void* buf, size_t len, int timeoutMs, size_t* got, std::string* fromHost,
                             uint16_t* fromPort)
{
    *got = 0;
    if (Poll(true, timeoutMs) <= 0)
        return SockResult::Timeout;
    sockaddr_in sa;
    socklen_t slen = sizeof(sa);
    ssize_t n = ::recvfrom(m_fd, buf, len, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sa), &slen);
    if (n < 0)
        return SockResult::Error;
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
    linger l{on ? 1 : 0, seconds};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
}

bool CSocket::SetRecvTimeout(int ms)
{
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv)) == 0;
}

void CSocket::Shutdown()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

bool CSocket::Listen(const std::string& host, uint16_t port, int backlog, uint16_t* bound)
{
    Close();
    sockaddr_in a;
    if (!MakeAddress(host, port, &a))
        return false;
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    int one = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(m_fd, backlog) != 0) {
        Close();
        return false;
    }
    socklen_t len = sizeof(a);
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
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
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        Close();
        return false;
    }
    return true;
}

CSocket CSocket::Accept(int timeoutMs)
{
    if (Poll(true, timeoutMs) <= 0)
        return CSocket();
    return CSocket(accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC));
}

bool WidenListenQueue(uint16_t port, int backlog)
{
    // The library keeps its socket to itself: find it among our descriptors by what it is.
    const long max = sysconf(_SC_OPEN_MAX);
    const int last = static_cast<int>(max > 0 ? max : 1024);
    for (int fd = 3; fd < last && fd < 65536; ++fd) {
        int listening = 0;
        socklen_t len = sizeof(listening);
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) != 0 || !listening)
            continue;
        sockaddr_in a{};
        socklen_t alen = sizeof(a);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &alen) == 0 && a.sin_family == AF_INET &&
            ntohs(a.sin_port) == port)
            return listen(fd, backlog) == 0;
    }
    return false;
}

int LastSocketError()
{
    return errno;
}

std::string SocketErrorText(int code)
{
    return strerror(code);
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
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0 || !res)
        return false;
    char text[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr, text, sizeof(text));
    freeaddrinfo(res);
    *dotted = text;
    return true;
}

void IgnoreSigpipe()
{
    signal(SIGPIPE, SIG_IGN);
}

} // namespace vx
