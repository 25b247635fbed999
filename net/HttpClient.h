#pragma once
// One plain HTTP/1.1 request at a time over a TCP socket: fixed request head, session cookie,
// response head with its cookies, and the body in whichever framing the head announces
// (length, chunked, until close). Every wait is bounded, the whole request has one overall limit
// and every size is capped, so a server that stalls, trickles or sends garbage costs a bounded
// time and a fixed amount of memory.

#include "platform/PrintfFormat.h"
#include "platform/Socket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vx {

// Waits of one request. The defaults are the product's; tests shorten them.
struct HttpTimeouts
{
    int connectMs = 5000;      // pending connect
    int sendWaitMs = 3000;     // each wait for buffer space
    int recvWaitMs = 3000;     // each wait for data ...
    int recvWaitTries = 3;     // ... this many times before a read counts as empty
    int recvTimeoutMs = 40000; // SO_RCVTIMEO of the socket
    // The whole request (connect, send, complete answer) must be done within this; 0 derives it
    // from the waits above. Each byte restarts a receive wait, so without it a server sending
    // one byte every two seconds would hold a request for ever.
    int totalMs = 0;

    // The overall limit: totalMs, or one connect, one send wait and two full receive waits
    // (26 s with the product's waits).
    int OverallMs() const;
};

// Error code set when a host name has no address (the value the platform's resolver reports).
constexpr int kErrHostNotFound = 11004;

// url with the value of every "j_password=" parameter replaced by "***": the password hash works
// as the password and must never reach a log.
std::string RedactUrl(const std::string& url);
// A response head with the values of its Set-Cookie lines replaced by "***".
std::string RedactHead(const std::string& head);
// text with every "%" doubled, for loggers that treat the text as a format.
std::string DoublePercent(const std::string& text);
// printf into a string of any length.
std::string FormatText(const char* format, ...) VX_PRINTF_FORMAT(1, 2);

class CHttpClient
{
public:
    CHttpClient() = default;
    ~CHttpClient() = default;
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // url: "http://host[:port]/path?query"; cookie: the Cookie header text (empty: none).
    bool Get(const std::string& url, const std::string& cookie);
    bool Post(const std::string& url, const std::string& cookie, const void* body, size_t len);
    // POST of a text body (already in the locale's encoding, UTF-8 here).
    bool PostText(const std::string& url, const std::string& cookie, const std::string& body);

    int GetStatusCode() const { return m_nStatusCode; }
    const std::string& GetBody() const { return m_strBody; }
    const std::string& GetErrorText() const { return m_strErrorText; }
    int GetErrorCode() const { return m_nErrorCode; }
    const std::string& GetRequestLog() const { return m_strRequestLog; }
    const std::string& GetRequestHead() const { return m_strRequestHead; }
    const std::string& GetResponseHead() const { return m_strResponseHead; }
    // A short readable cause of the last failure for people (e.g. "connection refused at
    // 127.0.0.1:18080"); empty when the last request succeeded.
    const std::string& GetFailureCause() const { return m_strCause; }

    // With a name: that cookie's value ("" when unset). Without: "a=1;b=2;" in name order.
    std::string GetCookies(const std::string& name = std::string());

    void SetTimeouts(const HttpTimeouts& t) { m_timeouts = t; }
    // The platform's home page sent as Referer (path "/index.do" on the web host).
    void SetReferer(const std::string& referer) { m_strReferer = referer; }

    // Limits that keep a hostile or broken server from growing memory without bound.
    static constexpr size_t kMaxHeadBytes = 64 * 1024;
    static constexpr size_t kMaxBodyBytes = 64 * 1024 * 1024;
    static constexpr size_t kInitialBuffer = 2048;
    static constexpr size_t kReadChunk = 16 * 1024;

    // URL split: false when the URL is not "http://host[:port][/...]".
    static bool ParseUrl(const std::string& url, std::string* server, std::string* object, uint16_t* port);

    // The parsing steps, exposed for the fuzz targets and the unit tests. Head: finds the
    // head in buf; returns 1 found (head set, *consumed = bytes through the empty line),
    // 0 need more, -1 malformed/too long.
    static int FindHead(const char* buf, size_t len, std::string* head, size_t* consumed);
    static int ParseStatusCode(const std::string& head);
    static void ParseCookies(const std::string& head, std::map<std::string, std::string>* cookies);
    // Chunk-size line at the front of buf: 1 parsed (*size, *lineLen), 0 need more, -1 invalid.
    static int ParseChunkSizeLine(const char* buf, size_t len, uint64_t* size, size_t* lineLen);
    // Content-Length value of a head: 1 found (*len), 0 absent, -1 invalid or above the cap.
    static int ParseContentLength(const std::string& head, uint64_t* len);

private:
    enum class Method : uint8_t
    {
        Get = 1,
        Post = 2
    };
    bool Request(Method method, const std::string& url, const std::string& cookie, const void* body,
                 size_t len);
    void Reset();
    bool ConnectTo(const std::string& server, uint16_t port);
    bool SendBytes(const char* data, size_t len);
    // One bounded read of at most room bytes appended to *into (m_pending when null); returns
    // the bytes read (0 closed/failed/timed out; m_bOverall set when the overall limit ran out).
    size_t Receive(std::string* into = nullptr, size_t room = kReadChunk);
    // The wait to use when a step allows limitMs: limitMs, cut to what is left of the overall
    // limit; 0 when nothing is left.
    int WaitBudget(int limitMs) const;
    bool OverallExpired() const;
    // Fails the request because the overall limit ran out.
    bool FailOverall();
    // Room in m_strBody for `more` bytes. Small bodies grow by doubling; a body past 1 MiB
    // reserves the cap at once: untouched reserved pages cost no memory, and no copy of a large
    // body ever sits beside the body itself.
    void ReserveBody(size_t more);
    bool ReadHead();
    bool ReadBody();
    bool ReadFixed(uint64_t length);
    bool ReadChunked();
    bool ReadUntilClose();
    bool Fail(int code, const std::string& text);
    bool BodyTooLarge();
    const char* PostTag() const { return m_method == Method::Post ? "---post  " : ""; }

    CSocket m_socket;
    HttpTimeouts m_timeouts;
    int m_nErrorCode = 0;
    std::string m_strErrorText;
    std::string m_strCause;
    int m_nStatusCode = 0;
    std::string m_strRequestHead;
    std::string m_strResponseHead;
    std::string m_strBody;
    std::map<std::string, std::string> m_cookies;
    std::string m_pending; // received, not yet consumed
    std::string m_strRequestLog;
    std::string m_strUrl;
    std::string m_strLogUrl; // m_strUrl without secrets, for logs
    std::string m_strReferer;
    std::string m_strHostPort;
    Method m_method = Method::Get;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_bOverall = false; // the last failure was the overall limit
};

} // namespace vx
