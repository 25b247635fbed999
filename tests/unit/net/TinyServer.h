#pragma once
// A tiny scripted TCP server on 127.0.0.1 for the HTTP client tests: each accepted connection
// gets its request read (head and Content-Length body) and is then handed to the script, which
// writes whatever raw bytes the test wants, pauses, or stays silent.

#include "common/LoopbackServer.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vx::test {

class CTinyServer
{
public:
    // script(fd, request): answers one connection; the connection is closed after it returns.
    using Script = std::function<void(int fd, const std::string& request)>;

    explicit CTinyServer(Script script);
    // A fixed raw answer for every connection.
    explicit CTinyServer(const std::string& answer);
    ~CTinyServer();
    CTinyServer(const CTinyServer&) = delete;
    CTinyServer& operator=(const CTinyServer&) = delete;

    int Port() const { return m_server.Port(); }
    std::string Url(const std::string& path = "/") const;
    std::vector<std::string> Requests();
    int Connections() const { return m_server.Connections(); }

    // Helpers for scripts.
    static void Send(int fd, const std::string& bytes);
    static void Pause(int ms);

private:
    void Serve(int fd);
    static std::string ReadRequest(int fd);

    Script m_script;
    std::mutex m_lock;
    std::vector<std::string> m_requests;
    CLoopbackServer m_server; // last: stops before the state its connections use
};

} // namespace vx::test
