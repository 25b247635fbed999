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

} // namespace vx
