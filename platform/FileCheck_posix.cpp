#include "platform/FileCheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

const char* KindOfPath(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return "";
    if (S_ISFIFO(st.st_mode))
        return " (a named pipe)";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return " (a device)";
    if (S_ISSOCK(st.st_mode))
        return " (a socket)";
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
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        err = errno;
        return ProblemOfErrno(err);
    }
    if (S_ISDIR(st.st_mode))
        return FileProblem::Folder;
    if (!S_ISREG(st.st_mode))
        return FileProblem::NotRegular;
    // The permission bits alone do not tell (access lists, read-only mounts, root): try it.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        err = errno;
        return ProblemOfErrno(err);
    }
    close(fd);
    return FileProblem::None;
}

EntryInfo LookAtEntry(const std::string& path)
{
    EntryInfo e;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        e.sysError = errno;
        e.kind = ProblemOfErrno(e.sysError) == FileProblem::Missing ? EntryKind::Missing : EntryKind::Error;
        return e;
    }
    if (S_ISLNK(st.st_mode)) {
        e.bLink = true;
        if (stat(path.c_str(), &st) != 0) {
            e.sysError = errno;
            e.kind =
                ProblemOfErrno(e.sysError) == FileProblem::Missing ? EntryKind::Missing : EntryKind::Error;
            return e;
        }
    }
    e.device = static_cast<uint64_t>(st.st_dev);
    e.inode = static_cast<uint64_t>(st.st_ino);
    e.kind = S_ISDIR(st.st_mode)   ? EntryKind::Folder
             : S_ISREG(st.st_mode) ? EntryKind::File
                                   : EntryKind::Special;
    return e;
}

int MaxFileNameBytes(const std::string& folder)
{
    errno = 0;
    long n = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return n > 0 && n < 65536 ? static_cast<int>(n) : 255;
}

} // namespace vx
