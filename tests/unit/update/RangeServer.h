#pragma once
// A tiny HTTP server on 127.0.0.1 that serves one file with byte ranges, and misbehaves on
// request: drops connections, stalls, ignores the range, leaves out fields. Each connection
// answers one request and closes.

#include "common/LoopbackServer.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vx::test {

class CRangeServer
{
public:
    enum class Mode
    {
        Normal,         // 206 with Content-Length and Content-Range
        DropFirst,      // the first `count` answers send `cutBytes` of the body, then close
        StallFirst,     // the first `count` answers send `cutBytes`, then stay silent
        Whole200,       // 200 with the whole file, range ignored
        NoContentRange, // 206 without Content-Range
        WrongStart,     // like DropFirst, then Content-Range always starts at 0 whatever was asked
        ShortLength,    // 206 announcing and sending only half of what is left
        NoLength,       // 206 without Content-Length
        ZeroTotal,      // 206 with total 0
    };

    explicit CRangeServer(std::string body);
    ~CRangeServer();

    bool Start();
    int Port() const { return m_server.Port(); }
    std::string Url(const std::string& name = "setup") const;

    void SetMode(Mode m, int count = 0, size_t cutBytes = 0);
    void SetBody(std::string body);
    // Range starts asked for, in order (-1 for a request without a Range field).
    std::vector<long long> RangeStarts();
    std::vector<std::string> Requests();

private:
    void Serve(int fd);

    std::string m_body;
    std::mutex m_mutex;
    Mode m_mode = Mode::Normal;
    int m_count = 0;
    size_t m_cut = 0;
    int m_served = 0;
    std::vector<long long> m_starts;
    std::vector<std::string> m_requests;
    CLoopbackServer m_server; // last: stops before the state Serve uses
};

} // namespace vx::test
