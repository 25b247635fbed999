#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vx {

namespace {
std::mutex g_dataMutex;
std::string g_dataFolder;
} // namespace

const std::string& GetProgramPath()
{
    static const std::string path = [] {
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }();
    return path;
}

std::string RealPath(const std::string& path)
{
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

bool IsAbsolutePath(const std::string& path)
{
    return !path.empty() && path[0] == '/';
}

const std::string& GetDataFolder()
{
    std::lock_guard<std::mutex> lock(g_dataMutex);
    if (g_dataFolder.empty()) {
        const char* over = getenv("VEXORA_DATA_DIR");
        if (over && *over) {
            g_dataFolder = WithSlash(over);
        } else {
            std::string base;
            const char* xdg = getenv("XDG_DATA_HOME");
            if (xdg && *xdg) {
                base = xdg;
            } else {
                const char* home = getenv("HOME");
                if (!home || !*home)
                    return g_dataFolder; // refused: see DataFolderError
                base = std::string(home) + "/.local/share";
            }
            g_dataFolder = WithSlash(base) + "Tolvane/VexoraV2/";
        }
        MakeDirs(g_dataFolder);
    }
    return g_dataFolder;
}

std::string DataFolderError()
{
    if (!GetDataFolder().empty())
        return std::string();
    return "cannot choose a data folder: HOME is not set (set HOME, XDG_DATA_HOME or VEXORA_DATA_DIR)";
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
    std::string cur;
    size_t pos = 0;
    while (pos != std::string::npos) {
        size_t next = path.find('/', pos + 1);
        cur = path.substr(0, next);
        if (!cur.empty() && cur != "/" && mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        pos = next;
    }
    return DirExists(path);
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FileSize(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<int64_t>(st.st_size);
}

int64_t FreeDiskSpace(const std::string& path)
{
    struct statvfs vfs;
    if (statvfs(path.c_str(), &vfs) != 0)
        return -1;
    return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

std::string GetTempFolder()
{
    const char* t = getenv("TMPDIR");
    return WithSlash(t && *t ? t : "/tmp");
}

bool CopyFileReplace(const std::string& from, const std::string& to, const std::atomic<bool>* cancel)
{
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    std::string tmp = to + ".part";
    int out = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = true;
    std::string block(1 << 20, '\0');
    char* buf = block.data();
    for (;;) {
        if (cancel && cancel->load()) {
            ok = false;
            break;
        }
        ssize_t n = read(in, buf, block.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    close(in);
    if (close(out) != 0)
        ok = false;
    // The target is replaced only by a complete copy, never left half written.
    if (ok && rename(tmp.c_str(), to.c_str()) != 0)
        ok = false;
    if (!ok)
        unlink(tmp.c_str());
    return ok;
}

std::string GetUserConfigFolder()
{
    std::string base;
    const char* xdg = getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and ignored, so a program started from another
    // folder never scatters settings around.
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = getenv("HOME");
        if (home && home[0] == '/') {
            base = WithSlash(home) + ".config";
        } else {
            struct passwd pw;
            struct passwd* found = nullptr;
            char buf[4096];
            if (getpwuid_r(getuid(), &pw, buf, sizeof(buf), &found) == 0 && found && found->pw_dir &&
                found->pw_dir[0] == '/')
                base = WithSlash(found->pw_dir) + ".config";
        }
    }
    if (base.empty())
        return base;
    return WithSlash(base) + "Tolvane/VexoraV2/";
}

} // namespace vx
