#include "platform/Crypto.h"

#include <cstdio>

namespace vx {

std::string NewGuidText()
{
    uint8_t b[16] = {0};
    RandomBytes(b, sizeof(b));
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40); // version 4
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80); // variant
    char text[40];
    snprintf(text, sizeof(text), "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
             b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

bool Md5Bytes(const void* data, size_t len, Md5Digest* out)
{
    CMd5 md5;
    return md5.Update(data, len) && md5.Final(out);
}

std::string DigestHex(const Md5Digest& d, bool upper)
{
    static const char lower[] = "0123456789abcdef";
    static const char capital[] = "0123456789ABCDEF";
    const char* digits = upper ? capital : lower;
    std::string s;
    s.reserve(32);
    for (uint8_t b : d) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

} // namespace vx
