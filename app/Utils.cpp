#include "app/Utils.h"

#include "app/LogFile.h"
#include "app/Version.h"
#include "platform/Crypto.h"
#include "platform/FileOps.h"
#include "platform/Utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vx {

std::string NewFileIndex()
{
    uint8_t b[16] = {0};
    RandomBytes(b, sizeof(b));
    char text[40];
    unsigned d1 = (unsigned(b[0]) << 24) | (unsigned(b[1]) << 16) | (unsigned(b[2]) << 8) | b[3];
    unsigned d2 = (unsigned(b[4]) << 8) | b[5];
    unsigned d3 = (unsigned(b[6]) << 8) | b[7];
    snprintf(text, sizeof(text), "%08x-%04x-%04x-%02x%02x%02x%02x%02x%02x%02x%02x", d1, d2, d3, b[8], b[9],
             b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string FormatFileSize(int64_t x)
{
    char buf[64];
    if (x <= 0)
        return std::string();
    if (x > 1073741824LL)
        snprintf(buf, sizeof(buf), "%0.2fGB", static_cast<double>(x) / 1073741824.0);
    else if (x > 1048576LL)
        snprintf(buf, sizeof(buf), "%0.2fMB", static_cast<double>(x) / 1048576.0);
    else if (x > 1024LL)
        snprintf(buf, sizeof(buf), "%0.2fKB", static_cast<double>(x) / 1024.0);
    else
        snprintf(buf, sizeof(buf), "%dByte", static_cast<int>(x));
    return buf;
}

std::string FormatDuration(int t)
{
    if (t <= 0)
        return std::string();
    int m = t / 60000;
    int s = t / 1000 - 60 * m;
    std::string text;
    if (m > 0)
        text += std::to_string(m) + "分";
    if (s > 0)
        text += std::to_string(s) + "秒";
    return text;
}

namespace {

// Length of the extension part of name (0 when there is none).
size_t ExtLength(const std::string& name)
{
    // The minimum lengths count characters; ".asc.flv" alone is 8, so a name needs one more.
    size_t chars = Utf8Length(name);
    if (chars >= 9 && EndsWithNoCase(name, ".asc.flv"))
        return 8;
    if (chars >= 12 && EndsWithNoCase(name, ".audioc.flv"))
        return 11;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return 0;
    return name.size() - dot;
}

} // namespace

std::string GetFileExt(const std::string& name)
{
    return name.substr(name.size() - ExtLength(name));
}

std::string GetFileNameNoExt(const std::string& name)
{
    return name.substr(0, name.size() - ExtLength(name));
}

bool DeleteDirectory(const std::string& path)
{
    return RemoveTree(path, [](const std::string& file, int code) {
        Log(g_log, "Error: filename: %s  delete  is failed  code:%d", file.c_str(), code);
    });
}

std::string UrlEncode(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string Md5Text(const std::string& text)
{
    Md5Digest d;
    if (!Md5Bytes(text.data(), strnlen(text.c_str(), text.size()), &d))
        return std::string();
    return DigestHex(d, true);
}

std::string ToLower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

const std::string& GetAppVersion()
{
    static const std::string version = VX_VERSION_TEXT;
    return version;
}

} // namespace vx
