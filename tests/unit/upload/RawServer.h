#pragma once
// A tiny scripted file server on 127.0.0.1 for the worker tests: each connection is handed to
// the test's script on a thread of its own (scripts that share state lock it). Written straight on POSIX
// sockets and independent of the client's protocol code, so a misreading on either side shows.

#include "common/LoopbackServer.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vx::test {

// The announce as the server sees it, decoded by the documented offsets.
struct SeenAnnounce
{
    std::string raw;
    uint16_t len = 0;
    uint8_t kind = 0;
    uint32_t newFlag = 0;
    int64_t start = 0, end = 0;
    std::string md5;
    int64_t dirId = 0, fileId = 0, orgId = 0, userId = 0;
    uint8_t type = 0;
    std::string name;
    uint16_t version = 0;
};

// Decodes announce bytes; false when they are not one whole announce.
bool DecodeAnnounce(const std::string& s, SeenAnnounce* a);

class CRawConn
{
public:
    explicit CRawConn(int fd) : m_fd(fd) {}
    int Fd() const { return m_fd; }
    // Exactly n bytes within timeoutMs in all; false on close, error or time-out.
    bool Read(std::string* out, size_t n, int timeoutMs = 5000);
    bool ReadAnnounce(SeenAnnounce* a);
    // Whatever arrives until the peer closes or nothing comes for quietMs.
    std::string ReadRest(int quietMs);
    bool Write(const std::string& bytes);
    // Stops reading for ms (lets the client's buffers fill).
    static void Pause(int ms);

private:
    int m_fd;
};

// Answer bytes: len, kind, result, range, MD5, file id (55 bytes), or only the 7-byte head.
std::string MakeAnswer(uint8_t kind, int32_t result, int64_t start, int64_t end, const std::string& md5,
                       int64_t fileId);
std::string MakeHead(uint16_t len, uint8_t kind, int32_t result);

class CRawServer
{
public:
    using Script = std::function<void(CRawConn&)>;
    // rcvBuf > 0: a small receive buffer, so a slow reader holds the client back sooner.
    explicit CRawServer(Script script, int rcvBuf = 0);
    ~CRawServer();
    CRawServer(const CRawServer&) = delete;
    CRawServer& operator=(const CRawServer&) = delete;

    uint16_t Port() const { return m_server.Port(); }
    int Connections() const { return m_server.Connections(); }

    // A port on 127.0.0.1 where nobody listens (bound and closed again).
    static uint16_t DeadPort();

private:
    Script m_script;
    CLoopbackServer m_server; // last: stops before the script goes away
};

} // namespace vx::test
