// `vexora`: the command-line companion. Global set-up here; each command lives in its own file.

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "platform/CommandLine.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "platform/Terminal.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace vx;
using namespace vx::cli;

namespace vx::cli {

std::vector<CliCommand>& Commands()
{
    static std::vector<CliCommand> all;
    return all;
}

int Fail(const std::string& text)
{
    // Error lines name files and servers: a line feed in a name must not forge another line.
    fprintf(stderr, "vexora: %s\n", PlainText(text).c_str());
    return kExitFailed;
}

int UsageError(const CCliArgs& args, const std::string& why)
{
    fprintf(stderr, "vexora: %s\nusage: vexora %s\n", PlainText(why).c_str(), args.Usage().c_str());
    return kExitUsage;
}

} // namespace vx::cli

namespace {

void PrintHelp()
{
    auto& cmds = Commands();
    std::sort(cmds.begin(), cmds.end(),
              [](const CliCommand& a, const CliCommand& b) { return strcmp(a.name, b.name) < 0; });
    printf("usage: vexora [--config PATH] [--user NAME] [--password TEXT] [--json] COMMAND [ARGS]\n\n");
    printf("commands:\n");
    // Long usages get their summary on the next line, so the text stays within 100 columns.
    for (const CliCommand& c : cmds) {
        if (strlen(c.usage) <= 40)
            printf("  %-40s %s\n", c.usage, c.summary);
        else
            printf("  %s\n  %-40s %s\n", c.usage, "", c.summary);
    }
    printf("\nglobal options (anywhere on the line):\n"
           "  --config PATH     the one Config.ini to read and write (default: $VEXORA_CONFIG,\n"
           "                    else your own copy over the shipped one; see vexora config)\n"
           "  --user NAME       account name (default: $VEXORA_USER)\n"
           "  --password TEXT   password (default: $VEXORA_PASSWORD)\n"
           "  --json            machine-readable output\n"
           "  --help, --version\n\n"
           "Exit status: 0 on success, 1 when the operation failed, 2 for a wrong command line.\n");
}

} // namespace

int main(int argc, char** argv)
{
    UseUtf8Arguments(&argc, &argv);
    InitUtf8Locale();
    PrepareConsole();
    IgnoreSigpipe();
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--version") == 0) {
            printf("%s\n", GetAppVersion().c_str());
            return kExitOk;
        }
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            PrintHelp();
            return kExitOk;
        }
    }
    CCliArgs args(argc, argv);
    if (!args.GlobalError().empty()) {
        fprintf(stderr, "vexora: %s\n", args.GlobalError().c_str());
        return kExitUsage;
    }
    if (args.Command().empty() || args.Command() == "help") {
        PrintHelp();
        return args.Command().empty() ? kExitUsage : kExitOk;
    }
    auto& cmds = Commands();
    auto it =
        std::find_if(cmds.begin(), cmds.end(), [&](const CliCommand& c) { return args.Command() == c.name; });
    if (it == cmds.end()) {
        fprintf(stderr, "vexora: unknown command '%s' (see vexora --help)\n", args.Command().c_str());
        return kExitUsage;
    }
    if (!args.ConfigPath().empty())
        CAppConfig::SetConfigPath(args.ConfigPath());
    // Logs and the account database live in the data folder; never fall back to the current folder.
    const std::string dataError = DataFolderError();
    if (!dataError.empty())
        return Fail(dataError);

    OpenLogs();
    Log(g_log, "Info : vexora %s %s", GetAppVersion().c_str(), args.Command().c_str());
    CAppConfig::Instance();
    args.SetUsage(it->usage);
    int rc = it->run(args);
    Log(g_log, "Info : vexora %s finished, exit status %d", args.Command().c_str(), rc);
    CloseLogs();
    return rc;
}
