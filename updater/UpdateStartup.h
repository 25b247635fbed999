#pragma once
// What the updater does around its window: run from the temporary folder (so the installer
// can replace every file of the program folder), end the main program that is to be replaced,
// and start it again afterwards.

#include <string>
#include <sys/types.h>
#include <vector>

namespace vx {

// True when exeFolder and tempFolder are the same folder (links resolved).
bool IsSameFolder(const std::string& exeFolder, const std::string& tempFolder);

// Copies selfPath into tempFolder as "VX-Update0" ... "VX-Update9" (the first copy that
// succeeds; a copy still running elsewhere may block one name). Returns the copy's path, or an
// empty text when all ten fail.
std::string CopySelfToTemp(const std::string& selfPath, const std::string& tempFolder);

// Starts a program detached with the given arguments; true when it started.
bool StartDetached(const std::string& path, const std::vector<std::string>& args);

// Ends every process whose executable is exactly the file at path (links resolved), never
// this process and never one that merely shares the file name. Returns how many were ended.
int EndMainProgram(const std::string& path);

} // namespace vx
