#include "platform/Crypto.h"

#include "platform/Win32Text.h"

#include <bcrypt.h>

namespace vx {

namespace {

// One MD5 algorithm provider for the process; hashes are cheap objects made from it.
BCRYPT_ALG_HANDLE Md5Provider()
{
    static BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        if (BCryptOpenAlgorithmProvider(&h, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0)
            h = nullptr;
        return h;
    }();
    return provider;
}

} // namespace

bool RandomBytes(void* buf, size_t len)
{
    auto* p = static_cast<uint8_t*>(buf);
    while (len > 0) {
        ULONG n = static_cast<ULONG>(len > (1u << 30) ? (1u << 30) : len);
        if (BCryptGenRandom(nullptr, p, n, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
            return false;
        p += n;
        len -= n;
    }
    return true;
}

CMd5::CMd5() : m_ctx(nullptr), m_ok(false)
{
    BCRYPT_ALG_HANDLE alg = Md5Provider();
    BCRYPT_HASH_HANDLE h = nullptr;
    if (alg && BCryptCreateHash(alg, &h, nullptr, 0, nullptr, 0, 0) == 0) {
        m_ctx = h;
        m_ok = true;
    }
}

CMd5::~CMd5()
{
    if (m_ctx)
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(m_ctx));
}

bool CMd5::Update(const void* data, size_t len)
{
    if (!m_ok)
        return false;
    auto* p = static_cast<UCHAR*>(const_cast<void*>(data));
    while (m_ok && len > 0) {
        ULONG n = static_cast<ULONG>(len > (1u << 30) ? (1u << 30) : len);
        m_ok = BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(m_ctx), p, n, 0) == 0;
        p += n;
        len -= n;
    }
    return m_ok;
}

bool CMd5::Final(Md5Digest* out)
{
    if (!m_ok)
        return false;
    m_ok = false;
    return BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(m_ctx), out->data(), 16, 0) == 0;
}

} // namespace vx
