// Included as it stands by fuzz/http_response.cpp (fuzz/run builds each target from one
// source), hence the plain include and no dependency beyond POSIX.
#include "LoopbackServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx::test {

namespace {

// Waits up to quietMs for input and appends what is there; false on time-out, close or error.
bool RecvMore(int fd, std::string* out, int quietMs)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, quietMs) <= 0)
        return false;
    char buf[65536];
    ssize_t n = recv(fd, buf, sizeof(buf), 0);
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
        ssize_t n = send(fd, p, len, MSG_NOSIGNAL);
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
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, left) <= 0)
            return false;
        ssize_t r = recv(fd, buf, std::min(sizeof(buf), n - out->size()), 0);
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
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0 && recv(fd, buf, sizeof(buf), MSG_DONTWAIT) <= 0)
            return;
    }
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
        pollfd p{m_listen, POLLIN, 0};
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
