#include "RangeServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx::test {

namespace {

void SendAllBytes(int fd, const char* p, size_t n)
{
    while (n > 0) {
        ssize_t w = send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0)
            return;
        p += w;
        n -= static_cast<size_t>(w);
    }
}

} // namespace

CRangeServer::CRangeServer(std::string body) : m_body(std::move(body)) {}

CRangeServer::~CRangeServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        close(m_listen);
}

bool CRangeServer::Start()
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(m_listen, 16) != 0)
        return false;
    socklen_t len = sizeof(a);
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { Loop(); });
    return true;
}

std::string CRangeServer::Url(const std::string& name) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/files/" + name;
}

void CRangeServer::SetMode(Mode m, int count, size_t cutBytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mode = m;
    m_count = count;
    m_cut = cutBytes;
    m_served = 0;
}

void CRangeServer::SetBody(std::string body)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_body = std::move(body);
}

std::vector<long long> CRangeServer::RangeStarts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_starts;
}

std::vector<std::string> CRangeServer::Requests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void CRangeServer::Loop()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            Serve(fd);
            close(fd);
        }
    }
}

void CRangeServer::Serve(int fd)
{
    std::string req;
    char buf[4096];
    while (req.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0)
            return;
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0)
            return;
        req.append(buf, static_cast<size_t>(n));
    }
    long long start = -1;
    size_t r = req.find("Range: bytes=");
    if (r != std::string::npos)
        start = atoll(req.c_str() + r + 13);

    Mode mode;
    size_t cut;
    bool faulty;
    std::string body;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_starts.push_back(start);
        m_requests.push_back(req);
        mode = m_mode;
        cut = m_cut;
        faulty = m_served < m_count;
        ++m_served;
        body = m_body;
    }
    const size_t total = body.size();
    size_t from = start < 0 ? 0 : static_cast<size_t>(start);
    if (from > total)
        from = total;
    size_t len = total - from;
    if (mode == Mode::ShortLength)
        len /= 2;
    std::string head;
    if (mode == Mode::Whole200) {
        from = 0;
        len = total;
        head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(total) + "\r\n\r\n";
    } else {
        head = "HTTP/1.1 206 Partial Content\r\nContent-Type: application/octet-stream\r\n";
        if (mode != Mode::NoLength)
            head += "Content-Length: " + std::to_string(len) + "\r\n";
        size_t shownStart = mode == Mode::WrongStart ? 0 : from;
        if (mode == Mode::ZeroTotal)
            head += "Content-Range: bytes 0-0/0\r\n";
        else if (mode != Mode::NoContentRange)
            head += "Content-Range: bytes " + std::to_string(shownStart) + "-" +
                    std::to_string(from + len == 0 ? 0 : from + len - 1) + "/" + std::to_string(total) +
                    "\r\n";
        head += "\r\n";
    }
    SendAllBytes(fd, head.data(), head.size());
    if ((mode == Mode::DropFirst || mode == Mode::StallFirst || mode == Mode::WrongStart) && faulty &&
        cut < len) {
        SendAllBytes(fd, body.data() + from, cut);
        if (mode == Mode::StallFirst) {
            // Silent but open until the client gives up on us.
            for (int i = 0; i < 100 && !m_stop; ++i) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 50) > 0 && recv(fd, buf, sizeof(buf), MSG_DONTWAIT) == 0)
                    break;
            }
        }
        return;
    }
    SendAllBytes(fd, body.data() + from, len);
}

} // namespace vx::test
