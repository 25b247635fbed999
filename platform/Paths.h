#pragma once
// Where the program lives and where it keeps its data, plus the small file-system helpers the
// rest of the code needs. Folder texts always end in '/'.

#include <atomic>
#include <cstdint>
#include <string>

namespace vx {

// Folder of the running executable (/proc/self/exe), ending in '/'.
const std::string& GetProgramFolder();

// $VEXORA_DATA_DIR, else $XDG_DATA_HOME (or ~/.local/share) + "Tolvane/VexoraV2/"; created with
// its parents on first use. Read once per process unless ResetDataFolderCache is called.
// Empty when none of the three is set (HOME unset): the account database never goes to a
// shared folder such as /tmp; DataFolderError then says why.
const std::string& GetDataFolder();
// Why GetDataFolder is empty, or an empty text when it is not.
std::string DataFolderError();
void ResetDataFolderCache();

// Creates a folder and all missing parents; true when the folder exists afterwards.
bool MakeDirs(const std::string& path);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Size of a regular file, or -1 when it cannot be read.
int64_t FileSize(const std::string& path);
// Free bytes for an unprivileged user on the file system holding path, or -1.
int64_t FreeDiskSpace(const std::string& path);
// $TMPDIR or /tmp, ending in '/'.
std::string GetTempFolder();
// Joins two path pieces with exactly one '/'.
std::string JoinPath(const std::string& a, const std::string& b);
// Copies a file, replacing the target only with a complete copy; false on any read or write
// error, or when *cancel becomes true (checked between 1 MiB blocks).
bool CopyFileReplace(const std::string& from, const std::string& to,
                     const std::atomic<bool>* cancel = nullptr);

} // namespace vx
