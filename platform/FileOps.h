#pragma once
// Small file-system operations the conversion, the command line and the local database need,
// kept here so the code above this layer stays free of operating-system headers. Each keeps
// errno as the call left it, so callers can log the system's code as before.

#include <string>

namespace vx {

// Removes a file; true when it is gone afterwards (removed now, or never there).
bool RemoveFileIfAny(const std::string& path);
// Removes a folder when it is empty; false otherwise (the folder stays).
bool RemoveEmptyFolder(const std::string& path);
// True when both paths name the same file (same device and inode), false when either is missing.
bool IsSameFile(const std::string& a, const std::string& b);

enum class RegularFileState
{
    Regular,
    Missing,   // no such file
    NotRegular // a folder, a device, or it cannot be read
};
RegularFileState CheckRegularFile(const std::string& path);

// The process's working folder (without a trailing '/'), empty when it cannot be read.
std::string CurrentFolder();

// Creates the file when missing and narrows its rights to its owner (read and write), whether
// it was new or left with wider rights; false when it cannot be opened.
bool MakeOwnerOnlyFile(const std::string& path);

} // namespace vx
