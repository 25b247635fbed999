#include "updater/DownloadProtocol.h"

#include "platform/Utf8.h"
#include "updater/DownloadStatus.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace vx {

namespace {

// An unsigned decimal after optional blanks; false when there are no digits or it does not
// fit 32 bits (an installer is smaller than 4 GiB).
bool ReadU32(const std::string& text, size_t pos, uint32_t* value, size_t* end = nullptr)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    uint64_t v = 0;
    size_t start = pos;
    while (pos < text.size() && isdigit(static_cast<unsigned char>(text[pos]))) {
        v = v * 10 + static_cast<unsigned>(text[pos] - '0');
        if (v > 0xFFFFFFFFull)
            return false;
        ++pos;
    }
    if (pos == start)
        return false;
    *value = static_cast<uint32_t>(v);
    if (end)
        *end = pos;
    return true;
}

} // namespace

std::string DownloadTempPath(const std::string& url, const std::string& tempFolder)
{
    size_t slash = url.rfind('/');
    return tempFolder + (slash == std::string::npos ? std::string("VXTemp") : url.substr(slash + 1));
}

int SplitDownloadUrl(const std::string& url, unsigned tick, DownloadUrl* out)
{
    size_t scheme = url.find("//");
    size_t hostStart = scheme == std::string::npos ? 0 : scheme + 2;
    size_t hostEnd = url.find('/', hostStart);
    if (hostEnd == std::string::npos)
        return DS_PARSE_URL;
    std::string host = url.substr(hostStart, hostEnd - hostStart);
    // An https address is only ever fetched over TLS, never in clear text.
    out->tls = scheme != std::string::npos && scheme == 6 && StartsWithNoCase(url, "https:");
    out->port = out->tls ? 443 : 80;
    out->path = url.substr(hostEnd);
    // Proxies and caches between us and the server must not hand out an old installer.
    if (out->path.find("?random") == std::string::npos)
        out->path += "?random=" + std::to_string(static_cast<int>(tick));
    size_t colon = host.find(':');
    if (colon != std::string::npos) {
        out->hostName = host.substr(0, colon);
        uint32_t port = 0;
        size_t end = 0;
        // A port that is not a number (or out of range) gives 0, which no connection reaches.
        if (ReadU32(host, colon + 1, &port, &end) && end == host.size() && port <= 65535)
            out->port = static_cast<uint16_t>(port);
        else
            out->port = 0;
    } else {
        out->hostName = host;
    }
    return DS_NONE;
}

std::string BuildRangeRequest(const DownloadUrl& u, uint32_t start)
{
    return "GET " + u.path + " HTTP/1.1\r\nHost: " + u.hostName + ":" + std::to_string(u.port) +
           "\r\nAccept: *.*\r\nUser-Agent: TolvaneUpdater\r\nPragma: no-cache\r\nCache-Control: "
           "no-cache\r\nConnection: Keep-Alive\r\nRange: bytes=" +
           std::to_string(start) + "-\r\n\r\n";
}

size_t FindHeaderEnd(const char* buf, size_t len)
{
    if (len <= 7)
        return 0;
    // The final "\n" of the blank line must lie at index 8 or later.
    for (size_t i = 5; i + 3 < len; ++i)
        if (buf[i] == '\r' && buf[i + 1] == '\n' && buf[i + 2] == '\r' && buf[i + 3] == '\n')
            return i + 4;
    return 0;
}

void ParseResponseHead(const char* buf, size_t headerLen, ResponseHead* out)
{
    out->text.assign(buf, headerLen);
    out->fields.clear();
    out->httpStatus = 0;
    const std::string& t = out->text;
    size_t sp1 = t.find(' ');
    if (sp1 != std::string::npos) {
        size_t sp2 = t.find(' ', sp1 + 1);
        std::string code = t.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1);
        out->httpStatus = atoi(code.c_str());
    }
    size_t pos = t.find("\r\n");
    while (pos != std::string::npos) {
        pos += 2;
        size_t eol = t.find("\r\n", pos);
        if (eol == std::string::npos)
            break;
        std::string line = t.substr(pos, eol - pos);
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            break; // the blank line that ends the header
        out->fields.emplace(line.substr(0, colon), line.substr(colon + 1));
        pos = eol;
    }
}

int CheckRangeResponse(const ResponseHead& head, uint32_t received, uint32_t knownTotal,
                       uint32_t* contentLength, uint32_t* total)
{
    if (head.httpStatus != 206)
        return DS_HTTP_STATUS;
    auto len = head.fields.find("Content-Length");
    if (len == head.fields.end())
        return DS_NO_LENGTH;
    *contentLength = 0;
    if (!ReadU32(len->second, 0, contentLength))
        return DS_BAD_RANGE;
    // "bytes START-END/TOTAL": the part must begin exactly where our file ends, or the
    // installer would be stitched together from the wrong pieces.
    auto range = head.fields.find("Content-Range");
    if (range == head.fields.end())
        return DS_BAD_RANGE;
    const std::string& v = range->second;
    size_t slash = v.find('/');
    if (slash == std::string::npos)
        return DS_BAD_RANGE;
    *total = 0;
    if (!ReadU32(v, slash + 1, total))
        return DS_BAD_RANGE;
    if (*total == 0)
        return DS_ZERO_LENGTH;
    size_t unit = v.find("bytes");
    uint32_t start = 0;
    if (unit == std::string::npos || !ReadU32(v, unit + 5, &start) || start != received)
        return DS_BAD_RANGE;
    if (knownTotal != 0 && knownTotal != *total)
        return DS_BAD_RANGE; // the file changed on the server between attempts
    if (start > *total || *contentLength > *total - start)
        return DS_BAD_RANGE;
    return DS_NONE;
}

} // namespace vx
