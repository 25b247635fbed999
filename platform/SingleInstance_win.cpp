#include "platform/SingleInstance.h"

#include "platform/Win32Text.h"

#include <cstdio>

namespace vx {

namespace {

// The program's mutex name, made per lock file, so that two data folders (tests, portable
// copies) are two instances. "Local\" keeps it to this user's session.
std::wstring MutexName(const std::string& lockPath)
{
    uint64_t h = 1469598103934665603ull; // FNV-1a over the lower-case path
    for (char c : lockPath) {
        char l = c == '\\' ? '/' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        h = (h ^ static_cast<unsigned char>(l)) * 1099511628211ull;
    }
    wchar_t tail[24];
    swprintf(tail, 24, L"-%016llx", static_cast<unsigned long long>(h));
    return std::wstring(L"Local\\{267EFF3D-C5E3-4af0-85E3-3A0954108509}") + tail;
}

} // namespace

CSingleInstance::~CSingleInstance()
{
    if (m_fd >= 0)
        CloseHandle(reinterpret_cast<HANDLE>(m_fd));
}

bool CSingleInstance::IsAnotherInstanceRunning()
{
    if (m_fd >= 0)
        return false;
    HANDLE h = CreateMutexW(nullptr, FALSE, MutexName(m_path).c_str());
    if (!h)
        return false; // no mutex could be made: run rather than refuse
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        return true;
    }
    m_fd = reinterpret_cast<intptr_t>(h);
    return false;
}

} // namespace vx
