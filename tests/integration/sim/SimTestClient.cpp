#include "SimTestClient.h"

#include "common/LoopbackServer.h"
#include "platform/Crypto.h"
#include "platform/File.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <sstream>

namespace vx::test::sim {

std::string HttpReply::Header(const std::string& name) const
{
    std::string key = "\r\n" + name + ": ";
    size_t p = head.find(key);
    if (p == std::string::npos)
        return "";
    p += key.size();
    return head.substr(p, head.find("\r\n", p) - p);
}

Json::Value HttpReply::JsonBody() const
{
    Json::Value v;
    Json::CharReaderBuilder rb;
    std::string errs;
    std::istringstream in(body);
    if (!Json::parseFromStream(rb, in, &v, &errs) || !v.isObject())
        return Json::Value();
    return v;
}

CSocket Connect(int port)
{
    CSocket s;
    s.Connect("127.0.0.1", static_cast<uint16_t>(port), 10000);
    return s;
}

bool SendAll(CSocket& s, const void* data, size_t len)
{
    return s.SendAll(data, len, 10000) == SockResult::Ok;
}

bool RecvExact(CSocket& s, void* buf, size_t len, int timeoutMs)
{
    std::string got;
    bool ok = vx::test::RecvExact(s.Fd(), &got, len, timeoutMs);
    memcpy(buf, got.data(), got.size());
    return ok;
}

HttpReply RawHttp(int port, const std::string& rawRequest, int timeoutMs)
{
    HttpReply r;
    CSocket s = Connect(port);
    if (!s.IsValid())
        return r;
    SendAll(s, rawRequest.data(), rawRequest.size());
    std::string resp;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[65536];
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        if (left <= 0)
            break;
        size_t n = 0;
        SockResult got = s.RecvSome(buf, sizeof(buf), left, &n);
        if (got == SockResult::Timeout)
            break;
        if (got != SockResult::Ok) {
            r.closedByPeer = true;
            break;
        }
        resp.append(buf, n);
    }
    s.Close();
    size_t end = resp.find("\r\n\r\n");
    if (end == std::string::npos)
        return r;
    r.head = resp.substr(0, end + 2);
    r.body = resp.substr(end + 4);
    size_t sp = r.head.find(' ');
    r.status = sp == std::string::npos ? 0 : atoi(r.head.c_str() + sp + 1);
    r.hasContentLength = r.head.find("\r\nContent-Length: ") != std::string::npos;
    for (size_t p = r.head.find("\r\nSet-Cookie: "); p != std::string::npos;
         p = r.head.find("\r\nSet-Cookie: ", p + 1)) {
        size_t s2 = p + 14;
        r.setCookies.push_back(r.head.substr(s2, r.head.find("\r\n", s2) - s2));
    }
    return r;
}

// The client's request head, line for line.
static std::string Head(const std::string& method, int port, const std::string& target)
{
    std::string h = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                    "\r\nAccept: */*\r\nReferer: http://127.0.0.1:" + std::to_string(port) +
                    "/index.do\r\nUser-Agent: tolvaneapp VX-Vexora\r\nVX-Agent: tolvaneapp VX-Vexora\r\n";
    return h;
}

HttpReply Get(int port, const std::string& target, const std::string& cookie, const std::string& extraHeaders)
{
    std::string req = Head("GET", port, target) +
                      "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: Keep-Alive\r\n" +
                      extraHeaders;
    if (!cookie.empty())
        req += "Cookie: " + cookie + "\r\n";
    return RawHttp(port, req + "\r\n");
}

HttpReply PostForm(int port, const std::string& target, const std::string& body, const std::string& cookie)
{
    std::string req =
        Head("POST", port, target) + "Content-Length: " + std::to_string(body.size()) +
        "\r\nContent-Type: application/x-www-form-urlencoded\r\nPragma: no-cache\r\nCache-Control: "
        "no-cache\r\nConnection: Keep-Alive\r\n";
    if (!cookie.empty())
        req += "Cookie: " + cookie + "\r\n";
    return RawHttp(port, req + "\r\n" + body);
}

