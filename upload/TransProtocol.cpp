#include "upload/TransProtocol.h"

#include "app/Utils.h"

#include <algorithm>

namespace vx {

void PutLe(std::string* out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint64_t GetLe(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

std::string BuildTransAnnounce(const TransAnnounce& a)
{
    const size_t n = a.strName.size();
    if (n + 69 > 0xFFFF)
        return {};
    std::string out;
    out.reserve(n + kTransFixedLen);
    PutLe(&out, n + 69, 2);
    PutLe(&out, kTransKindAnswer, 1);
    PutLe(&out, a.i64Start == 0 ? 1 : 0, 4);
    PutLe(&out, static_cast<uint64_t>(a.i64Start), 8);
    PutLe(&out, static_cast<uint64_t>(a.i64End), 8);
    std::string md5 = a.md5;
    md5.resize(16, '\0');
    out += md5;
    PutLe(&out, static_cast<uint64_t>(a.i64DirId), 8);
    PutLe(&out, static_cast<uint64_t>(a.i64FileId), 8);
    PutLe(&out, static_cast<uint64_t>(a.i64OrgId), 8);
    PutLe(&out, static_cast<uint64_t>(a.i64UserId), 8);
    PutLe(&out, a.cFileType, 1);
    PutLe(&out, n, 2);
    out += a.strName;
    PutLe(&out, a.usVersion, 2);
    return out;
}

bool ParseTransAnswer(const void* buf, size_t len, TransAnswer* out)
{
    *out = TransAnswer();
    if (len < kTransHeadLen)
        return false;
    const auto* p = static_cast<const unsigned char*>(buf);
    out->usLen = static_cast<uint16_t>(GetLe(p, 2));
    out->cKind = p[2];
    out->nResult = static_cast<int32_t>(static_cast<uint32_t>(GetLe(p + 3, 4)));
    if (len >= kTransAnswerLen) {
        out->i64RangeStart = static_cast<int64_t>(GetLe(p + 7, 8));
        out->i64RangeEnd = static_cast<int64_t>(GetLe(p + 15, 8));
        out->md5.assign(reinterpret_cast<const char*>(p + 23), 16);
        out->i64FileId = static_cast<int64_t>(GetLe(p + 47, 8));
        out->bFull = true;
    }
    return true;
}

std::string BuildTestRequest()
{
    std::string out;
    PutLe(&out, 0, 2);
    PutLe(&out, kTransKindTest, 1);
    PutLe(&out, 0, 4);
    return out;
}

std::string RemoteName(std::string name)
{
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return name;
}

std::string EncodeUploadName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    std::string name = RemoteName(slash == std::string::npos ? path : path.substr(slash + 1));
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return UrlEncode(name);
    return UrlEncode(name.substr(0, dot)) + ToLower(name.substr(dot));
}

uint16_t ProgramVersionNumber(const std::string& version)
{
    uint64_t v = 0;
    for (char c : version) {
        if (c >= '0' && c <= '9')
            v = (v * 10 + static_cast<uint64_t>(c - '0')) & 0xFFFFFFFFull;
        else if (c != '.')
            break;
    }
    return static_cast<uint16_t>(v & 0xFFFF);
}

int RecvWaitFactor(int64_t endPos)
{
    int64_t mib = endPos / 1048576;
    if (mib < 200)
        return 1;
    int64_t f = std::max<int64_t>(4, mib / 200);
    return static_cast<int>(std::min<int64_t>(f, 1 << 20));
}

int RecvWaitSteps(int64_t endPos, int recvNum)
{
    int64_t steps = static_cast<int64_t>(std::max(recvNum, 1)) * RecvWaitFactor(endPos);
    return static_cast<int>(std::min<int64_t>(steps, 1 << 30));
}

} // namespace vx
