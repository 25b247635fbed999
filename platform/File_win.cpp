#include "platform/File.h"

#include "platform/Win32Text.h"

#include <algorithm>
#include <cerrno>

namespace vx {

namespace {

HANDLE H(intptr_t h)
{
    return reinterpret_cast<HANDLE>(h);
}

} // namespace

bool CFile::Open(const std::string& path, Mode mode)
{
    Close();
    const bool write = mode == Mode::Write;
    DWORD flags = mode == Mode::ReadSequential ? FILE_FLAG_SEQUENTIAL_SCAN : FILE_ATTRIBUTE_NORMAL;
    // Others may read, write, rename and delete meanwhile, as on Linux.
    HANDLE h = CreateFileW(win::WidePath(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           write ? OPEN_ALWAYS : OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_error = win::ErrnoOf(GetLastError());
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(h);
    return true;
}

bool CFile::CreateFresh(const std::string& path, bool /*executable*/)
{
    Close();
    const std::wstring wide = win::WidePath(path);
    DeleteFileW(wide.c_str());
    // CREATE_NEW never opens what is already there, a link included.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_error = win::ErrnoOf(GetLastError());
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(h);
    return true;
}

void CFile::Close()
{
    if (m_handle != kInvalid) {
        CloseHandle(H(m_handle));
        m_handle = kInvalid;
    }
}

int64_t CFile::ReadFull(void* buf, size_t len)
{
    auto* p = static_cast<char*>(buf);
    size_t got = 0;
    while (got < len) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(len - got, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(H(m_handle), p + got, want, &n, nullptr)) {
            m_error = win::ErrnoOf(GetLastError());
            return -1;
        }
        if (n == 0)
            break;
        got += n;
    }
    return static_cast<int64_t>(got);
}

int64_t CFile::ReadAt(void* buf, size_t len, int64_t offset)
{
    auto* p = static_cast<char*>(buf);
    size_t got = 0;
    while (got < len) {
        OVERLAPPED ov{};
        const uint64_t at = static_cast<uint64_t>(offset) + got;
        ov.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        ov.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD want = static_cast<DWORD>(std::min<size_t>(len - got, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(H(m_handle), p + got, want, &n, &ov)) {
            DWORD e = GetLastError();
            if (e == ERROR_HANDLE_EOF)
                break;
            m_error = win::ErrnoOf(e);
            return -1;
        }
        if (n == 0)
            break;
        got += n;
    }
    return static_cast<int64_t>(got);
}

bool CFile::Write(const void* buf, size_t len)
{
    const auto* p = static_cast<const char*>(buf);
    while (len > 0) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(len, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(H(m_handle), p, want, &n, nullptr) || n == 0) {
            m_error = n == 0 && GetLastError() == ERROR_SUCCESS ? ENOSPC : win::ErrnoOf(GetLastError());
            return false;
        }
        p += n;
        len -= n;
    }
    return true;
}

bool CFile::WriteAt(const void* buf, size_t len, int64_t offset)
{
    const auto* p = static_cast<const char*>(buf);
    while (len > 0) {
        OVERLAPPED ov{};
        ov.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
        ov.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
        DWORD want = static_cast<DWORD>(std::min<size_t>(len, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(H(m_handle), p, want, &n, &ov) || n == 0) {
            m_error = win::ErrnoOf(GetLastError());
            return false;
        }
        p += n;
        offset += n;
        len -= n;
    }
    return true;
}

bool CFile::Truncate(int64_t size)
{
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = size;
    if (!SetFileInformationByHandle(H(m_handle), FileEndOfFileInfo, &info, sizeof(info))) {
        m_error = win::ErrnoOf(GetLastError());
        return false;
    }
    return true;
}

int64_t CFile::Size()
{
    LARGE_INTEGER n;
    if (!GetFileSizeEx(H(m_handle), &n)) {
        m_error = win::ErrnoOf(GetLastError());
        return -1;
    }
    return n.QuadPart;
}

} // namespace vx
