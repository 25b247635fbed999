#include "unit/net/TinyServer.h"

namespace vx::test {

CTinyServer::CTinyServer(Script script) : m_script(std::move(script))
{
    m_server.Start([this](int fd) { Serve(fd); });
}

CTinyServer::CTinyServer(const std::string& answer)
    : CTinyServer([answer](int fd, const std::string&) { Send(fd, answer); })
{
}

CTinyServer::~CTinyServer()
{
    m_server.Stop();
}

std::string CTinyServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(Port()) + path;
}

std::vector<std::string> CTinyServer::Requests()
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_requests;
}

void CTinyServer::Send(int fd, const std::string& bytes)
{
    SendAllBytes(fd, bytes);
}

void CTinyServer::Pause(int ms)
{
    PauseMs(ms);
}

// The head, then as much body as its Content-Length announces (what came when the client stalls).
std::string CTinyServer::ReadRequest(int fd)
{
    std::string req;
    if (!RecvUntil(fd, &req, "\r\n\r\n", 5000))
        return req;
    size_t headEnd = req.find("\r\n\r\n");
    size_t cl = req.find("Content-Length: ");
    if (cl != std::string::npos && cl < headEnd)
        RecvAtLeast(fd, &req, headEnd + 4 + std::stoul(req.substr(cl + 16)), 5000);
    return req;
}

void CTinyServer::Serve(int fd)
{
    std::string req = ReadRequest(fd);
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_requests.push_back(req);
    }
    m_script(fd, req);
    ShutdownBoth(fd);
}

} // namespace vx::test