std::string Md5Hex(const std::string& text)
{
    Md5Digest d{};
    Md5Bytes(text.data(), text.size(), &d);
    return DigestHex(d, false);
}

std::string Hex(const uint8_t md5[16])
{
    Md5Digest d{};
    memcpy(d.data(), md5, 16);
    return DigestHex(d, false);
}

std::string Login(int port, const std::string& user, const std::string& password, Json::Value* answer)
{
    HttpReply r =
        Get(port, "/login.do?j_username=" + user + "&j_password=" + Md5Hex(password) + "&src=android");
    if (answer)
        *answer = r.JsonBody();
    // As the client reads cookies: each Set-Cookie value up to its first ';', sorted by name.
    std::vector<std::string> pairs;
    for (const auto& c : r.setCookies) {
        size_t semi = c.find(';');
        if (semi == std::string::npos)
            return "";
        pairs.push_back(c.substr(0, semi));
    }
    std::sort(pairs.begin(), pairs.end());
    std::string cookie;
    for (const auto& p : pairs)
        cookie += p + ";";
    return cookie;
}

std::string Encode(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c) && c < 0x80)
            out += static_cast<char>(c);
        else if (c == ' ')
            out += '+';
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

static void Put(std::vector<uint8_t>& b, size_t at, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

static uint64_t Take(const uint8_t* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

std::vector<uint8_t> Announce::Bytes() const
{
    size_t n = wireName.size();
    std::vector<uint8_t> b(n + 76, 0);
    Put(b, 0, n + 69, 2);
    b[2] = 0;
    Put(b, 3, newFlag, 4);
    Put(b, 7, static_cast<uint64_t>(start), 8);
    Put(b, 15, static_cast<uint64_t>(end), 8);
    memcpy(b.data() + 23, md5, 16);
    Put(b, 39, static_cast<uint64_t>(dirId), 8);
    Put(b, 47, static_cast<uint64_t>(fileId), 8);
    Put(b, 55, static_cast<uint64_t>(orgId), 8);
    Put(b, 63, static_cast<uint64_t>(userId), 8);
    b[71] = type;
    Put(b, 72, n, 2);
    memcpy(b.data() + 74, wireName.data(), n);
    Put(b, 74 + n, version, 2);
    return b;
}

bool ReadAnswer(CSocket& s, AnswerMsg* a)
{
    uint8_t head[7];
    if (!RecvExact(s, head, 7, 15000))
        return false;
    a->length = static_cast<uint16_t>(Take(head, 2));
    a->kind = head[2];
    a->result = static_cast<int32_t>(Take(head + 3, 4));
    std::vector<uint8_t> all(7 + static_cast<size_t>(a->length));
    memcpy(all.data(), head, 7);
    if (a->length > 0 && !RecvExact(s, all.data() + 7, a->length, 15000))
        return false;
    if (a->length >= 48) {
        const uint8_t* p = all.data();
        a->start = static_cast<int64_t>(Take(p + 7, 8));
        a->end = static_cast<int64_t>(Take(p + 15, 8));
        memcpy(a->md5, p + 23, 16);
        a->fileId = static_cast<int64_t>(Take(p + 47, 8));
    }
    return true;
}

void SampledMd5(const std::string& path, bool whole, int rule, uint8_t out[16])
{
    CFile in;
    in.Open(path, CFile::Mode::Read);
    const int64_t size = in.Size();
    CMd5 md5;
    // Reads a megabyte or so at a time and hashes blocks 0, rule, 2*rule ... of 1024 bytes.
    const int64_t stride = whole ? 1024 : 1024 * static_cast<int64_t>(rule);
    std::vector<uint8_t> buf(static_cast<size_t>(stride) * 256);
    for (int64_t off = 0; off < size; off += static_cast<int64_t>(buf.size())) {
        int64_t n = in.ReadAt(buf.data(), buf.size(), off);
        if (n <= 0)
            break;
        for (int64_t b = 0; b < n; b += stride)
            md5.Update(buf.data() + b, static_cast<size_t>(std::min<int64_t>(1024, n - b)));
    }
    Md5Digest d{};
    md5.Final(&d);
    memcpy(out, d.data(), 16);
}

} // namespace vx::test::sim
