#include "platform/ConvertFolder.h"

#include "platform/Paths.h"

#include <cstdlib>
#include <mntent.h>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {
namespace {

// File systems that live on a local block device, the counterpart of a fixed drive.
bool IsLocalDiskType(const std::string& type)
{
    static const std::set<std::string> kTypes = {"ext2",  "ext3", "ext4",     "xfs",     "btrfs",
                                                 "f2fs",  "jfs",  "reiserfs", "zfs",     "vfat",
                                                 "exfat", "ntfs", "ntfs3",    "fuseblk", "hfsplus"};
    return kTypes.count(type) != 0;
}

bool SameFileSystem(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

bool Writable(const std::string& dir)
{
    return DirExists(dir) && access(dir.c_str(), W_OK | X_OK) == 0;
}

} // namespace

std::string HomeFolder()
{
    const char* home = getenv("HOME");
    if (home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

std::string DefaultConvertFolder(const std::string& mountsFile)
{
    const std::string home = HomeFolder();
    std::string best;
    int64_t bestFree = -1;
    std::set<std::string> seen;
    if (FILE* f = setmntent(mountsFile.c_str(), "r")) {
        while (const mntent* m = getmntent(f)) {
            const std::string dir = m->mnt_dir;
            if (!IsLocalDiskType(m->mnt_type) || hasmntopt(m, "ro") || !seen.insert(dir).second)
                continue;
            std::string candidate;
            if (Writable(dir))
                candidate = dir;
            else if (SameFileSystem(dir, home) && Writable(home))
                candidate = home;
            else
                continue;
            const int64_t avail = FreeDiskSpace(candidate);
            if (avail > bestFree) {
                bestFree = avail;
                best = candidate;
            }
        }
        endmntent(f);
    }
    if (best.empty())
        best = home;
    return JoinPath(best, "VexoraTemp");
}

} // namespace vx
