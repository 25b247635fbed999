#include "platform/FileOps.h"

#include "platform/Win32Text.h"

#include <cerrno>

namespace vx {

namespace {

bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info)
{
    HANDLE h =
        CreateFileW(win::WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return ok;
}

} // namespace

bool RemoveFileIfAny(const std::string& path)
{
    if (path.empty())
        return true;
    if (DeleteFileW(win::WidePath(path).c_str()))
        return true;
    DWORD e = GetLastError();
    errno = win::ErrnoOf(e);
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

bool RemoveTree(const std::string& path, const std::function<void(const std::string&, int)>& onFileError)
{
    std::string base = path;
    while (base.size() > 1 && (base.back() == '/' || base.back() == '\\'))
        base.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(win::WidePath(base + "/*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::string child = base + "/" + win::Utf8(name);
        const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // A link to a folder (a reparse point) is removed as a link, never followed.
        if (folder && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            RemoveTree(child, onFileError);
        } else if (folder) {
            if (!RemoveDirectoryW(win::WidePath(child).c_str()) && onFileError)
                onFileError(child, win::ErrnoOf(GetLastError()));
        } else if (!DeleteFileW(win::WidePath(child).c_str())) {
            if (onFileError)
                onFileError(child, win::ErrnoOf(GetLastError()));
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return RemoveDirectoryW(win::WidePath(base).c_str()) != 0 || win::FailWithLastError();
}

FILE* OpenFile(const std::string& path, const char* mode)
{
    // "e" (close on exec) is the default here: handles are made non-inheritable with "N".
    std::wstring m;
    for (const char* c = mode; *c; ++c)
        m += *c == 'e' ? L'N' : static_cast<wchar_t>(*c);
    return _wfopen(win::WidePath(path).c_str(), m.c_str());
}

bool MakeHardLink(const std::string& existing, const std::string& newName)
{
    return CreateHardLinkW(win::WidePath(newName).c_str(), win::WidePath(existing).c_str(), nullptr) != 0 ||
           win::FailWithLastError();
}

bool RenameReplace(const std::string& from, const std::string& to)
{
    return MoveFileExW(win::WidePath(from).c_str(), win::WidePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
           win::FailWithLastError();
}

bool MakeExecutable(const std::string& path)
{
    // Whether a file runs is decided by its name here, not by a mode.
    return GetFileAttributesW(win::WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveEmptyFolder(const std::string& path)
{
    return !path.empty() && (RemoveDirectoryW(win::WidePath(path).c_str()) != 0 || win::FailWithLastError());
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return Identity(a, &ia) && Identity(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

RegularFileState CheckRegularFile(const std::string& path)
{
    DWORD attr = GetFileAttributesW(win::WidePath(path).c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) {
        DWORD e = GetLastError();
        errno = win::ErrnoOf(e);
        return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? RegularFileState::Missing
                                                                        : RegularFileState::NotRegular;
    }
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? RegularFileState::NotRegular : RegularFileState::Regular;
}

std::string CurrentFolder()
{
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return std::string();
    std::wstring buf(n, L'\0');
    n = GetCurrentDirectoryW(n, buf.data());
    buf.resize(n);
    std::string s = win::PathText(buf);
    if (s.size() > 3 && s.back() == '/')
        s.pop_back();
    return s;
}

bool MakeOwnerOnlyFile(const std::string& path)
{
    // The per-user folders (local application data) already keep other users out.
    HANDLE h = CreateFileW(win::WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return win::FailWithLastError();
    CloseHandle(h);
    return true;
}

} // namespace vx
