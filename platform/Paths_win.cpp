#include "platform/Paths.h"

#include "platform/Env.h"
#include "platform/File.h"
#include "platform/FileOps.h"
#include "platform/Win32Text.h"

#include <mutex>
#include <shlobj.h>

namespace vx {

namespace {

std::mutex g_dataMutex;
std::string g_dataFolder;

// %NAME% when set, else the known folder: the variable lets tests and portable set-ups point
// elsewhere, as XDG_* do on Linux.
std::string UserFolder(const char* variable, REFKNOWNFOLDERID id)
{
    std::string v = GetEnvVar(variable);
    if (!v.empty())
        return WithSlash(win::PathText(win::Wide(v)));
    PWSTR path = nullptr;
    std::string out;
    if (SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path) == S_OK && path)
        out = WithSlash(win::PathText(path));
    CoTaskMemFree(path);
    return out;
}

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data)
{
    return !path.empty() &&
           GetFileAttributesExW(win::WidePath(path).c_str(), GetFileExInfoStandard, data) != 0;
}

} // namespace

const std::string& GetProgramPath()
{
    static const std::string path = [] {
        std::wstring buf(MAX_PATH, L'\0');
        for (;;) {
            DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
            if (n == 0)
                return std::string();
            if (n < buf.size()) {
                buf.resize(n);
                return win::PathText(buf);
            }
            buf.resize(buf.size() * 2);
        }
    }();
    return path;
}

std::string RealPath(const std::string& path)
{
    HANDLE h =
        CreateFileW(win::WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    std::wstring buf(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED);
    if (n >= buf.size()) {
        buf.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(h);
    if (n == 0)
        return std::string();
    buf.resize(n);
    if (buf.rfind(L"\\\\?\\", 0) == 0)
        buf.erase(0, 4);
    return win::PathText(buf);
}

bool IsAbsolutePath(const std::string& path)
{
    // "C:/..." and "//server/share"; a rooted "/..." is on the current drive, which is as
    // fixed as a path here gets.
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '/' || path[2] == '\\'))
        return true;
    return !path.empty() && (path[0] == '/' || path[0] == '\\');
}

const std::string& GetDataFolder()
{
    std::lock_guard<std::mutex> lock(g_dataMutex);
    if (g_dataFolder.empty()) {
        std::string over = GetEnvVar("VEXORA_DATA_DIR");
        if (!over.empty()) {
            g_dataFolder = WithSlash(win::PathText(win::Wide(over)));
        } else {
            // Per user: the all-users folder would let every local user read another's accounts.
            std::string base = UserFolder("LOCALAPPDATA", FOLDERID_LocalAppData);
            if (base.empty())
                return g_dataFolder;
            g_dataFolder = base + "Tolvane/VexoraV2/";
        }
        MakeDirs(g_dataFolder);
    }
    return g_dataFolder;
}

std::string DataFolderError()
{
    if (!GetDataFolder().empty())
        return std::string();
    return "cannot choose a data folder: the local application data folder is unknown (set LOCALAPPDATA or "
           "VEXORA_DATA_DIR)";
}

void ResetDataFolderCache()
{
    std::lock_guard<std::mutex> lock(g_dataMutex);
    g_dataFolder.clear();
}

bool MakeDirs(const std::string& path)
{
    if (path.empty())
        return false;
    std::string p = path;
    for (char& c : p)
        if (c == '\\')
            c = '/';
    // Past the root: "C:/", "//server/share/" or "/".
    size_t pos = 0;
    if (p.size() >= 2 && p[1] == ':')
        pos = 2;
    else if (p.rfind("//", 0) == 0)
        pos = p.find('/', p.find('/', 2) + 1);
    while (pos != std::string::npos && pos < p.size()) {
        size_t next = p.find('/', pos + 1);
        std::string cur = p.substr(0, next);
        if (!cur.empty() && cur.back() != ':' && cur != "/" && !DirExists(cur) &&
            !CreateDirectoryW(win::WidePath(cur).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return win::FailWithLastError();
        pos = next;
    }
    return DirExists(path);
}

bool FileExists(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    return Attributes(path, &d) && !(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    return Attributes(path, &d) && (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!Attributes(path, &d) || (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

int64_t FreeDiskSpace(const std::string& path)
{
    ULARGE_INTEGER avail;
    if (!GetDiskFreeSpaceExW(win::WidePath(WithSlash(path)).c_str(), &avail, nullptr, nullptr))
        return -1;
    return static_cast<int64_t>(avail.QuadPart);
}

std::string GetTempFolder()
{
    wchar_t buf[MAX_PATH + 2];
    DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH + 1)
        return "C:/Windows/Temp/";
    return WithSlash(win::PathText(std::wstring(buf, n)));
}

bool CopyFileReplace(const std::string& from, const std::string& to, const std::atomic<bool>* cancel)
{
    CFile in;
    if (!in.Open(from, CFile::Mode::ReadSequential))
        return false;
    const std::string tmp = to + ".part";
    RemoveFileIfAny(tmp);
    CFile out;
    if (!out.Open(tmp, CFile::Mode::Write))
        return false;
    bool ok = out.Truncate(0);
    std::string block(1 << 20, '\0');
    while (ok) {
        if (cancel && cancel->load()) {
            ok = false;
            break;
        }
        int64_t n = in.ReadFull(block.data(), block.size());
        if (n < 0)
            ok = false;
        else if (n > 0)
            ok = out.Write(block.data(), static_cast<size_t>(n));
        if (n < static_cast<int64_t>(block.size()))
            break;
    }
    in.Close();
    out.Close();
    // The target is replaced only by a complete copy, never left half written.
    if (ok && !RenameReplace(tmp, to))
        ok = false;
    if (!ok)
        RemoveFileIfAny(tmp);
    return ok;
}

std::string GetUserConfigFolder()
{
    std::string base = UserFolder("APPDATA", FOLDERID_RoamingAppData);
    if (base.empty())
        return base;
    return base + "Tolvane/VexoraV2/";
}

} // namespace vx
