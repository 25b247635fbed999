#pragma once
// The convert folder used when the user has chosen none.

#include <string>

namespace vx {

// Among the mounted local disk file systems, the one with the most space available to the user
// and writable by the user wins (the first on a tie): its mount point, or the home folder when
// only the home folder on it is writable. Without any, the home folder. "VexoraTemp" is
// appended. Pseudo, memory and network file systems never count. On Windows the fixed drive
// with the most free space wins (mountsFile is not used there).
std::string DefaultConvertFolder(const std::string& mountsFile = "/proc/self/mounts");

// $HOME, else the password database's home folder, else "/tmp" (Windows: the user's profile
// folder).
std::string HomeFolder();

} // namespace vx
