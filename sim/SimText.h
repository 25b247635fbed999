#pragma once
// Small text and byte helpers of the simulator: query decoding, name checks, little-endian
// fields and the sampled file digest. Written for the server side only; the client has its own.

#include <cstdint>
#include <string>

namespace vx::sim {

// Percent-decoding as a form decoder does it: "+" is a blank, "%XX" a byte. A "%" that is not
// followed by two hexadecimal digits stays as it is.
std::string UrlDecode(const std::string& text);

// True when the bytes form well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& text);

// Checks a decoded folder or file name as a user named it: not empty, not only blanks, valid
// UTF-8, no control characters, no path separators, not "." or "..", at most 260 code points.
// On failure *why gets a short user-facing reason.
bool IsAcceptableName(const std::string& name, std::string* why);

// Lower-case extension after the last '.', without the dot ("" when there is none).
std::string LowerExt(const std::string& name);
std::string ToLowerAscii(std::string text);

uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
uint64_t GetU64(const uint8_t* p);
void PutU16(uint8_t* p, uint16_t v);
void PutU32(uint8_t* p, uint32_t v);
void PutU64(uint8_t* p, uint64_t v);

std::string HexOf(const uint8_t* bytes, size_t len);
// 32 hexadecimal digits -> 16 bytes; false on any other text.
bool ParseMd5Hex(const std::string& hex, uint8_t out[16]);

// Digest of a stored file as the client computes it: whole when `whole`, otherwise only the
// 1024-byte blocks whose index is a multiple of rule (rule <= 0 counts as 1). *length gets the
// file size. False when the file cannot be read.
bool FileDigest(const std::string& path, bool whole, int rule, uint8_t out[16], int64_t* length);

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string NowText();

// A request target with the value of every j_password parameter replaced by "***", for logs.
std::string MaskPassword(const std::string& target);

// Parses a decimal 64-bit number that fills the whole text; false otherwise.
bool ParseInt64(const std::string& text, int64_t* out);

} // namespace vx::sim
