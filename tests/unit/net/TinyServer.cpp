#include "unit/net/TinyServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx::test {

CTinyServer::CTinyServer(Script script) : m_script(std::move(script))
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listen, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    listen(m_listen, 16);
    socklen_t len = sizeof(sa);
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&sa), &len);
    m_port = ntohs(sa.sin_port);
    m_thread = std::thread([this] { Run(); });
}

CTinyServer::CTinyServer(const std::string& answer)
    : CTinyServer([answer](int fd, const std::string&) { Send(fd, answer); })
{
}

CTinyServer::~CTinyServer()
{
    m_stop = true;
    m_thread.join();
    for (auto& t : m_workers)
        t.join();
    close(m_listen);
}

std::string CTinyServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> CTinyServer::Requests()
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_requests;
}

void CTinyServer::Send(int fd, const std::string& bytes)
{
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        off += static_cast<size_t>(n);
    }
}

void CTinyServer::Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string CTinyServer::ReadRequest(int fd)
{
    std::string req;
    char buf[4096];
    size_t headEnd = std::string::npos;
    size_t want = 0;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            break;
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0)
            break;
        req.append(buf, static_cast<size_t>(n));
        if (headEnd == std::string::npos && (headEnd = req.find("\r\n\r\n")) != std::string::npos) {
            size_t cl = req.find("Content-Length: ");
            want =
                headEnd + 4 + (cl != std::string::npos && cl < headEnd ? std::stoul(req.substr(cl + 16)) : 0);
        }
        if (headEnd != std::string::npos && req.size() >= want)
            break;
    }
    return req;
}

void CTinyServer::Run()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_connections;
        m_workers.emplace_back([this, fd] {
            std::string req = ReadRequest(fd);
            {
                std::lock_guard<std::mutex> g(m_lock);
                m_requests.push_back(req);
            }
            m_script(fd, req);
            shutdown(fd, SHUT_RDWR);
            close(fd);
        });
    }
}

} // namespace vx::test
