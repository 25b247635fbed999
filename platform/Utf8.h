#pragma once
// UTF-8 is the text of the core. These helpers count and cut in code points and convert to and
// from wchar_t (UTF-32 on Linux, UTF-16 on Windows) for libraries and calls with wide interfaces.

#include <cstddef>
#include <string>

namespace vx {

// Number of code points; an invalid byte counts as one.
size_t Utf8Length(const std::string& s);
bool Utf8Valid(const std::string& s);
// The first n code points of s (never splits a sequence).
std::string Utf8Left(const std::string& s, size_t n);
std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& w);
// The locale's multibyte encoding stands in for the ANSI code page; with a UTF-8 locale these
// are identity conversions. Empty input gives empty output.
std::wstring AnsiToWide(const std::string& s);
std::string WideToAnsi(const std::wstring& w);
// Comparisons that ignore the case of ASCII letters (names, schemes, keywords).
bool EqualsNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& s, const std::string& prefix);
bool EndsWithNoCase(const std::string& s, const std::string& suffix);
// s without leading and trailing blanks (space, tab, CR, LF, VT, FF).
std::string Trim(const std::string& s);
// setlocale(LC_ALL, "") and, when that leaves the C locale, C.UTF-8 (non-ASCII file names need it).
void InitUtf8Locale();

} // namespace vx
