#pragma once
// The user's terminal: whether a standard stream is one, and reading a secret from it without
// showing it (a password typed on the command line is visible to every local user in the
// process list, so the companion asks for it instead).

#include <string>

namespace vx {

enum class StdStream
{
    In,
    Out,
    Err
};

bool IsTerminal(StdStream stream);

// Shows prompt on standard error and reads one line from standard input, which must be a
// terminal, with echo off; the line feed the user types is still shown. Echo comes back however
// the read ends, also on Ctrl-C or a termination signal (which then takes its usual course).
// False when standard input is no terminal, or at the end of input before any character.
bool ReadHiddenLine(const std::string& prompt, std::string* line);

// Makes the console show and read UTF-8 (Windows); nothing to do where terminals speak the
// locale's encoding already.
void PrepareConsole();

} // namespace vx
