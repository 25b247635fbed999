#include "media/FileMd5.h"

#include "app/Utils.h"
#include "platform/Crypto.h"
#include "platform/File.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace vx {
namespace {

// Large reads keep the system-call count low; a multiple of the block size so that every
// chunk but the last starts on a block boundary. Small enough to stay in the cache while hashed.
constexpr size_t kChunkSize = 256 * 1024;
static_assert(kChunkSize % kMd5BlockSize == 0, "chunks must hold whole blocks");

// The last n code points of a UTF-8 text.
std::string Utf8Right(const std::string& s, size_t n)
{
    size_t pos = s.size();
    while (pos > 0 && n > 0) {
        --pos;
        while (pos > 0 && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80)
            --pos;
        --n;
    }
    return s.substr(pos);
}

} // namespace

bool IsWholeFileMd5(const std::string& path)
{
    std::string tail = ToLower(Utf8Right(path, 4));
    if (tail.find(".flv") != std::string::npos)
        return false;
    return tail.find(".pdf") != std::string::npos || tail.find(".swf") != std::string::npos;
}

int GetFileMd5ByRule(const std::string& path, int rule, bool whole, const std::atomic<bool>* stop,
                     FileMd5Result* out)
{
    FileMd5Result result;
    rule = EffectiveMd5Rule(rule);
    if (!FileExists(path)) {
        result.nErrno = ENOENT;
        if (out)
            *out = result;
        return MD5_FILE_MISSING;
    }
    CFile file;
    if (!file.Open(path, CFile::Mode::ReadSequential)) {
        result.nErrno = file.LastError();
        if (out)
            *out = result;
        return MD5_READ_FAILED;
    }

    std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunkSize]);
    CMd5 md5;
    bool hashAll = whole || rule == 1;
    int code = MD5_OK;
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            code = MD5_STOPPED;
            break;
        }
        int64_t n = file.ReadFull(buf.get(), kChunkSize);
        if (n < 0) {
            // A failed read is not the end of the file: a digest of part of it would be wrong.
            result.nErrno = file.LastError();
            code = MD5_READ_FAILED;
            break;
        }
        size_t len = static_cast<size_t>(n);
        if (hashAll) {
            md5.Update(buf.get(), len);
        } else {
            // result.i64Length is a multiple of the block size here, so block numbers carry on.
            int64_t firstBlock = result.i64Length / kMd5BlockSize;
            for (size_t off = 0; off < len; off += kMd5BlockSize) {
                int64_t k = firstBlock + static_cast<int64_t>(off / kMd5BlockSize);
                if (k % rule == 0)
                    md5.Update(buf.get() + off, std::min<size_t>(kMd5BlockSize, len - off));
            }
        }
        result.i64Length += static_cast<int64_t>(len);
        if (len < kChunkSize)
            break; // end of the file
    }
    if (code == MD5_OK) {
        Md5Digest d;
        if (!md5.Final(&d)) {
            code = MD5_READ_FAILED;
        } else {
            result.strMd5 = DigestHex(d);
        }
    }
    if (out)
        *out = result;
    return code;
}

int GetFileMd5(const std::string& path, int rule, const std::atomic<bool>* stop, FileMd5Result* out)
{
    return GetFileMd5ByRule(path, rule, IsWholeFileMd5(path), stop, out);
}

} // namespace vx
