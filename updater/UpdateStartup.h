#pragma once
// What the updater does around its window: run from the temporary folder (so the installer
// can replace every file of the program folder), end the main program that is to be replaced,
// and start it again afterwards.

#include <string>
#include <vector>

namespace vx {

// True when exeFolder and tempFolder are the same folder (links resolved).
bool IsSameFolder(const std::string& exeFolder, const std::string& tempFolder);

// The environment entry that tells the relocated copy where it was put; a copy whose own
// folder is that folder does not move again.
constexpr const char* kRelocatedFolderEnv = "VX_UPDATE_FOLDER";

// Copies selfPath into folder (a private one, see MakePrivateFolder) as "VX-Update0" ...
// "VX-Update9", the first that can be created. Returns the copy's path, or an empty text with
// *err when all ten fail.
std::string CopySelfToTemp(const std::string& selfPath, const std::string& folder,
                           std::string* err = nullptr);

// Moves the updater: a private folder, a copy of selfPath in it, and the copy started there
// with args. True when the copy runs; otherwise *err names the step and the cause (a folder
// that cannot be made, a copy that cannot be written or executed, e.g. on a noexec mount).
bool Relocate(const std::string& selfPath, const std::vector<std::string>& args, std::string* err);

// True when this process is the relocated copy (its folder is the one kRelocatedFolderEnv
// names). The entry is removed either way, so programs we start never inherit it.
bool IsRelocatedCopy();

// Starts a program detached with the given arguments; true when it started.
bool StartDetached(const std::string& path, const std::vector<std::string>& args);

// Ends every process whose executable is exactly the file at path (links resolved), never
// this process and never one that merely shares the file name. Returns how many were ended.
int EndMainProgram(const std::string& path);

} // namespace vx
