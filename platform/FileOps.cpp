#include "platform/FileOps.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

bool RemoveFileIfAny(const std::string& path)
{
    return path.empty() || unlink(path.c_str()) == 0 || errno == ENOENT;
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
