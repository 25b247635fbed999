#include "platform/Socket.h"

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

bool PollFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    for (;;) {
        int r = poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        return r > 0;
    }
}

bool ToSockAddr(const std::string& host, uint16_t port, sockaddr_in* sa)
{
    std::string dotted;
    if (!ResolveHost(host, &dotted))
        return false;
    memset(sa, 0, sizeof(*sa));
    sa->sin_family = AF_INET;
    sa->sin_port = htons(port);
    return inet_pton(AF_INET, dotted.c_str(), &sa->sin_addr) == 1;
}

} // namespace

CSocket& CSocket::operator=(CSocket&& o) noexcept
{
    if (this != &o) {
        Close();
        m_fd = o.Release();
    }
    return *this;
}

int CSocket::Release()
{
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

void CSocket::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CSocket::Connect(const std::string& host, uint16_t port, int timeoutMs, std::string* errText)
{
    Close();
    sockaddr_in sa;
    if (!ToSockAddr(host, port, &sa)) {
        if (errText)
            *errText = "cannot resolve host " + host;
        return false;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (errText)
            *errText = strerror(errno);
        return false;
    }
    int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int r = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    int err = 0;
    if (r != 0) {
        if (errno != EINPROGRESS) {
            err = errno;
        } else if (!PollFor(fd, POLLOUT, timeoutMs)) {
            err = ETIMEDOUT;
        } else {
            socklen_t len = sizeof(err);
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        }
    }
    if (err != 0) {
        ::close(fd);
        if (errText)
            *errText = std::string(err == ETIMEDOUT ? "connection timed out" : strerror(err)) + " at " +
                       host + ":" + std::to_string(port);
        return false;
    }
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    m_fd = fd;
    return true;
}

SockResult CSocket::SendAll(const void* data, size_t len, int timeoutMs, const std::atomic<bool>* stop)
{
    const char* p = static_cast<const char*>(data);
    while (len > 0) {
        if (stop) {
            int waited = 0;
            while (!PollFor(m_fd, POLLOUT, 100)) {
                waited += 100;
                if (stop->load() || (timeoutMs >= 0 && waited >= timeoutMs))
                    return SockResult::Timeout;
            }
            if (stop->load())
                return SockResult::Timeout;
        } else if (!PollFor(m_fd, POLLOUT, timeoutMs)) {
            return SockResult::Timeout;
        }
        ssize_t n = ::send(m_fd, p, len, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return (errno == EPIPE || errno == ECONNRESET) ? SockResult::Closed : SockResult::Error;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return SockResult::Ok;
}

SockResult CSocket::RecvSome(void* buf, size_t len, int timeoutMs, size_t* got)
{
    *got = 0;
    for (;;) {
        if (!PollFor(m_fd, POLLIN, timeoutMs))
            return SockResult::Timeout;
        ssize_t n = ::recv(m_fd, buf, len, MSG_DONTWAIT);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return SockResult::Ok;
        }
        if (n == 0)
            return SockResult::Closed;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            continue;
        return errno == ECONNRESET ? SockResult::Closed : SockResult::Error;
    }
}

SockResult CSocket::RecvAll(void* buf, size_t len, int timeoutMs)
{
    char* p = static_cast<char*>(buf);
    while (len > 0) {
        size_t got = 0;
        SockResult r = RecvSome(p, len, timeoutMs, &got);
        if (r != SockResult::Ok)
            return r;
        p += got;
        len -= got;
    }
    return SockResult::Ok;
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
    if (!PollFor(m_fd, POLLIN, timeoutMs))
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

bool WaitReadable(int fd, int timeoutMs)
{
    return PollFor(fd, POLLIN, timeoutMs);
}

bool WaitWritable(int fd, int timeoutMs)
{
    return PollFor(fd, POLLOUT, timeoutMs);
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
