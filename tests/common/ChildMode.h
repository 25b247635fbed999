#pragma once
// A test that needs a second process starts its own test program again as a child, in a named
// mode, instead of forking (Windows has no fork): the same code runs on both sides, and the
// child is an ordinary process started through platform's process calls. A test file declares
// its modes with VX_CHILD_MODE; main() runs the mode when the program is started with
// "--vx-child MODE ARGS...".

#include "common/TestUtil.h"

#include <string>
#include <vector>

namespace vx {
class CProcess;
struct ProcessOptions;
} // namespace vx

namespace vx::test {

using ChildMain = int (*)(const std::vector<std::string>& args);

struct CChildModeRegistrar
{
    CChildModeRegistrar(const char* name, ChildMain main);
};

// VX_CHILD_MODE(Name) { ...; return exitCode; } with `args` holding the arguments after the
// mode's name.
#define VX_CHILD_MODE(name)                                                                                  \
    static int name##ChildMain(const std::vector<std::string>& args);                                        \
    static const ::vx::test::CChildModeRegistrar name##ChildRegistrar(#name, name##ChildMain);               \
    static int name##ChildMain([[maybe_unused]] const std::vector<std::string>& args)

// Called first in main: when argv asks for a child mode, runs it and gives its exit code in
// *exitCode (an unknown mode: 99) and returns true.
bool RunChildMode(int argc, char** argv, int* exitCode);

// The arguments that start this test program in mode with args.
std::vector<std::string> ChildArgs(const std::string& mode, const std::vector<std::string>& args);
// Starts this test program as a child in mode.
bool StartChild(CProcess& p, const std::string& mode, const std::vector<std::string>& args,
                const ProcessOptions& opt);
// Runs it to its end, as RunProgram does.
RunResult RunChild(const std::string& mode, const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {}, int timeoutMs = 60000);

} // namespace vx::test
