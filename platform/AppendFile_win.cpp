#include "platform/AppendFile.h"

#include "platform/Win32Text.h"

namespace vx {

namespace {

HANDLE OpenForAppend(const std::wstring& path)
{
    // FILE_APPEND_DATA alone: every write lands at the end, whoever else writes meanwhile.
    // Others may read, write, rename and delete it, as on Linux.
    return CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool IdentityOf(HANDLE h, uint64_t* dev, uint64_t* ino, int64_t* size)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info))
        return false;
    *dev = info.dwVolumeSerialNumber;
    *ino = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    if (size)
        *size = (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

bool IdentityOfPath(const std::wstring& path, uint64_t* dev, uint64_t* ino)
{
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = IdentityOf(h, dev, ino, nullptr);
    CloseHandle(h);
    return ok;
}

// The openers' lock: one byte far past any end of file, so writers are never held up by it.
constexpr DWORD kLockHigh = 0x7FFFFFFF;

} // namespace

bool CAppendFile::Open(const std::string& path, int64_t rotateAt, const std::string& backupPath)
{
    Close();
    m_path = path;
    const std::wstring wide = win::WidePath(path);
    for (int round = 0; round < 8; ++round) {
        HANDLE h = OpenForAppend(wide);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        uint64_t dev = 0, ino = 0;
        int64_t size = 0;
        if (rotateAt > 0 && !backupPath.empty()) {
            OVERLAPPED ov{};
            ov.OffsetHigh = kLockHigh;
            LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov);
            uint64_t nd = 0, ni = 0;
            if (!IdentityOf(h, &dev, &ino, &size) || !IdentityOfPath(wide, &nd, &ni) || nd != dev ||
                ni != ino) {
                CloseHandle(h); // set aside while we waited: open the new one
                continue;
            }
            if (size >= rotateAt) {
                bool moved = MoveFileExW(wide.c_str(), win::WidePath(backupPath).c_str(),
                                         MOVEFILE_REPLACE_EXISTING) != 0;
                CloseHandle(h);
                if (!moved)
                    return false;
                continue;
            }
            UnlockFileEx(h, 0, 1, 0, &ov);
        } else if (!IdentityOf(h, &dev, &ino, nullptr)) {
            CloseHandle(h);
            return false;
        }
        m_fd = reinterpret_cast<intptr_t>(h);
        m_dev = dev;
        m_ino = ino;
        return true;
    }
    return false;
}

void CAppendFile::Close()
{
    if (m_fd >= 0)
        CloseHandle(reinterpret_cast<HANDLE>(m_fd));
    m_fd = -1;
}

bool CAppendFile::Append(const char* data, size_t len)
{
    if (m_fd < 0)
        return false;
    // Appends of several processes are serialised by a lock on a byte of their own (next to the
    // openers' one): Windows lands each append whole at the end by itself, Wine does not always.
    HANDLE h = reinterpret_cast<HANDLE>(m_fd);
    OVERLAPPED ov{};
    ov.Offset = 1;
    ov.OffsetHigh = kLockHigh;
    const bool locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov) != 0;
    DWORD n = 0;
    const bool ok = WriteFile(h, data, static_cast<DWORD>(len), &n, nullptr) && n == len;
    if (locked)
        UnlockFileEx(h, 0, 1, 0, &ov);
    return ok;
}

bool CAppendFile::Replaced() const
{
    if (m_fd < 0)
        return false;
    uint64_t dev = 0, ino = 0;
    if (!IdentityOfPath(win::WidePath(m_path), &dev, &ino))
        return true;
    return dev != m_dev || ino != m_ino;
}

} // namespace vx
