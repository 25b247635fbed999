#pragma once
// A child's command line on Windows is one string that the child splits into its arguments by
// the C run-time's rules. Every argument is quoted by those rules, so names holding quotes,
// backslashes, blanks, "%", "^", "&", "|" or ";" reach the child exactly; no shell ever reads
// the line (cmd.exe would give "%", "^", "&" and "|" meanings of their own).

#include <string>
#include <vector>

namespace vx {

// One argument quoted for the C run-time's splitting: as it stands when it holds no blank,
// tab, line break or double quote (and is not empty); otherwise in double quotes, with every
// quote escaped and the backslashes before a quote (or before the closing quote) doubled.
std::string QuoteArgument(const std::string& arg);

// The whole line: the program (quoted as a path) and each argument, blank-separated.
std::string BuildCommandLine(const std::string& program, const std::vector<std::string>& args);

// The reverse, by the same rules (the program name first); for tests and for our own
// start-up where the system hands over one line.
std::vector<std::string> SplitCommandLine(const std::string& line);

// Our own arguments in UTF-8: on Windows main() receives them in the ANSI code page (a Chinese
// file name arrives as "??"), so argc/argv are replaced by the wide command line, converted.
// Elsewhere they already are UTF-8 and stay as they are. Call first thing in main.
void UseUtf8Arguments(int* argc, char*** argv);

} // namespace vx
