#pragma once
// Random identities and MD5 digests (OpenSSL EVP).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vx {

// Fills buf with len bytes from the operating system's random source.
bool RandomBytes(void* buf, size_t len);

// A fresh random GUID in registry form, lower case: 8-4-4-4-12 hexadecimal digits.
std::string NewGuidText();

using Md5Digest = std::array<uint8_t, 16>;

// Incremental MD5; Final may be called once.
class CMd5
{
public:
    CMd5();
    ~CMd5();
    CMd5(const CMd5&) = delete;
    CMd5& operator=(const CMd5&) = delete;
    bool Update(const void* data, size_t len);
    bool Final(Md5Digest* out);

private:
    void* m_ctx; // EVP_MD_CTX, kept opaque so OpenSSL headers stay out of ours
    bool m_ok;
};

bool Md5Bytes(const void* data, size_t len, Md5Digest* out);
// Hexadecimal text of a digest, lower or upper case.
std::string DigestHex(const Md5Digest& d, bool upper = false);

} // namespace vx
