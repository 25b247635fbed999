#include "sim/SimText.h"

#include "platform/Crypto.h"
#include "platform/File.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace vx::sim {

namespace {

int HexVal(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

size_t CountCodePoints(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

} // namespace

std::string UrlDecode(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexVal(text[i + 1]) >= 0 && HexVal(text[i + 2]) >= 0) {
            out += static_cast<char>(HexVal(text[i + 1]) * 16 + HexVal(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool IsValidUtf8(const std::string& text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

bool IsAcceptableName(const std::string& name, std::string* why)
{
    auto fail = [&](const char* text) {
        if (why)
            *why = text;
        return false;
    };
    if (name.find_first_not_of(" \t") == std::string::npos)
        return fail("名称不能为空");
    if (!IsValidUtf8(name))
        return fail("名称不是有效的UTF-8文本");
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F)
            return fail("名称不能包含控制字符");
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
        return fail("名称不能包含路径分隔符");
    if (name == "." || name == "..")
        return fail("名称无效");
    if (CountCodePoints(name) > 260)
        return fail("名称过长");
    return true;
}

std::string ToLowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string LowerExt(const std::string& name)
{
    size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return "";
    return ToLowerAscii(name.substr(dot + 1));
}

uint16_t GetU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t GetU64(const uint8_t* p)
{
    return static_cast<uint64_t>(GetU32(p)) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
}
void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU64(uint8_t* p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string HexOf(const uint8_t* bytes, size_t len)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < len; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

bool ParseMd5Hex(const std::string& hex, uint8_t out[16])
{
    if (hex.size() != 32)
        return false;
    for (size_t i = 0; i < 16; ++i) {
        int hi = HexVal(hex[2 * i]), lo = HexVal(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

bool FileDigest(const std::string& path, bool whole, int rule, uint8_t out[16], int64_t* length)
{
    if (rule <= 0)
        rule = 1;
    CFile file;
    if (!file.Open(path, CFile::Mode::Read))
        return false;
    CMd5 md5;
    int64_t size = file.Size();
    if (size < 0)
        return false;
    // Large reads, hashing only the sampled 1024-byte blocks inside each: one system call per
    // 256 samples keeps a multi-gigabyte check quick, with the same result as reading block by
    // block.
    const int64_t stride = whole ? 1024 : 1024 * static_cast<int64_t>(rule);
    const int64_t chunk = stride * 256;
    std::vector<uint8_t> buf(static_cast<size_t>(chunk));
    bool ok = true;
    for (int64_t off = 0; off < size && ok; off += chunk) {
        int64_t want = std::min<int64_t>(chunk, size - off);
        if (file.ReadAt(buf.data(), static_cast<size_t>(want), off) != want)
            ok = false;
        for (int64_t b = 0; ok && b < want; b += stride)
            md5.Update(buf.data() + b, static_cast<size_t>(std::min<int64_t>(1024, want - b)));
    }
    file.Close();
    Md5Digest d{};
    if (!ok || !md5.Final(&d))
        return false;
    for (int i = 0; i < 16; ++i)
        out[i] = d[static_cast<size_t>(i)];
    if (length)
        *length = size;
    return true;
}

std::string NowText()
{
    time_t t = time(nullptr);
    struct tm tmv = LocalTimeOf(t);
    char buf[32];
    strftime(buf, sizeof(buf), "%Y-%m-%d %H:%M:%S", &tmv);
    return buf;
}

bool ParseInt64(const std::string& text, int64_t* out)
{
    if (text.empty() || text.size() > 20)
        return false;
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size())
        return false;
    *out = v;
    return true;
}

std::string MaskPassword(const std::string& target)
{
    static const std::string kTag = "j_password=";
    std::string out = target;
    size_t pos = 0;
    while ((pos = out.find(kTag, pos)) != std::string::npos) {
        // Only a parameter name: right after "?" or "&".
        size_t start = pos + kTag.size();
        if (pos > 0 && out[pos - 1] != '?' && out[pos - 1] != '&') {
            pos = start;
            continue;
        }
        size_t end = out.find('&', start);
        out.replace(start, (end == std::string::npos ? out.size() : end) - start, "***");
        pos = start + 3;
    }
    return out;
}

} // namespace vx::sim
