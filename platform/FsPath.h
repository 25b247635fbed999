#pragma once
// A std::filesystem path from our UTF-8 text and back. On Windows a path made from a narrow
// string is read in the ANSI code page, which mangles any name outside it; these go through
// the wide form there.

#include <filesystem>
#include <string>

namespace vx {

std::filesystem::path FsPath(const std::string& utf8);
std::string FsPathText(const std::filesystem::path& path);

} // namespace vx
