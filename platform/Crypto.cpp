#include "platform/Crypto.h"

#include <cstdio>
#include <openssl/evp.h>
#include <sys/random.h>

namespace vx {

bool RandomBytes(void* buf, size_t len)
{
    auto* p = static_cast<uint8_t*>(buf);
    while (len > 0) {
        ssize_t n = getrandom(p, len, 0);
        if (n <= 0)
            return false;
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

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

CMd5::CMd5() : m_ctx(EVP_MD_CTX_new()), m_ok(false)
{
    if (m_ctx)
        m_ok = EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(m_ctx), EVP_md5(), nullptr) == 1;
}

CMd5::~CMd5()
{
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_ctx));
}

bool CMd5::Update(const void* data, size_t len)
{
    if (!m_ok)
        return false;
    m_ok = EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(m_ctx), data, len) == 1;
    return m_ok;
}

bool CMd5::Final(Md5Digest* out)
{
    if (!m_ok)
        return false;
    unsigned int n = 0;
    m_ok = EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(m_ctx), out->data(), &n) == 1 && n == 16;
    bool ok = m_ok;
    m_ok = false;
    return ok;
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
