#include "sim/ConnThreads.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx::sim {

void CConnThreads::ReapLocked()
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

void CConnThreads::Spawn(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ReapLocked();
    auto e = std::make_unique<Entry>();
    Entry* raw = e.get();
    raw->thread = std::thread([raw, fn = std::move(fn)] {
        fn();
        raw->done = true;
    });
    m_entries.push_back(std::move(e));
}

void CConnThreads::JoinAll()
{
    std::list<std::unique_ptr<Entry>> all;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        all.swap(m_entries);
    }
    for (auto& e : all)
        if (e->thread.joinable())
            e->thread.join();
}

int ListenTcp(const std::string& host, int port, int* bound)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    socklen_t len = sizeof(a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    *bound = ntohs(a.sin_port);
    return fd;
}

int AcceptWithin(int listenFd, int timeoutMs)
{
    pollfd p{listenFd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return -1;
    return accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
}

bool RecvExact(int fd, void* buf, size_t len, int timeoutMs, const std::atomic<bool>* stop)
{
    auto* p = static_cast<uint8_t*>(buf);
    size_t got = 0;
    int waited = 0;
    while (got < len) {
        if (stop && *stop)
            return false;
        pollfd pf{fd, POLLIN, 0};
        int r = poll(&pf, 1, 200);
        if (r < 0 && errno != EINTR)
            return false;
        if (r <= 0) {
            waited += 200;
            if (waited >= timeoutMs)
                return false;
            continue;
        }
        ssize_t n = recv(fd, p + got, len - got, 0);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
        waited = 0;
    }
    return true;
}

bool SendExact(int fd, const void* buf, size_t len)
{
    const auto* p = static_cast<const uint8_t*>(buf);
    while (len > 0) {
        ssize_t n = send(fd, p, len, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return false;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool WidenListenBacklog(int port, int backlog)
{
    // The library keeps its socket to itself: find it among our descriptors by what it is.
    const int last = static_cast<int>(sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024);
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

void CloseReset(int fd)
{
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
    close(fd);
}

} // namespace vx::sim
