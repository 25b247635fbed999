// Included as it stands by fuzz/http_response.cpp (fuzz/run builds each target from one
// source), hence the plain include and no dependency beyond the system's sockets (POSIX, or
// Winsock for the Windows tests: descriptors are then socket handles, which fit an int).
#include "LoopbackServer.h"

#include <algorithm>
#include <chrono>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vx::test {

namespace {

#ifdef _WIN32
using socklen_t = int;
constexpr int SOCK_CLOEXEC = 0;
constexpr int MSG_NOSIGNAL = 0;
constexpr int MSG_DONTWAIT = 0; // every receive here follows a readiness check

SOCKET S(int fd)
{
    return static_cast<SOCKET>(static_cast<intptr_t>(fd));
}

int socket(int domain, int type, int protocol)
{
    SOCKET s = ::socket(domain, type, protocol);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(static_cast<intptr_t>(s));
}

int close(int fd)
{
    return closesocket(S(fd));
}

int poll(pollfd* p, unsigned long n, int timeoutMs)
{
    return WSAPoll(p, n, timeoutMs);
}

int setsockopt(int fd, int level, int name, const void* v, int len)
{
    return ::setsockopt(S(fd), level, name, static_cast<const char*>(v), len);
}

int bind(int fd, const sockaddr* a, int len)
{
    return ::bind(S(fd), a, len);
}

int listen(int fd, int backlog)
{
    return ::listen(S(fd), backlog);
}

int getsockname(int fd, sockaddr* a, int* len)
{
    return ::getsockname(S(fd), a, len);
}

long send(int fd, const void* p, size_t len, int flags)
{
    return ::send(S(fd), static_cast<const char*>(p), static_cast<int>(len), flags);
}

long recv(int fd, void* p, size_t len, int flags)
{
    return ::recv(S(fd), static_cast<char*>(p), static_cast<int>(len), flags);
}

int accept4(int fd, sockaddr* a, int* len, int)
{
    SOCKET s = ::accept(S(fd), a, len);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(static_cast<intptr_t>(s));
}

pollfd PollIn(int fd)
{
    pollfd p{};
    p.fd = S(fd);
    p.events = POLLRDNORM;
    return p;
}
#else
pollfd PollIn(int fd)
{
    return pollfd{fd, POLLIN, 0};
}
#endif

// Waits up to quietMs for input and appends what is there; false on time-out, close or error.
bool RecvMore(int fd, std::string* out, int quietMs)
{
    pollfd p = PollIn(fd);
    if (poll(&p, 1, quietMs) <= 0)
        return false;
    char buf[65536];
    long n = recv(fd, buf, sizeof(buf), 0);
    if (n <= 0)
        return false;
    out->append(buf, static_cast<size_t>(n));
    return true;
}

} // namespace

int ListenOnLoopback(uint16_t* port, int rcvBuf)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (rcvBuf > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvBuf, sizeof(rcvBuf));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(sa);
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(sa.sin_port);
    return fd;
}

uint16_t UnusedLoopbackPort()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    socklen_t len = sizeof(sa);
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    close(fd);
    return ntohs(sa.sin_port);
}

bool SendAllBytes(int fd, const void* data, size_t len)
{
    const char* p = static_cast<const char*>(data);
    while (len > 0) {
        long n = send(fd, p, len, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool SendAllBytes(int fd, const std::string& bytes)
{
    return SendAllBytes(fd, bytes.data(), bytes.size());
}

bool RecvExact(int fd, std::string* out, size_t n, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    out->clear();
    char buf[65536];
    while (out->size() < n) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0)
            return false;
        pollfd p = PollIn(fd);
        if (poll(&p, 1, left) <= 0)
            return false;
        long r = recv(fd, buf, std::min(sizeof(buf), n - out->size()), 0);
        if (r <= 0)
            return false;
        out->append(buf, static_cast<size_t>(r));
    }
    return true;
}

bool RecvAtLeast(int fd, std::string* out, size_t n, int quietMs)
{
    while (out->size() < n)
        if (!RecvMore(fd, out, quietMs))
            return false;
    return true;
}

bool RecvUntil(int fd, std::string* out, const std::string& marker, int quietMs)
{
    while (out->find(marker) == std::string::npos)
        if (!RecvMore(fd, out, quietMs))
            return false;
    return true;
}

std::string RecvUntilQuiet(int fd, int quietMs)
{
    std::string out;
    while (RecvMore(fd, &out, quietMs)) {
    }
    return out;
}

void HoldUntilPeerCloses(int fd, int maxMs, const std::atomic<bool>& stop)
{
    char buf[4096];
    for (int waited = 0; waited < maxMs && !stop; waited += 50) {
        pollfd p = PollIn(fd);
        if (poll(&p, 1, 50) > 0 && recv(fd, buf, sizeof(buf), MSG_DONTWAIT) <= 0)
            return;
    }
}

void ShutdownBoth(int fd)
{
#ifdef _WIN32
    ::shutdown(S(fd), SD_BOTH);
#else
    shutdown(fd, SHUT_RDWR);
#endif
}

void PauseMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

CLoopbackServer::~CLoopbackServer()
{
    Stop();
}

bool CLoopbackServer::Start(Handler handler, Dispatch dispatch, int rcvBuf)
{
    m_listen = ListenOnLoopback(&m_port, rcvBuf);
    if (m_listen < 0)
        return false;
    m_handler = std::move(handler);
    m_dispatch = dispatch;
    m_thread = std::thread([this] { AcceptLoop(); });
    return true;
}

void CLoopbackServer::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (auto& t : m_workers)
        t.join();
    m_workers.clear();
    if (m_listen >= 0)
        close(m_listen);
    m_listen = -1;
}

void CLoopbackServer::AcceptLoop()
{
    while (!m_stop) {
        pollfd p = PollIn(m_listen);
        if (poll(&p, 1, 50) <= 0)
            continue;
        int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_connections;
        auto serve = [this, fd] {
            m_handler(fd);
            close(fd);
        };
        if (m_dispatch == Dispatch::OnAcceptThread)
            serve();
        else
            m_workers.emplace_back(serve);
    }
}

} // namespace vx::test
