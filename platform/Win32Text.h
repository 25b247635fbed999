#pragma once
// Shared by the Windows side of platform/: UTF-8 at our boundary, wide characters for the
// system, '/' in every path we hand out, and the system's error codes as errno values.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace vx::win {

// UTF-8 to UTF-16 for a system call, and back.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide);
// A path for the system: '/' turned into '\'.
std::wstring WidePath(const std::string& utf8);
// A path from the system: '\' turned into '/'.
std::string PathText(const std::wstring& wide);

// The errno value closest to a Win32 (or Winsock) error code; EIO when none is close.
int ErrnoOf(DWORD error);
// Sets errno from GetLastError() and returns false, for one-line failure returns.
bool FailWithLastError();

} // namespace vx::win
