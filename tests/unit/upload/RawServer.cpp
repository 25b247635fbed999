#include "unit/upload/RawServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    out->clear();
    char buf[65536];
    while (out->size() < n) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0)
            return false;
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, left) <= 0)
            return false;
        ssize_t r = recv(m_fd, buf, std::min(sizeof(buf), n - out->size()), 0);
        if (r <= 0)
            return false;
        out->append(buf, static_cast<size_t>(r));
    }
    return true;
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
    std::string out;
    char buf[65536];
    for (;;) {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0)
            return out;
        ssize_t r = recv(m_fd, buf, sizeof(buf), 0);
        if (r <= 0)
            return out;
        out.append(buf, static_cast<size_t>(r));
    }
}

bool CRawConn::Write(const std::string& bytes)
{
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t r = send(m_fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (r <= 0)
            return false;
        off += static_cast<size_t>(r);
    }
    return true;
}

void CRawConn::Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (rcvBuf > 0)
        setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &rcvBuf, sizeof(rcvBuf));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listen, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    listen(m_listen, 8);
    socklen_t sl = sizeof(sa);
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&sa), &sl);
    m_port = ntohs(sa.sin_port);
    m_thread = std::thread(&CRawServer::Loop, this);
}

CRawServer::~CRawServer()
{
    m_stop = true;
    m_thread.join();
    close(m_listen);
}

void CRawServer::Loop()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_conns;
        m_connThreads.emplace_back([this, fd] {
            CRawConn c(fd);
            m_script(c);
            close(fd);
        });
    }
    for (auto& t : m_connThreads)
        t.join();
}

uint16_t CRawServer::DeadPort()
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    socklen_t sl = sizeof(sa);
    getsockname(s, reinterpret_cast<sockaddr*>(&sa), &sl);
    close(s);
    return ntohs(sa.sin_port);
}

} // namespace vx::test
