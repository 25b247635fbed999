#include "platform/Win32Text.h"

#include "platform/Utf8.h"

#include <cerrno>
#include <winsock2.h>

namespace vx::win {

std::wstring Wide(const std::string& utf8)
{
    return Utf8ToWide(utf8);
}

std::string Utf8(const std::wstring& wide)
{
    return WideToUtf8(wide);
}

std::string Utf8(const wchar_t* wide)
{
    return wide ? WideToUtf8(wide) : std::string();
}

std::wstring WidePath(const std::string& utf8)
{
    std::wstring w = Utf8ToWide(utf8);
    for (wchar_t& c : w)
        if (c == L'/')
            c = L'\\';
    return w;
}

std::string PathText(const std::wstring& wide)
{
    std::string s = WideToUtf8(wide);
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_BAD_EXE_FORMAT:
        return ENOEXEC;
    case WSAECONNREFUSED:
        return ECONNREFUSED;
    case WSAETIMEDOUT:
        return ETIMEDOUT;
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return ECONNRESET;
    case WSAEWOULDBLOCK:
        return EWOULDBLOCK;
    case WSAEINPROGRESS:
        return EINPROGRESS;
    case WSAEINTR:
        return EINTR;
    case WSAENETUNREACH:
        return ENETUNREACH;
    case WSAEHOSTUNREACH:
        return EHOSTUNREACH;
    case WSAEADDRINUSE:
        return EADDRINUSE;
    case WSAEADDRNOTAVAIL:
        return EADDRNOTAVAIL;
    case WSAENOTCONN:
        return ENOTCONN;
    case WSAESHUTDOWN:
        return EPIPE;
    case WSAEACCES:
        return EACCES;
    default:
        return EIO;
    }
}

bool FailWithLastError()
{
    errno = ErrnoOf(GetLastError());
    return false;
}

} // namespace vx::win
