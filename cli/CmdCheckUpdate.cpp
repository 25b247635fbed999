// vexora check-update: asks the version server whether a newer release is out.

#include "app/AppConfig.h"
#include "app/Utils.h"
#include "app/VersionCheck.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/JsonOut.h"

#include <cstdio>

namespace vx::cli {
namespace {

int RunCheckUpdate(CCliArgs& args)
{
    std::optional<std::string> server = args.TakeOption("--server");
    int rc = kExitOk;
    if (!NoArguments(args, "check-update takes no arguments", &rc))
        return rc;

    const CAppConfig& cfg = CAppConfig::Instance();
    std::string host = cfg.m_strVerHost;
    int port = cfg.m_nVerPort;
    if (server) {
        host.clear();
        ParseEndpoint(*server, &host, &port);
        if (host.empty())
            return UsageError(args, "--server needs HOST:PORT");
    }
    if (host.empty())
        return Fail("no version server in " + cfg.ConfigPath() + " (VerSvrIP)");

    std::string text, cause;
    VersionResult r = AskVersionServer(host, port, GetAppVersion(), &text, &cause);
    if (r == VersionResult::Failed)
        return Fail(cause);
    const bool due = r == VersionResult::UpdateDue && !text.empty();
    if (due && !IsHttpUrl(text))
        return Fail("version server " + host + ":" + std::to_string(port) +
                    " announced an update address that is not an http/https URL: " + CJsonOut::Quote(text));

    if (args.Json()) {
        CJsonOut out;
        out.Text("version", GetAppVersion());
        out.Bool("upToDate", !due);
        out.Text("updateText", text);
        fputs(out.Json().c_str(), stdout);
    } else if (due) {
        printf("%s\n", text.c_str());
    } else {
        printf("up to date\n");
    }
    return kExitOk;
}

} // namespace

VX_CLI_COMMAND("check-update", "check-update [--server HOST:PORT]",
               "ask the version server whether a newer release is out (prints the installer address)",
               RunCheckUpdate);

} // namespace vx::cli
