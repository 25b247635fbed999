#pragma once
// Small file-system operations the conversion, the command line and the local database need,
// kept here so the code above this layer stays free of operating-system headers. Each keeps
// errno as the call left it, so callers can log the system's code as before.

#include <cstdio>
#include <functional>
#include <string>

namespace vx {

// Removes a file; true when it is gone afterwards (removed now, or never there).
bool RemoveFileIfAny(const std::string& path);
// Removes a folder and everything in it. A link inside is removed as a link, never followed
// out of the tree. onFileError (may be empty) hears of every file that could not be removed,
// with the system's code, and the rest goes on. True when the folder itself is gone.
bool RemoveTree(const std::string& path, const std::function<void(const std::string&, int)>& onFileError);

// fopen for a UTF-8 path (the wide-character call on Windows); mode as fopen's, where "e" (do
// not hand the file to child processes) is understood on both sides.
FILE* OpenFile(const std::string& path, const char* mode);

// A second name for an existing file (a hard link); false (errno) when the file system has
// none or the names lie on different ones.
bool MakeHardLink(const std::string& existing, const std::string& newName);
// Renames from to to, replacing a file already there in one step (errno on failure).
bool RenameReplace(const std::string& from, const std::string& to);
// Lets its owner (and everyone) run the file (mode 0755; nothing to do on Windows).
bool MakeExecutable(const std::string& path);

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
