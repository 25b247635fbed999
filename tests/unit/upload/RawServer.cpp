#include "unit/upload/RawServer.h"

namespace vx::test {

namespace {

uint64_t Le(const std::string& s, size_t off, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[off + i]);
    return v;
}

void Put(std::string* out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>(v >> (8 * i)));
}

} // namespace

bool CRawConn::Read(std::string* out, size_t n, int timeoutMs)
{
    return RecvExact(m_fd, out, n, timeoutMs);
}

bool CRawConn::ReadAnnounce(SeenAnnounce* a)
{
    std::string head, rest;
    if (!Read(&head, 7))
        return false;
    if (!Read(&rest, Le(head, 0, 2)))
        return false;
    return DecodeAnnounce(head + rest, a);
}

bool DecodeAnnounce(const std::string& s, SeenAnnounce* a)
{
    if (s.size() < 76)
        return false;
    a->raw = s;
    a->len = static_cast<uint16_t>(Le(s, 0, 2));
    a->kind = static_cast<uint8_t>(s[2]);
    a->newFlag = static_cast<uint32_t>(Le(s, 3, 4));
    a->start = static_cast<int64_t>(Le(s, 7, 8));
    a->end = static_cast<int64_t>(Le(s, 15, 8));
    a->md5 = s.substr(23, 16);
    a->dirId = static_cast<int64_t>(Le(s, 39, 8));
    a->fileId = static_cast<int64_t>(Le(s, 47, 8));
    a->orgId = static_cast<int64_t>(Le(s, 55, 8));
    a->userId = static_cast<int64_t>(Le(s, 63, 8));
    a->type = static_cast<uint8_t>(s[71]);
    size_t n = Le(s, 72, 2);
    if (s.size() != n + 76 || a->len != s.size() - 7)
        return false;
    a->name = s.substr(74, n);
    a->version = static_cast<uint16_t>(Le(s, 74 + n, 2));
    return true;
}

std::string CRawConn::ReadRest(int quietMs)
{
    return RecvUntilQuiet(m_fd, quietMs);
}

bool CRawConn::Write(const std::string& bytes)
{
    return SendAllBytes(m_fd, bytes);
}

void CRawConn::Pause(int ms)
{
    PauseMs(ms);
}

std::string MakeHead(uint16_t len, uint8_t kind, int32_t result)
{
    std::string s;
    Put(&s, len, 2);
    Put(&s, kind, 1);
    Put(&s, static_cast<uint32_t>(result), 4);
    return s;
}

std::string MakeAnswer(uint8_t kind, int32_t result, int64_t start, int64_t end, const std::string& md5,
                       int64_t fileId)
{
    std::string s = MakeHead(48, kind, result);
    Put(&s, static_cast<uint64_t>(start), 8);
    Put(&s, static_cast<uint64_t>(end), 8);
    std::string m = md5;
    m.resize(16, '\0');
    s += m;
    Put(&s, 0, 8); // bytes 39..46 are not read by the client
    Put(&s, static_cast<uint64_t>(fileId), 8);
    return s;
}

CRawServer::CRawServer(Script script, int rcvBuf) : m_script(std::move(script))
{
    m_server.Start(
        [this](int fd) {
            CRawConn c(fd);
            m_script(c);
        },
        CLoopbackServer::Dispatch::ThreadPerConnection, rcvBuf);
}

CRawServer::~CRawServer()
{
    m_server.Stop();
}

uint16_t CRawServer::DeadPort()
{
    return UnusedLoopbackPort();
}

} // namespace vx::test
