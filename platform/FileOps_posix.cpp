#include "platform/FileOps.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

bool RemoveFileIfAny(const std::string& path)
{
    return path.empty() || unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RemoveTree(const std::string& path, const std::function<void(const std::string&, int)>& onFileError)
{
    std::string base = path;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    DIR* dir = opendir(base.c_str());
    if (!dir)
        return false;
    while (dirent* e = readdir(dir)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        std::string child = base + "/" + e->d_name;
        struct stat st;
        // lstat: a link to a folder is removed as a link, never followed out of the tree.
        if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            RemoveTree(child, onFileError);
        } else if (unlink(child.c_str()) != 0) {
            if (onFileError)
                onFileError(child, errno);
        }
    }
    closedir(dir);
    return rmdir(base.c_str()) == 0;
}

FILE* OpenFile(const std::string& path, const char* mode)
{
    return fopen(path.c_str(), mode);
}

bool MakeHardLink(const std::string& existing, const std::string& newName)
{
    return link(existing.c_str(), newName.c_str()) == 0;
}

bool RenameReplace(const std::string& from, const std::string& to)
{
    return rename(from.c_str(), to.c_str()) == 0;
}

bool MakeExecutable(const std::string& path)
{
    return chmod(path.c_str(), 0755) == 0;
}

bool RemoveEmptyFolder(const std::string& path)
{
    return !path.empty() && rmdir(path.c_str()) == 0;
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

RegularFileState CheckRegularFile(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? RegularFileState::Missing : RegularFileState::NotRegular;
    return S_ISREG(st.st_mode) ? RegularFileState::Regular : RegularFileState::NotRegular;
}

std::string CurrentFolder()
{
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string();
}

bool MakeOwnerOnlyFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    fchmod(fd, 0600);
    ::close(fd);
    return true;
}

} // namespace vx
