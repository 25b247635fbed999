#pragma once
// "Log in for this command": every command that talks to the platform first logs in with the
// command line's account (--user/--password or $VEXORA_USER/$VEXORA_PASSWORD) and checks the
// permission, exactly as the login window does, but remembers nothing locally.

#include "cli/CliArgs.h"
#include "net/Session.h"

#include <string>

namespace vx::cli {

// True when logged in with permission (the session values are then in CAppConfig::Instance()).
// Otherwise the error line has been printed and *exitCode holds the status to return.
bool LoginForCommand(const CCliArgs& args, int* exitCode);

// One line for a failed session step: "login as NAME at HOST:PORT failed: CAUSE".
std::string DescribeLoginFailure(const CSession& session, const std::string& user);

} // namespace vx::cli
