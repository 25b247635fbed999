#pragma once
// A tiny scripted TCP server on 127.0.0.1 for the HTTP client tests: each accepted connection
// gets its request read (head and Content-Length body) and is then handed to the script, which
// writes whatever raw bytes the test wants, pauses, or stays silent.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
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

    int Port() const { return m_port; }
    std::string Url(const std::string& path = "/") const;
    std::vector<std::string> Requests();
    int Connections() const { return m_connections; }

    // Helpers for scripts.
    static void Send(int fd, const std::string& bytes);
    static void Pause(int ms);

private:
    void Run();
    static std::string ReadRequest(int fd);

    Script m_script;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::vector<std::thread> m_workers;
    std::thread m_thread;
};

} // namespace vx::test
