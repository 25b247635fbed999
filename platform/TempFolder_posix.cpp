#include "platform/TempFolder.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vx {

namespace {

std::string Cause(const std::string& what, int err)
{
    return what + ": " + strerror(err);
}

// The runtime folder is the user's own (0700, on a tmpfs); our sub-folder must be too.
std::string RuntimeSubFolder(const std::string& runtime, const std::string& name, std::string* err)
{
    // Without a trailing '/': lstat must see a planted link itself, not the folder it names.
    const std::string path = JoinPath(runtime, name);
    const std::string dir = path + "/";
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        *err = Cause("cannot create " + dir, errno);
        return std::string();
    }
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        *err = Cause("cannot examine " + dir, errno);
        return std::string();
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        *err = dir + " is not a folder of this user";
        return std::string();
    }
    if ((st.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) {
        *err = Cause("cannot make " + dir + " private", errno);
        return std::string();
    }
    return dir;
}

} // namespace

std::string MakePrivateFolder(const std::string& name, std::string* err)
{
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        std::string dir = RuntimeSubFolder(runtime, name, err);
        if (!dir.empty())
            return dir;
        // A broken runtime folder still leaves the temporary folder.
    }
    std::string pattern = GetTempFolder() + name + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
        std::string cause = Cause("cannot create a private folder in " + GetTempFolder(), errno);
        *err = err->empty() ? cause : *err + "; " + cause;
        return std::string();
    }
    err->clear();
    return std::string(buf.data()) + "/";
}

bool CopyToNewFile(const std::string& from, const std::string& to, unsigned mode, std::string* err)
{
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *err = Cause("cannot read " + from, errno);
        return false;
    }
    if (unlink(to.c_str()) != 0 && errno != ENOENT) {
        *err = Cause("cannot replace " + to, errno);
        close(in);
        return false;
    }
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (out < 0) {
        *err = Cause("cannot create " + to, errno);
        close(in);
        return false;
    }
    char buf[65536];
    bool ok = true;
    int cause = 0;
    for (;;) {
        ssize_t n = read(in, buf, sizeof(buf));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0) {
                ok = false;
                cause = errno;
            }
            break;
        }
        for (ssize_t done = 0; done < n && ok;) {
            ssize_t w = write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                cause = w < 0 ? errno : ENOSPC;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    close(in);
    // The umask may have taken bits the copy needs (an executable must stay executable).
    if (ok && fchmod(out, mode) != 0) {
        ok = false;
        cause = errno;
    }
    if (close(out) != 0 && ok) {
        ok = false;
        cause = errno;
    }
    if (!ok) {
        *err = Cause("cannot copy " + from + " to " + to, cause);
        unlink(to.c_str());
    }
    return ok;
}

} // namespace vx
