#include "common/ChildMode.h"

#include "platform/Paths.h"
#include "platform/Process.h"

#include <cstdio>
#include <map>

namespace vx::test {

namespace {

constexpr const char* kChildFlag = "--vx-child";

std::map<std::string, ChildMain>& Modes()
{
    static std::map<std::string, ChildMain> modes;
    return modes;
}

} // namespace

CChildModeRegistrar::CChildModeRegistrar(const char* name, ChildMain main)
{
    Modes()[name] = main;
}

bool RunChildMode(int argc, char** argv, int* exitCode)
{
    if (argc < 3 || std::string(argv[1]) != kChildFlag)
        return false;
    auto it = Modes().find(argv[2]);
    if (it == Modes().end()) {
        fprintf(stderr, "no child mode %s in this test program\n", argv[2]);
        *exitCode = 99;
        return true;
    }
    *exitCode = it->second(std::vector<std::string>(argv + 3, argv + argc));
    return true;
}

std::vector<std::string> ChildArgs(const std::string& mode, const std::vector<std::string>& args)
{
    std::vector<std::string> all = {kChildFlag, mode};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

bool StartChild(CProcess& p, const std::string& mode, const std::vector<std::string>& args,
                const ProcessOptions& opt)
{
    return p.Start(GetProgramPath(), ChildArgs(mode, args), opt);
}

RunResult RunChild(const std::string& mode, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, int timeoutMs)
{
    return RunProgram(GetProgramPath(), ChildArgs(mode, args), env, timeoutMs);
}

} // namespace vx::test
