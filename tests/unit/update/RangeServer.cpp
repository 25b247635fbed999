#include "RangeServer.h"

#include <cstdlib>

namespace vx::test {

CRangeServer::CRangeServer(std::string body) : m_body(std::move(body)) {}

CRangeServer::~CRangeServer()
{
    m_server.Stop();
}

// Connections are served one after the other on the accept thread.
bool CRangeServer::Start()
{
    return m_server.Start([this](int fd) { Serve(fd); }, CLoopbackServer::Dispatch::OnAcceptThread);
}

std::string CRangeServer::Url(const std::string& name) const
{
    return "http://127.0.0.1:" + std::to_string(Port()) + "/files/" + name;
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

void CRangeServer::Serve(int fd)
{
    std::string req;
    if (!RecvUntil(fd, &req, "\r\n\r\n", 2000))
        return;
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
    SendAllBytes(fd, head);
    if ((mode == Mode::DropFirst || mode == Mode::StallFirst || mode == Mode::WrongStart) && faulty &&
        cut < len) {
        SendAllBytes(fd, body.data() + from, cut);
        if (mode == Mode::StallFirst) // silent but open until the client gives up on us
            HoldUntilPeerCloses(fd, 5000, m_server.Stopping());
        return;
    }
    SendAllBytes(fd, body.data() + from, len);
}

} // namespace vx::test
