#include "platform/FileLock.h"

#include "platform/Win32Text.h"

#include <cstring>

namespace vx {

namespace {

HANDLE H(intptr_t v)
{
    return reinterpret_cast<HANDLE>(v);
}

// The lock covers one byte far past the owner's line: a locked range cannot be read by the
// others on Windows, and they must read who holds it.
constexpr DWORD kLockOffsetHigh = 1;

bool LockRange(HANDLE h)
{
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

} // namespace

bool CFileLock::TryLock(const std::string& owner, std::string* holder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0)
        return true;
    // Not inherited: a child (an encoder) must never keep the lock after we are gone.
    HANDLE h = CreateFileW(win::WidePath(m_path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (holder)
            *holder = m_path + ": " + std::strerror(win::ErrnoOf(GetLastError()));
        return false;
    }
    if (!LockRange(h)) {
        if (holder) {
            holder->clear();
            char buf[512];
            DWORD n = 0;
            OVERLAPPED at{};
            if (ReadFile(h, buf, sizeof(buf), &n, &at) && n > 0)
                holder->assign(buf, n);
            while (!holder->empty() && (holder->back() == '\n' || holder->back() == '\0'))
                holder->pop_back();
        }
        CloseHandle(h);
        return false;
    }
    // The text only informs the others; the lock holds without it.
    const std::string line = owner + "\n";
    DWORD written = 0;
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    m_fd = reinterpret_cast<intptr_t>(h);
    return true;
}

void CFileLock::Unlock()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0)
        return;
    HANDLE h = H(m_fd);
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h); // releases the lock
    m_fd = -1;
}

} // namespace vx
