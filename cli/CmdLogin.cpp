// vexora login: log in, check the permission, print the account and its organisation.

#include "app/AppConfig.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/CliSession.h"
#include "cli/JsonOut.h"

#include <cstdio>

namespace vx::cli {
namespace {

int RunLogin(CCliArgs& args)
{
    int rc = kExitOk;
    if (!NoArguments(args, "login takes no arguments", &rc) || !LoginForCommand(args, &rc))
        return rc;
    const CAppConfig& c = CAppConfig::Instance();
    CJsonOut out;
    out.Text("account", c.m_strAccountName);
    out.Int("userId", c.m_i64UserId);
    out.Text("screenName", c.m_strScreenName);
    out.Text("organisation", c.m_strOrgName);
    out.Int("organisationId", c.m_i64OrgId);
    fputs(args.Json() ? out.Json().c_str() : out.Plain().c_str(), stdout);
    return kExitOk;
}

} // namespace

VX_CLI_COMMAND("login", "login", "log in and check permission, print account and organisation", RunLogin);

} // namespace vx::cli
