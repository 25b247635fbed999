#include "net/HttpClient.h"

#include "app/LogFile.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace vx {

namespace {

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

constexpr size_t kReadChunk = CHttpClient::kReadChunk;
// Bodies up to this grow by doubling; a larger one reserves the cap (see ReserveBody).
constexpr size_t kSmallBody = 1024 * 1024;
// The size text of a chunk line is at most 11 characters: its CR LF starts within 12 bytes.
constexpr size_t kMaxChunkLine = 12;

// text with what follows each tag, up to the next stop (or the end), replaced by "***".
std::string RedactAfter(const std::string& text, const std::string& tag, const char* stop)
{
    std::string out = text;
    size_t pos = 0;
    while ((pos = out.find(tag, pos)) != std::string::npos) {
        size_t start = pos + tag.size();
        size_t end = out.find(stop, start);
        out.replace(start, (end == std::string::npos ? out.size() : end) - start, "***");
        pos = start + 3;
    }
    return out;
}

// "26 s" or "3200 ms": a limit as people read it in a failure cause.
std::string LimitText(int ms)
{
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

using Clock = std::chrono::steady_clock;

} // namespace

int HttpTimeouts::OverallMs() const
{
    if (totalMs > 0)
        return totalMs;
    int64_t ms = int64_t(connectMs) + sendWaitMs + 2 * int64_t(recvWaitMs) * recvWaitTries;
    return ms > INT32_MAX ? INT32_MAX : static_cast<int>(ms);
}

std::string RedactUrl(const std::string& url)
{
    return RedactAfter(url, "j_password=", "&");
}

std::string RedactHead(const std::string& head)
{
    return RedactAfter(head, "Set-Cookie: ", "\r\n");
}

std::string DoublePercent(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

std::string FormatText(const char* format, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(buf, sizeof(buf), format, ap);
    va_end(ap);
    if (n < 0)
        return std::string();
    if (static_cast<size_t>(n) < sizeof(buf))
        return std::string(buf, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_start(ap, format);
    vsnprintf(out.data(), out.size(), format, ap);
    va_end(ap);
    out.resize(static_cast<size_t>(n));
    return out;
}

bool CHttpClient::ParseUrl(const std::string& url, std::string* server, std::string* object, uint16_t* port)
{
    static const char kScheme[] = "http://";
    if (url.size() <= sizeof(kScheme) - 1 || !StartsWithNoCase(url, kScheme))
        return false;
    size_t hostStart = sizeof(kScheme) - 1;
    size_t pathStart = url.find_first_of("/?", hostStart);
    std::string authority =
        url.substr(hostStart, pathStart == std::string::npos ? std::string::npos : pathStart - hostStart);
    std::string obj = pathStart == std::string::npos ? "/" : url.substr(pathStart);
    if (obj[0] == '?')
        obj.insert(obj.begin(), '/');
    unsigned long p = 80;
    size_t colon = authority.rfind(':');
    std::string host = authority.substr(0, colon);
    if (colon != std::string::npos) {
        std::string digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        p = strtoul(digits.c_str(), nullptr, 10);
        if (p == 0 || p > 65535)
            return false;
    }
    if (host.empty() || host.find_first_of(" \t\r\n@") != std::string::npos)
        return false;
    // Control characters would let a URL inject header lines.
    for (char c : obj)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    *server = host;
    *object = obj;
    *port = static_cast<uint16_t>(p);
    return true;
}

int CHttpClient::FindHead(const char* buf, size_t len, std::string* head, size_t* consumed)
{
    std::string_view v(buf, len);
    size_t start = v.find("HTTP");
    if (start != std::string_view::npos) {
        size_t end = v.find("\r\n\r\n", start);
        if (end != std::string_view::npos) {
            if (end + 4 - start > kMaxHeadBytes)
                return -1;
            head->assign(buf + start, end + 4 - start);
            *consumed = end + 4;
            return 1;
        }
    }
    return len >= kMaxHeadBytes ? -1 : 0;
}

int CHttpClient::ParseStatusCode(const std::string& head)
{
    size_t first = head.find(' ');
    if (first == std::string::npos)
        return 0;
    size_t second = head.find(' ', first + 1);
    size_t lineEnd = head.find("\r\n");
    size_t end = std::min(second, lineEnd);
    if (end == std::string::npos)
        end = head.size();
    int code = 0;
    for (size_t i = first + 1; i < end; ++i) {
        if (head[i] < '0' || head[i] > '9')
            return 0;
        if (code > 99999)
            return 0;
        code = code * 10 + (head[i] - '0');
    }
    return code;
}

void CHttpClient::ParseCookies(const std::string& head, std::map<std::string, std::string>* cookies)
{
    static const std::string kTag = "Set-Cookie: ";
    size_t pos = 0;
    while ((pos = head.find(kTag, pos)) != std::string::npos) {
        size_t start = pos + kTag.size();
        // A value ends at its ";" or at the end of its line, whichever comes first: a cookie
        // without attributes must not run into the following header lines.
        size_t end = head.find_first_of(";\r\n", start);
        if (end == std::string::npos)
            break;
        std::string pair = head.substr(start, end - start);
        size_t eq = pair.find('=');
        if (eq != std::string::npos)
            (*cookies)[pair.substr(0, eq)] = pair.substr(eq + 1);
        pos = end;
    }
}

int CHttpClient::ParseChunkSizeLine(const char* buf, size_t len, uint64_t* size, size_t* lineLen)
{
    size_t limit = std::min(len, kMaxChunkLine + 1);
    size_t cr = std::string::npos;
    for (size_t i = 0; i + 1 < limit; ++i) {
        if (buf[i] == '\r' && buf[i + 1] == '\n') {
            cr = i;
            break;
        }
    }
    if (cr == std::string::npos || cr >= kMaxChunkLine)
        return len > kMaxChunkLine ? -1 : 0;
    uint64_t n = 0;
    for (size_t i = 0; i < cr && IsHex(buf[i]); ++i)
        n = n * 16 + static_cast<uint64_t>(HexValue(buf[i])); // 11 digits at most: no overflow
    *size = n;
    *lineLen = cr + 2;
    return 1;
}

int CHttpClient::ParseContentLength(const std::string& head, uint64_t* len)
{
    static const std::string kTag = "Content-Length: ";
    size_t pos = head.find(kTag);
    if (pos == std::string::npos)
        return 0;
    size_t start = pos + kTag.size();
    size_t end = head.find("\r\n", start);
    if (end == std::string::npos)
        end = head.size();
    while (start < end && head[start] == ' ')
        ++start;
    while (end > start && head[end - 1] == ' ')
        --end;
    if (start == end)
        return -1;
    uint64_t n = 0;
    for (size_t i = start; i < end; ++i) {
        if (head[i] < '0' || head[i] > '9')
            return -1;
        n = n * 10 + static_cast<uint64_t>(head[i] - '0');
        if (n > kMaxBodyBytes)
            return -1;
    }
    *len = n;
    return 1;
}

std::string CHttpClient::GetCookies(const std::string& name)
{
    if (!name.empty())
        return m_cookies[name];
    std::string all;
    for (const auto& [k, v] : m_cookies)
        all += k + "=" + v + ";";
    return all;
}

bool CHttpClient::Get(const std::string& url, const std::string& cookie)
{
    return Request(Method::Get, url, cookie, nullptr, 0);
}

bool CHttpClient::Post(const std::string& url, const std::string& cookie, const void* body, size_t len)
{
    return Request(Method::Post, url, cookie, body, len);
}

bool CHttpClient::PostText(const std::string& url, const std::string& cookie, const std::string& body)
{
    if (url.empty())
        return false;
    return Request(Method::Post, url, cookie, body.data(), body.size());
}

void CHttpClient::Reset()
{
    m_socket.Close();
    m_nErrorCode = 0;
    m_strErrorText.clear();
    m_strCause.clear();
    m_nStatusCode = 0;
    m_strRequestHead.clear();
    m_strResponseHead.clear();
    m_strBody.clear();
    m_cookies.clear();
    m_pending.clear();
    m_strRequestLog.clear();
    m_bOverall = false;
}

int CHttpClient::WaitBudget(int limitMs) const
{
    // Rounded up: a wait cut to the deadline ends at or after it, never a fraction before, so
    // a time-out of that wait is always seen as the overall limit.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left < limitMs ? static_cast<int>(left) : limitMs;
}

bool CHttpClient::OverallExpired() const
{
    return Clock::now() >= m_deadline;
}

bool CHttpClient::FailOverall()
{
    const int ms = m_timeouts.OverallMs();
    m_bOverall = true;
    m_strCause = "no complete answer from " + m_strHostPort + " within " + LimitText(ms) +
                 " (the overall request limit)";
    m_strRequestLog +=
        "Request stopped at the overall limit of " + std::to_string(ms) + " ms, url = " + m_strLogUrl + "\n";
    return Fail(ETIMEDOUT, FormatText("Request timed out, the overall limit of %d ms ran out, The Error = %d",
                                      ms, ETIMEDOUT));
}

void CHttpClient::ReserveBody(size_t more)
{
    size_t need = m_strBody.size() + more;
    if (need <= m_strBody.capacity())
        return;
    if (need <= kSmallBody)
        m_strBody.reserve(std::max(need, m_strBody.capacity() * 2));
    else
        m_strBody.reserve(std::max(need, kMaxBodyBytes + 1));
}

bool CHttpClient::Fail(int code, const std::string& text)
{
    m_nErrorCode = code;
    m_strErrorText = text;
    if (m_strCause.empty())
        m_strCause = text;
    m_socket.Close();
    return false;
}

bool CHttpClient::ConnectTo(const std::string& server, uint16_t port)
{
    std::string dotted;
    uint32_t addr = 0;
    if (!ResolveHost(server, &dotted) || !ParseIpv4(dotted, &addr)) {
        m_strCause = "cannot resolve host " + server;
        return Fail(kErrHostNotFound, FormatText("请检查网络连接情况, The Error = %d", kErrHostNotFound));
    }
    const auto* b = reinterpret_cast<const unsigned char*>(&addr);
    m_strRequestLog += FormatText("Info : Requested host [IP %s ADDR = %d.%d.%d.%d, PORT = %d]. ",
                                  server.c_str(), b[0], b[1], b[2], b[3], port);

    std::string where = dotted + ":" + std::to_string(port);
    CSocket::ConnectFailure f;
    if (!m_socket.ConnectDotted(dotted, port, WaitBudget(m_timeouts.connectMs), &f)) {
        switch (f.step) {
        case CSocket::ConnectStep::Create:
            return Fail(f.code, FormatText("Build Socket Error, The Error = %d", f.code));
        case CSocket::ConnectStep::NonBlocking:
            return Fail(f.code, FormatText("Do Connect, but set non-blocking failed, code = %d", f.code));
        case CSocket::ConnectStep::Blocking:
            return Fail(f.code, FormatText("Do Connect, but set blocking failed, code = %d", f.code));
        case CSocket::ConnectStep::Timeout:
            m_strRequestLog += "do connect, but select time out";
            if (OverallExpired())
                return FailOverall();
            m_strCause = "connection timed out at " + where + " after " + LimitText(m_timeouts.connectMs) +
                         " (the connect limit)";
            return Fail(ETIMEDOUT, FormatText("Connected to host failed, The Error = %d", ETIMEDOUT));
        default:
            m_strCause =
                std::string(f.code == ECONNREFUSED ? "connection refused" : SocketErrorText(f.code)) +
                " at " + where;
            return Fail(f.code, FormatText("Connected to host failed, The Error = %d", f.code));
        }
    }
    if (!m_socket.SetRecvTimeout(m_timeouts.recvTimeoutMs))
        m_strErrorText = FormatText("Set recv time out, The Error = %d", LastSocketError());
    return true;
}

bool CHttpClient::SendBytes(const char* data, size_t len)
{
    // In slices, so each wait for buffer space is also cut to what is left of the overall limit.
    constexpr size_t kSlice = 64 * 1024;
    for (size_t off = 0; off < len; off += kSlice) {
        int wait = WaitBudget(m_timeouts.sendWaitMs);
        SockResult r =
            wait > 0 ? m_socket.SendAll(data + off, std::min(kSlice, len - off), wait) : SockResult::Timeout;
        if (r != SockResult::Ok) {
            m_nErrorCode =
                r == SockResult::Timeout ? ETIMEDOUT : (LastSocketError() != 0 ? LastSocketError() : EPIPE);
            m_bOverall = r == SockResult::Timeout && OverallExpired();
            return false;
        }
    }
    return true;
}

size_t CHttpClient::Receive(std::string* into, size_t room)
{
    char buf[kReadChunk];
    room = std::min(room, sizeof(buf));
    if (!into)
        into = &m_pending;
    for (int i = 0; i < m_timeouts.recvWaitTries; ++i) {
        int wait = WaitBudget(m_timeouts.recvWaitMs);
        size_t got = 0;
        SockResult r = wait > 0 ? m_socket.RecvSome(buf, room, wait, &got) : SockResult::Timeout;
        if (r == SockResult::Timeout) {
            m_nErrorCode = ETIMEDOUT;
            if (OverallExpired()) {
                m_bOverall = true;
                return 0;
            }
            continue;
        }
        if (r != SockResult::Ok) {
            m_nErrorCode = r == SockResult::Closed ? 0 : LastSocketError();
            return 0;
        }
        into->append(buf, got);
        return got;
    }
    return 0;
}

bool CHttpClient::Request(Method method, const std::string& url, const std::string& cookie, const void* body,
                          size_t len)
{
    Reset();
    m_method = method;
    m_strUrl = url;
    m_strLogUrl = RedactUrl(url);
    std::string server, object;
    uint16_t port = 0;
    if (!ParseUrl(url, &server, &object, &port))
        return Fail(0, "The request URL is invalid!!");
    if (cookie.find_first_of("\r\n") != std::string::npos)
        return Fail(0, "The request URL is invalid!!");
    m_strHostPort = server + ":" + std::to_string(port);
    m_deadline = Clock::now() + std::chrono::milliseconds(m_timeouts.OverallMs());
    if (!ConnectTo(server, port))
        return false;

    std::string& h = m_strRequestHead;
    h = (method == Method::Post ? "POST " : "GET ") + object + " HTTP/1.1\r\n";
    h += "Host: " + server + ":" + std::to_string(port) + "\r\n";
    h += "Accept: */*\r\n";
    h += "Referer: " + (m_strReferer.empty() ? "http://" + m_strHostPort + "/index.do" : m_strReferer) +
         "\r\n";
    h += "User-Agent: tolvaneapp VX-Vexora\r\n";
    h += "VX-Agent: tolvaneapp VX-Vexora\r\n";
    if (method == Method::Post) {
        if (body && len > 0)
            h += "Content-Length: " + std::to_string(len) + "\r\n";
        h += "Content-Type: application/x-www-form-urlencoded\r\n";
    }
    h += "Pragma: no-cache\r\n";
    h += "Cache-Control: no-cache\r\n";
    h += "Connection: Keep-Alive\r\n";
    if (!cookie.empty())
        h += "Cookie: " + cookie + "\r\n";
    h += "\r\n";

    if (!SendBytes(h.data(), h.size())) {
        if (m_bOverall)
            return FailOverall();
        m_strCause = "could not send the request to " + m_strHostPort;
        return Fail(m_nErrorCode, FormatText("Send request failed, The Error = %d", m_nErrorCode));
    }
    if (method == Method::Post && body && len > 0 && !SendBytes(static_cast<const char*>(body), len)) {
        if (m_bOverall)
            return FailOverall();
        m_strCause = "could not send the request body to " + m_strHostPort;
        return Fail(m_nErrorCode, FormatText("Send post data failed, The Error = %d", m_nErrorCode));
    }
    if (!ReadHead())
        return false;
    return ReadBody();
}

bool CHttpClient::ReadHead()
{
    size_t capacity = kInitialBuffer;
    for (;;) {
        // Read at most what fits in the current buffer, as a fixed buffer that doubles would.
        size_t before = m_pending.size();
        if (Receive(&m_pending, capacity - before) == 0) {
            if (m_bOverall)
                return FailOverall();
            const int waits = m_timeouts.recvWaitMs * m_timeouts.recvWaitTries;
            int code = m_nErrorCode;
            m_strCause = code == ETIMEDOUT ? "no answer from " + m_strHostPort + " within " +
                                                 LimitText(waits) + " (the receive wait)"
                                           : "connection closed by " + m_strHostPort;
            return Fail(code, FormatText("Recv head, act recv failed, recvlen=%d, The Error = %d",
                                         static_cast<int>(before), code));
        }
        size_t consumed = 0;
        int found = FindHead(m_pending.data(), m_pending.size(), &m_strResponseHead, &consumed);
        if (found < 0) {
            m_strCause = "response head from " + m_strHostPort + " is longer than 64 KiB";
            return Fail(EMSGSIZE, "Receive HTTP head failed, the head is too long");
        }
        if (found > 0) {
            m_pending.erase(0, consumed);
            break;
        }
        if (m_pending.size() >= capacity)
            capacity = std::min(capacity * 2, kMaxHeadBytes);
    }
    m_nStatusCode = ParseStatusCode(m_strResponseHead);
    ParseCookies(m_strResponseHead, &m_cookies);
    return true;
}

bool CHttpClient::BodyTooLarge()
{
    m_strCause = "response body from " + m_strHostPort + " is larger than 64 MiB";
    return Fail(EMSGSIZE, "Receive HTTP body failed, the body is too large");
}

bool CHttpClient::ReadBody()
{
    const std::string& head = m_strResponseHead;
    if (m_nStatusCode < 200 || m_nStatusCode == 204 || m_nStatusCode == 304) {
        m_strRequestLog += FormatText("[request for url = %s, http %scode = %d, no body]",
                                      m_strLogUrl.c_str(), PostTag(), m_nStatusCode);
        m_strCause = "HTTP status " + std::to_string(m_nStatusCode) + " without a body from " + m_strHostPort;
        m_socket.Close();
        return false;
    }
    if (head.find("Transfer-Encoding") != std::string::npos &&
        head.find("Transfer-Encoding: identity") == std::string::npos)
        return ReadChunked();
    uint64_t length = 0;
    int cl = ParseContentLength(head, &length);
    if (cl < 0) {
        m_strCause = "invalid Content-Length from " + m_strHostPort;
        return Fail(EBADMSG, "Receive HTTP Content Failed!!! The Content-Length is invalid");
    }
    if (cl > 0)
        return ReadFixed(length);
    if (head.find("Content-Type: multipart/byteranges") != std::string::npos) {
        m_strRequestLog +=
            FormatText("[request for url = %s, http %sbody is {Content-Type: multipart/byteranges}\r\n, "
                       "response head is :\r\n%s\r\n]",
                       m_strLogUrl.c_str(), PostTag(), RedactHead(head).c_str());
        m_strCause = "multipart answer refused from " + m_strHostPort;
        m_socket.Close();
        return false;
    }
    std::string warn = FormatText("Warning : HTTP %sClose Method, url = %s, response head : \r\n%s",
                                  PostTag(), m_strLogUrl.c_str(), RedactHead(head).c_str());
    LogText(g_log, warn);
    m_strRequestLog += warn;
    return ReadUntilClose();
}

bool CHttpClient::ReadFixed(uint64_t length)
{
    if (length == 0) {
        m_strRequestLog += "Receive Content, but The Content Length Is Zero!!!";
        return true;
    }
    // The length is known and capped: one allocation, no growth.
    m_strBody.reserve(std::max(static_cast<size_t>(length), m_pending.size()));
    m_strBody.append(m_pending);
    m_pending.clear();
    while (m_strBody.size() < length) {
        if (Receive(&m_strBody, static_cast<size_t>(length) - m_strBody.size()) == 0) {
            if (m_bOverall)
                return FailOverall();
            std::string text = FormatText("Receive HTTP Content Failed!!! The Error = %d", m_nErrorCode);
            m_strRequestLog += text + "\n URL = " + m_strLogUrl + "\n";
            m_strCause = "answer from " + m_strHostPort + " ended after " + std::to_string(m_strBody.size()) +
                         " of " + std::to_string(length) + " bytes";
            return Fail(m_nErrorCode, text);
        }
    }
    return true;
}

bool CHttpClient::ReadChunked()
{
    for (;;) {
        uint64_t n = 0;
        size_t lineLen = 0;
        int r;
        while ((r = ParseChunkSizeLine(m_pending.data(), m_pending.size(), &n, &lineLen)) == 0) {
            if (Receive() == 0) {
                if (m_bOverall)
                    return FailOverall();
                m_strErrorText = FormatText("Receive HTTP Chunked Failed!!!The Error = %d", m_nErrorCode);
                if (m_strBody.empty()) {
                    m_strCause = "chunked answer from " + m_strHostPort + " ended without data";
                    return Fail(m_nErrorCode, m_strErrorText);
                }
                Log(g_log, "Error: ### chunked, but not end with \"0CRLFCRLF\", url = %s, body = %s",
                    m_strLogUrl.c_str(), m_strBody.c_str());
                return true;
            }
        }
        if (r < 0) {
            m_strCause = "invalid chunk size line from " + m_strHostPort;
            return Fail(EBADMSG, "Receive HTTP Chunked Failed!!! The chunk size line is invalid");
        }
        m_pending.erase(0, lineLen);
        if (n > kMaxBodyBytes || m_strBody.size() + n > kMaxBodyBytes)
            return BodyTooLarge();
        // The chunk data and its CR LF go straight into the body: no second copy of a large chunk.
        const size_t want = static_cast<size_t>(n) + 2;
        const size_t start = m_strBody.size();
        ReserveBody(want);
        size_t fromPending = std::min(want, m_pending.size());
        m_strBody.append(m_pending, 0, fromPending);
        m_pending.erase(0, fromPending);
        while (m_strBody.size() - start < want) {
            if (Receive(&m_strBody, want - (m_strBody.size() - start)) == 0) {
                if (m_bOverall)
                    return FailOverall();
                m_strCause = "chunked answer from " + m_strHostPort + " was cut off";
                return Fail(m_nErrorCode,
                            FormatText("Receive HTTP Chunked Failed!!!The Error = %d", m_nErrorCode));
            }
        }
        if (m_strBody.compare(m_strBody.size() - 2, 2, "\r\n") != 0) {
            Log(g_log, "Error: receive chunk body, but not end with \"CRLFCRLF\", url = %s, body = %s",
                m_strLogUrl.c_str(), m_strBody.c_str());
            m_strCause = "chunk without its closing line from " + m_strHostPort;
            return Fail(EBADMSG, "Receive HTTP Chunked Failed!!! The chunk does not end with CRLF");
        }
        m_strBody.resize(m_strBody.size() - 2);
        if (n == 0)
            return true;
    }
}

bool CHttpClient::ReadUntilClose()
{
    ReserveBody(m_pending.size());
    m_strBody.append(m_pending);
    m_pending.clear();
    for (;;) {
        // One byte over the cap is enough to know the body is too large.
        if (m_strBody.size() > kMaxBodyBytes)
            return BodyTooLarge();
        size_t room = std::min(kReadChunk, kMaxBodyBytes + 1 - m_strBody.size());
        ReserveBody(room);
        if (Receive(&m_strBody, room) == 0)
            break;
    }
    if (m_bOverall)
        return FailOverall();
    m_strErrorText = FormatText("Receive HTTP close body Failed!!!The Error = %d", m_nErrorCode);
    if (m_strBody.empty()) {
        m_strCause = "empty answer from " + m_strHostPort;
        return Fail(m_nErrorCode, m_strErrorText);
    }
    return true;
}

} // namespace vx
