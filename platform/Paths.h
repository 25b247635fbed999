#pragma once
// Where the program lives and where it keeps its data, plus the small file-system helpers the
// rest of the code needs. Folder texts always end in '/'.

#include <atomic>
#include <cstdint>
#include <string>

namespace vx {

// Full path of the running executable (/proc/self/exe); empty when it cannot be read.
const std::string& GetProgramPath();
// Folder of the running executable, ending in '/'.
const std::string& GetProgramFolder();
// path with every link and "." or ".." resolved; empty when it does not exist.
std::string RealPath(const std::string& path);
// True for a path that does not depend on the working folder.
bool IsAbsolutePath(const std::string& path);
// path against the working folder, unchanged when absolute or when that folder is unknown.
std::string MakeAbsolute(const std::string& path);
// s ending in exactly one more '/' when it did not end in one.
std::string WithSlash(std::string s);

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

// Where the files the programs read beside themselves are. Two layouts exist: the build tree
// (build/<kind>/bin/ with everything beside the programs) and an installed copy under a prefix
// (bin/ for the programs, lib/vexora/ for Update and codecs/, share/vexora/ for Config.ini,
// Language/, Ext.data and AudioBkImage/). A program in <prefix>/bin/ or <prefix>/lib/vexora/
// whose <prefix>/share/vexora/ exists runs installed; anything else finds its files beside it.
struct InstallLayout
{
    bool installed = false;
    std::string resourceFolder; // Config.ini (shipped defaults), Language/, Ext.data, AudioBkImage/
    std::string helperFolder;   // Update and codecs/
};
// The layout for a program in programFolder (ending in '/'); pure, for tests.
InstallLayout ResolveInstallLayout(const std::string& programFolder);
// The layout of the running program, computed once.
const InstallLayout& GetInstallLayout();
// Shortcuts into GetInstallLayout(), each ending in '/'.
const std::string& GetResourceFolder();
const std::string& GetHelperFolder();
std::string GetCodecsFolder();

// The folder of the user's own Config.ini: $XDG_CONFIG_HOME (an absolute path), else
// ~/.config, then "Tolvane/VexoraV2/". Not created here: the first write creates it. Empty
// when neither variable nor a home folder is known.
std::string GetUserConfigFolder();

} // namespace vx
