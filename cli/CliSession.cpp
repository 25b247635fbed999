#include "cli/CliSession.h"

#include "app/AppConfig.h"
#include "cli/CliCommand.h"
#include "platform/Terminal.h"

#include <cstdio>

namespace vx::cli {

std::string DescribeLoginFailure(const CSession& session, const std::string& user)
{
    const CAppConfig& c = CAppConfig::Instance();
    std::string where = c.m_strLoginHost + ":" + std::to_string(c.m_usLoginPort);
    std::string cause = session.GetFailureCause();
    if (cause.empty())
        cause = session.GetMessage();
    if (session.GetTriesLeft() >= 0)
        cause += " (" + std::to_string(session.GetTriesLeft()) + " tries left)";
    // The user-facing texts use line breaks for the window; one line here.
    for (char& ch : cause)
        if (ch == '\n' || ch == '\r')
            ch = ' ';
    return "login as " + user + " at " + where + " failed: " + cause;
}

bool LoginForCommand(const CCliArgs& args, int* exitCode)
{
    const std::string user = args.User();
    std::string password = args.Password();
    // On a terminal the password is asked for, unseen: on the command line every local user
    // could read it in the process list.
    if (!user.empty() && password.empty() && IsTerminal(StdStream::In))
        ReadHiddenLine("Password for " + user + ": ", &password);
    if (user.empty() || password.empty()) {
        fprintf(stderr, "vexora: no account given: use --user (or VEXORA_USER) and, when not asked for on a "
                        "terminal, --password or VEXORA_PASSWORD\n");
        *exitCode = kExitUsage;
        return false;
    }
    CSession session(CAppConfig::Instance());
    LoginRequest request;
    request.userName = user;
    request.password = password;
    if (!session.Login(request) || !session.PermissionGranted()) {
        *exitCode = Fail(DescribeLoginFailure(session, user));
        return false;
    }
    *exitCode = kExitOk;
    return true;
}

} // namespace vx::cli
