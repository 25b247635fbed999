#include "platform/Utf8.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace vx {

namespace {

// Length of the sequence starting at s[i] when valid, else 0.
size_t SeqLen(const std::string& s, size_t i, uint32_t* cp)
{
    auto b = static_cast<uint8_t>(s[i]);
    size_t n;
    uint32_t c;
    if (b < 0x80) {
        *cp = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        n = 2;
        c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3;
        c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4;
        c = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        auto cb = static_cast<uint8_t>(s[i + k]);
        if ((cb & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (cb & 0x3F);
    }
    static const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < minimum[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *cp = c;
    return n;
}

} // namespace

size_t Utf8Length(const std::string& s)
{
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++count) {
        uint32_t cp;
        size_t n = SeqLen(s, i, &cp);
        i += n ? n : 1;
    }
    return count;
}

bool Utf8Valid(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        uint32_t cp;
        size_t n = SeqLen(s, i, &cp);
        if (!n)
            return false;
        i += n;
    }
    return true;
}

std::string Utf8Left(const std::string& s, size_t n)
{
    size_t i = 0;
    for (size_t count = 0; i < s.size() && count < n; ++count) {
        uint32_t cp;
        size_t len = SeqLen(s, i, &cp);
        i += len ? len : 1;
    }
    return s.substr(0, i);
}

std::wstring Utf8ToWide(const std::string& s)
{
    std::wstring w;
    w.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        uint32_t cp;
        size_t n = SeqLen(s, i, &cp);
        if (!n) {
            cp = 0xFFFD;
            n = 1;
        }
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            // UTF-16 (Windows): a surrogate pair.
            cp -= 0x10000;
            w += static_cast<wchar_t>(0xD800 + (cp >> 10));
            w += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            w += static_cast<wchar_t>(cp);
        }
        i += n;
    }
    return w;
}

std::string WideToUtf8(const std::wstring& w)
{
    std::string s;
    s.reserve(w.size());
    for (size_t i = 0; i < w.size(); ++i) {
        auto c = static_cast<uint32_t>(w[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            // UTF-16 (Windows): join a surrogate pair; a lone half becomes U+FFFD below.
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size()) {
                auto lo = static_cast<uint32_t>(w[i + 1]) & 0xFFFF;
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                    ++i;
                }
            }
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            s += static_cast<char>(c);
        } else if (c < 0x800) {
            s += static_cast<char>(0xC0 | (c >> 6));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            s += static_cast<char>(0xE0 | (c >> 12));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (c >> 18));
            s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return s;
}

std::wstring AnsiToWide(const std::string& s)
{
    if (s.empty())
        return std::wstring();
    std::mbstate_t st{};
    const char* src = s.c_str();
    size_t n = std::mbsrtowcs(nullptr, &src, 0, &st);
    if (n == static_cast<size_t>(-1))
        return Utf8ToWide(s);
    std::wstring w(n, L'\0');
    src = s.c_str();
    st = std::mbstate_t{};
    std::mbsrtowcs(w.data(), &src, n, &st);
    return w;
}

std::string WideToAnsi(const std::wstring& w)
{
    if (w.empty())
        return std::string();
    std::mbstate_t st{};
    const wchar_t* src = w.c_str();
    size_t n = std::wcsrtombs(nullptr, &src, 0, &st);
    if (n == static_cast<size_t>(-1))
        return WideToUtf8(w);
    std::string s(n, '\0');
    src = w.c_str();
    st = std::mbstate_t{};
    std::wcsrtombs(s.data(), &src, n, &st);
    return s;
}

std::string Trim(const std::string& s)
{
    const char* ws = " \t\r\n\v\f";
    size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

void InitUtf8Locale()
{
    const char* now = setlocale(LC_ALL, "");
    if (!now || strcmp(now, "C") == 0 || strcmp(now, "POSIX") == 0) {
        if (!setlocale(LC_ALL, "C.UTF-8"))
            setlocale(LC_ALL, "C.utf8");
    }
    // Numbers in logs, INI files and wire texts always use '.'.
    setlocale(LC_NUMERIC, "C");
}

namespace {

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNoCase(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

} // namespace

bool EqualsNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && SameNoCase(a.data(), b.data(), a.size());
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && SameNoCase(s.data(), prefix.data(), prefix.size());
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() &&
           SameNoCase(s.data() + s.size() - suffix.size(), suffix.data(), suffix.size());
}

} // namespace vx
