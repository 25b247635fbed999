#pragma once
// The digest of a file to upload and its upload length. Documents (PDF, SWF) are hashed whole;
// everything else is fingerprinted by a sampling rule over 1024-byte blocks: block k is hashed
// when k is a multiple of the rule, and every byte is still read and counted. The file server
// computes the same digest, so the sampling must never change.

#include <atomic>
#include <cstdint>
#include <string>

namespace vx {

// Result codes of GetFileMd5ByRule.
enum : int
{
    MD5_OK = 0,
    MD5_STOPPED = 1,       // the stop flag was seen; the result is incomplete and not to be used
    MD5_FILE_MISSING = -1, // no regular file at the path
    MD5_READ_FAILED = -2   // the file could not be opened or a read failed part-way
};

constexpr int kMd5BlockSize = 1024;

struct FileMd5Result
{
    std::string strMd5;    // 32 lower-case hexadecimal digits
    int64_t i64Length = 0; // bytes read: the whole file length on success
    int nErrno = 0;        // the system error behind a failure (0 when none)
};

// True when the path is digested whole: its last four characters, in lower case, contain
// ".pdf" or ".swf" and not ".flv".
bool IsWholeFileMd5(const std::string& path);

// A rule of 0 or below would divide by zero: it is taken as 1 (every block).
inline int EffectiveMd5Rule(int rule)
{
    return rule <= 0 ? 1 : rule;
}

// Hashes path; whole mode feeds every byte, else one block in `rule`. stop (may be null) is
// tested between chunks, so a stop is seen within a few milliseconds even on a huge file.
// Returns an MD5_* code; *out is complete only for MD5_OK.
int GetFileMd5ByRule(const std::string& path, int rule, bool whole, const std::atomic<bool>* stop,
                     FileMd5Result* out);

// The same with the mode chosen from the path (IsWholeFileMd5).
int GetFileMd5(const std::string& path, int rule, const std::atomic<bool>* stop, FileMd5Result* out);

} // namespace vx
