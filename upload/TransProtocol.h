#pragma once
// The upload protocol's wire records. Every integer is little-endian and nothing is padded, so
// the records are written and read field by field, never by casting a struct over the bytes.
//
//   announce (client): len16 = n + 69, kind 0, new-upload flag, start, end, raw MD5, parent
//                      folder id, file id, organisation id, user id, type, n, name, version
//   answer   (server): len16, kind (0 answer, 1 digest confirmation), result, range start,
//                      range end, MD5 held by the server, file id
//   confirmation     : exactly 7 bytes after the data: len16 = 0, kind 1, result

#include <cstddef>
#include <cstdint>
#include <string>

namespace vx {

constexpr size_t kTransHeadLen = 7;      // len16, kind, result: every message starts so
constexpr size_t kTransAnswerLen = 55;   // bytes an answer needs for its range, MD5 and file id
constexpr size_t kTransFixedLen = 76;    // announce length without the name
constexpr uint8_t kTransKindAnswer = 0;  // answer to an announce (and the announce's own kind)
constexpr uint8_t kTransKindConfirm = 1; // digest confirmation
constexpr uint8_t kTransKindTest = 2;    // speed test

// Server result values the client tells apart.
constexpr int32_t kSrvOk = 1;
constexpr int32_t kSrvRefused4 = -4;
constexpr int32_t kSrvBusy = -5; // the same content is being uploaded on another connection
constexpr int32_t kSrvRefused6 = -6;
constexpr int32_t kSrvRefused30000 = -30000;

// The announce's fields. md5 holds the 16 raw digest bytes.
struct TransAnnounce
{
    int64_t i64Start = 0;
    int64_t i64End = 0;
    std::string md5;
    int64_t i64DirId = 0;
    int64_t i64FileId = 0;
    int64_t i64OrgId = 0;
    int64_t i64UserId = 0;
    uint8_t cFileType = 0;
    std::string strName; // already encoded (EncodeUploadName)
    uint16_t usVersion = 0;
};

// Bytes of the announce; empty when the name is too long for the 16-bit length field.
std::string BuildTransAnnounce(const TransAnnounce& a);

// An answer as read. bFull: the answer was long enough to carry range, MD5 and file id; when it
// is not, those fields are zero and must not be trusted.
struct TransAnswer
{
    uint16_t usLen = 0;
    uint8_t cKind = 0;
    int32_t nResult = 0;
    int64_t i64RangeStart = 0;
    int64_t i64RangeEnd = 0;
    std::string md5; // 16 raw bytes, or empty when !bFull
    int64_t i64FileId = 0;
    bool bFull = false;
};

// Reads the header and, when len >= kTransAnswerLen, the rest. False when len < 7.
bool ParseTransAnswer(const void* buf, size_t len, TransAnswer* out);

// The 7-byte speed-test request (len 0, kind 2, value 0).
std::string BuildTestRequest();

// A name as the platform is given it: every control character (a line break, a tab, DEL) becomes
// a blank. The platform refuses names holding them, while a local file or folder may well carry
// one; the local path itself is never changed.
std::string RemoteName(std::string name);

// Name of the file as announced (RemoteName of it): the name without its last extension, UTF-8,
// percent-encoded byte by byte (letters and digits kept, blank as '+'), then the extension with its dot in
// lower case and not encoded. "lesson 1.MP4.asc.FLV" -> "lesson+1%2EMP4%2Easc.flv".
std::string EncodeUploadName(const std::string& path);

// The program version with the dots removed, read as a decimal number and kept in 16 bits:
// "2.0.1.5" -> 2015.
uint16_t ProgramVersionNumber(const std::string& version);

// Wait steps of 100 ms for one answer: the server digests the whole file before it confirms,
// so big files get longer: recvnum x 1 below 200 MiB, else recvnum x max(4, MiB / 200).
int RecvWaitFactor(int64_t endPos);
int RecvWaitSteps(int64_t endPos, int recvNum);

// Little-endian helpers shared with the speed test.
void PutLe(std::string* out, uint64_t v, int bytes);
uint64_t GetLe(const unsigned char* p, int bytes);

} // namespace vx
