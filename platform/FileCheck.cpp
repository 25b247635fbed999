#include "platform/FileCheck.h"

#include <cerrno>
#include <cstring>

namespace vx {

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
        return std::string("not a regular file") + KindOfPath(path);
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

FileProblem ProblemOfErrno(int e)
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
    return ProblemOfErrno(entry.sysError);
}

} // namespace vx
