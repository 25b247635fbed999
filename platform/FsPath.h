#pragma once
// A std::filesystem path from our UTF-8 text and back. On Windows a path made from a narrow
// string is read in the ANSI code page, which mangles any name outside it; these go through
// the wide form there.

#include <filesystem>
#include <string>

namespace vx {

std::filesystem::path FsPath(const std::string& utf8);
std::string FsPathText(const std::filesystem::path& path);

// A path as a user typed it or a command line gave it, in the form every path inside the
// program has: on Windows, where the system and its users write "C:\Course\a.pdf", the
// backslashes become "/"; elsewhere the text stays as it is ("\" is an ordinary character in a
// POSIX name).
std::string PathFromUser(const std::string& text);

} // namespace vx
