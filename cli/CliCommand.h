#pragma once
// Commands of the `vexora` companion. Each subsystem adds a file that registers its commands
// with VX_CLI_COMMAND; the files are compiled straight into the program, so registration
// cannot be dropped by the linker.

#include "cli/CliArgs.h"

#include <string>
#include <vector>

namespace vx::cli {

// Exit codes: 0 success, 1 the operation failed, 2 the command line was wrong.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

using CommandFn = int (*)(CCliArgs& args);

struct CliCommand
{
    const char* name;
    const char* usage;   // e.g. "ls [--dir ID]"
    const char* summary; // one line for --help
    CommandFn run;
};

// All registered commands, sorted by name.
std::vector<CliCommand>& Commands();

struct CliRegistrar
{
    explicit CliRegistrar(const CliCommand& c) { Commands().push_back(c); }
};

#define VX_CLI_CAT2(a, b) a##b
#define VX_CLI_CAT(a, b) VX_CLI_CAT2(a, b)
#define VX_CLI_COMMAND(name, usage, summary, fn)                                                             \
    static ::vx::cli::CliRegistrar VX_CLI_CAT(s_cliRegistrar_,                                               \
                                              __LINE__)(::vx::cli::CliCommand{name, usage, summary, fn})

// Prints "vexora: <text>" on stderr and returns kExitFailed.
int Fail(const std::string& text);
// Prints the usage line of a command on stderr and returns kExitUsage.
int UsageError(const CCliArgs& args, const std::string& why);

} // namespace vx::cli
