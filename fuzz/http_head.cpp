// libFuzzer target: the response-head parsing steps of the HTTP client (head search, status,
// cookies, Content-Length) and a chunked decode of what follows the head, plus URL splitting.

#include "net/HttpClient.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* p = reinterpret_cast<const char*>(data);
    std::string text(p, size);

    std::string server, object;
    uint16_t port = 0;
    vx::CHttpClient::ParseUrl(text, &server, &object, &port);
    vx::RedactUrl(text);

    std::string head;
    size_t consumed = 0;
    if (vx::CHttpClient::FindHead(p, size, &head, &consumed) <= 0)
        return 0;
    if (consumed > size || head.size() > vx::CHttpClient::kMaxHeadBytes)
        __builtin_trap();
    vx::CHttpClient::ParseStatusCode(head);
    std::map<std::string, std::string> cookies;
    vx::CHttpClient::ParseCookies(head, &cookies);
    for (const auto& [name, value] : cookies)
        if (value.find_first_of("\r\n") != std::string::npos ||
            name.find_first_of("\r\n") != std::string::npos)
            __builtin_trap(); // a cookie never spans lines
    uint64_t length = 0;
    if (vx::CHttpClient::ParseContentLength(head, &length) > 0 && length > vx::CHttpClient::kMaxBodyBytes)
        __builtin_trap();
    vx::RedactHead(head);

    // Chunked decode of the rest, as the client walks it.
    size_t at = consumed;
    std::string body;
    while (at < size) {
        uint64_t n = 0;
        size_t lineLen = 0;
        if (vx::CHttpClient::ParseChunkSizeLine(p + at, size - at, &n, &lineLen) <= 0)
            break;
        if (lineLen > 13)
            __builtin_trap();
        at += lineLen;
        if (n > size - at)
            break;
        body.append(p + at, static_cast<size_t>(n));
        at += static_cast<size_t>(n);
        if (n == 0)
            break;
    }
    return 0;
}
