#pragma once
// The text side of an installer download, free of sockets and files: splitting the address,
// the range request, finding and reading the response header, and checking a 206 answer.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace vx {

struct DownloadUrl
{
    std::string hostName; // host without the port
    bool tls = false;     // an https:// address: TLS on port 443 unless another is named
    uint16_t port = 80;
    std::string path; // request target from the "/" after the host, with the cache-buster
};

// Where the installer is written: tempFolder + the text after the URL's last "/", or
// "VXTemp" when the URL has none. url has its backslashes already turned into "/".
std::string DownloadTempPath(const std::string& url, const std::string& tempFolder);

// Splits url (backslashes already turned into "/"). tick is the millisecond count put into the
// "?random=" cache-buster. Returns DS_NONE, or DS_PARSE_URL when no "/" follows the host.
int SplitDownloadUrl(const std::string& url, unsigned tick, DownloadUrl* out);

// The GET request asking for the file from byte `start` on.
std::string BuildRangeRequest(const DownloadUrl& u, uint32_t start);

// Length of the header ("\r\n\r\n" included) at the start of buf, or 0 while incomplete.
size_t FindHeaderEnd(const char* buf, size_t len);

struct ResponseHead
{
    int httpStatus = 0;
    // Names exactly as sent; values after the ":" (leading blank kept). The first one wins.
    std::map<std::string, std::string> fields;
    std::string text;
};
void ParseResponseHead(const char* buf, size_t headerLen, ResponseHead* out);

// Checks a response to a request for the range from `received` on. knownTotal is the total
// length learnt by an earlier attempt (0 before the first). Sets *contentLength (this body)
// and *total (the whole file). Returns DS_NONE or the failure code.
int CheckRangeResponse(const ResponseHead& head, uint32_t received, uint32_t knownTotal,
                       uint32_t* contentLength, uint32_t* total);

} // namespace vx
