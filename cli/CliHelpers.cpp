#include "cli/CliHelpers.h"

#include "cli/CliCommand.h"

#include <cstdio>
#include <vector>

namespace vx::cli {

bool NoArguments(CCliArgs& args, const std::string& why, int* exitCode)
{
    std::vector<std::string> rest;
    if (!args.Positionals(&rest) || !rest.empty()) {
        *exitCode = UsageError(args, args.Error().empty() ? why : args.Error());
        return false;
    }
    return true;
}

void PrintJsonLine(const CJsonOut& out)
{
    std::string json = out.Json();
    while (!json.empty() && json.back() == '\n')
        json.pop_back();
    printf("%s\n", json.c_str());
}

} // namespace vx::cli
