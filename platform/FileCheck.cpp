#include "platform/FileCheck.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

namespace {

FileProblem FromErrno(int e)
{
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return FileProblem::Missing;
    case ELOOP:
        return FileProblem::LinkLoop;
    case EACCES:
    case EPERM:
        return FileProblem::NoPermission;
    case ENAMETOOLONG:
        return FileProblem::NameTooLong;
    case EISDIR:
        return FileProblem::Folder;
    default:
        return FileProblem::Other;
    }
}

const char* KindOf(const std::string& path)
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

} // namespace

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
        return FromErrno(err);
    }
    if (S_ISDIR(st.st_mode))
        return FileProblem::Folder;
    if (!S_ISREG(st.st_mode))
        return FileProblem::NotRegular;
    // The permission bits alone do not tell (access lists, read-only mounts, root): try it.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        err = errno;
        return FromErrno(err);
    }
    close(fd);
    return FileProblem::None;
}

std::string DescribeFileProblem(FileProblem problem, int sysError, const std::string& path)
{
    switch (problem) {
    case FileProblem::None:
        return "";
    case FileProblem::Missing:
        return "no such file";
    case FileProblem::Folder:
        return "is a folder, not a file";
    case FileProblem::NotRegular:
        return std::string("not a regular file") + KindOf(path);
    case FileProblem::LinkLoop:
        return "too many levels of symbolic links";
    case FileProblem::NoPermission:
        return "permission denied";
    case FileProblem::NameTooLong:
        return "the name is too long for the file system";
    case FileProblem::Other:
        break;
    }
    return strerror(sysError ? sysError : EIO);
}

std::string DescribeInputFile(const std::string& path)
{
    int err = 0;
    FileProblem p = CheckInputFile(path, &err);
    return DescribeFileProblem(p, err, path);
}

EntryInfo LookAtEntry(const std::string& path)
{
    EntryInfo e;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        e.sysError = errno;
        e.kind = FromErrno(e.sysError) == FileProblem::Missing ? EntryKind::Missing : EntryKind::Error;
        return e;
    }
    if (S_ISLNK(st.st_mode)) {
        e.bLink = true;
        if (stat(path.c_str(), &st) != 0) {
            e.sysError = errno;
            e.kind = FromErrno(e.sysError) == FileProblem::Missing ? EntryKind::Missing : EntryKind::Error;
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

FileProblem ProblemOf(const EntryInfo& entry)
{
    switch (entry.kind) {
    case EntryKind::File:
        return FileProblem::None;
    case EntryKind::Folder:
        return FileProblem::Folder;
    case EntryKind::Special:
        return FileProblem::NotRegular;
    case EntryKind::Missing:
        return FileProblem::Missing;
    case EntryKind::Error:
        break;
    }
    return FromErrno(entry.sysError);
}

int MaxFileNameBytes(const std::string& folder)
{
    errno = 0;
    long n = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return n > 0 && n < 65536 ? static_cast<int>(n) : 255;
}

} // namespace vx
