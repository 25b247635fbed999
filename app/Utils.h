#pragma once
// Small shared helpers: file identities, size and duration texts, converted-file names,
// folder removal, URL encoding, MD5 of a text and the program version.

#include <cstdint>
#include <string>

namespace vx {

// A new random file index: "%08x-%04x-%04x-" then sixteen hexadecimal digits (35 characters).
std::string NewFileIndex();
// "" for x <= 0, else Byte/KB/MB/GB with two decimals above 1024 (strict comparisons).
std::string FormatFileSize(int64_t bytes);
// "" for t <= 0 ms, else "<m>分<s>秒" leaving out zero parts.
std::string FormatDuration(int ms);
// Extension with its dot; ".asc.flv" and ".audioc.flv" are whole extensions. Case is ignored.
std::string GetFileExt(const std::string& name);
std::string GetFileNameNoExt(const std::string& name);
// Removes a folder tree; files that cannot be deleted are logged and skipped.
bool DeleteDirectory(const std::string& path);
// Letters and digits kept, blank -> '+', every other UTF-8 byte -> %XX (upper case).
std::string UrlEncode(const std::string& text);
// 32 upper-case hexadecimal digits of the MD5 of text; empty when hashing fails.
std::string Md5Text(const std::string& text);
std::string ToLower(std::string s);
// "major.minor.build.revision" of this build.
const std::string& GetAppVersion();

} // namespace vx
