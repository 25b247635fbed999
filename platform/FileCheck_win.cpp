#include "platform/FileCheck.h"

#include "platform/Win32Text.h"

#include <cerrno>

namespace vx {

namespace {

FileProblem FromError(DWORD e)
{
    switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return FileProblem::Missing;
    case ERROR_CANT_RESOLVE_FILENAME:
        return FileProblem::LinkLoop;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return FileProblem::NoPermission;
    case ERROR_FILENAME_EXCED_RANGE:
        return FileProblem::NameTooLong;
    default:
        return FileProblem::Other;
    }
}

// Windows file systems take at most 255 UTF-16 units per name. Told here, before the system
// is asked: what it answers for a longer name differs (an invalid name, or none found at all)
// and would read as "no such file".
bool HasOverlongName(const std::wstring& path)
{
    size_t run = 0;
    for (wchar_t c : path) {
        run = c == L'\\' || c == L'/' ? 0 : run + 1;
        if (run > 255)
            return true;
    }
    return false;
}

} // namespace

const char* KindOfPath(const std::string& path)
{
    HANDLE h = CreateFileW(win::WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "";
    DWORD type = GetFileType(h);
    CloseHandle(h);
    if (type == FILE_TYPE_PIPE)
        return " (a named pipe)";
    if (type == FILE_TYPE_CHAR)
        return " (a device)";
    return "";
}

FileProblem CheckInputFile(const std::string& path, int* sysError)
{
    int dummy = 0;
    int& err = sysError ? *sysError : dummy;
    err = 0;
    if (path.empty()) {
        err = ENOENT;
        return FileProblem::Missing;
    }
    const std::wstring wide = win::WidePath(path);
    if (HasOverlongName(wide)) {
        err = ENAMETOOLONG;
        return FileProblem::NameTooLong;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        DWORD e = GetLastError();
        err = win::ErrnoOf(e);
        return FromError(e);
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileProblem::Folder;
    // The attributes alone do not tell (access lists, a file held open without sharing): try it.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        err = win::ErrnoOf(e);
        return FromError(e);
    }
    DWORD type = GetFileType(h);
    CloseHandle(h);
    return type == FILE_TYPE_DISK ? FileProblem::None : FileProblem::NotRegular;
}

EntryInfo LookAtEntry(const std::string& path)
{
    EntryInfo e;
    const std::wstring wide = win::WidePath(path);
    auto failed = [&e](DWORD code) {
        e.sysError = win::ErrnoOf(code);
        e.kind = FromError(code) == FileProblem::Missing ? EntryKind::Missing : EntryKind::Error;
        return e;
    };
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
        return failed(GetLastError());
    e.bLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // No access asked for: nothing is read, and a pipe or device is not held up. The handle
    // follows links to what they name, whose identity tells a folder seen before.
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return failed(GetLastError());
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD type = GetFileType(h);
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (known) {
        e.device = info.dwVolumeSerialNumber;
        e.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    if (type != FILE_TYPE_DISK)
        e.kind = EntryKind::Special;
    else if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        e.kind = EntryKind::Folder;
    else
        e.kind = EntryKind::File;
    return e;
}

int MaxFileNameBytes(const std::string& folder)
{
    std::string root = folder.size() >= 2 && folder[1] == ':' ? folder.substr(0, 2) + "/" : std::string();
    DWORD maxComponent = 0;
    if (GetVolumeInformationW(root.empty() ? nullptr : win::WidePath(root).c_str(), nullptr, 0, nullptr,
                              &maxComponent, nullptr, nullptr, 0) &&
        maxComponent > 0)
        // The limit counts UTF-16 units, and a name never has more of those than UTF-8 bytes.
        return static_cast<int>(maxComponent);
    return 255;
}

} // namespace vx
