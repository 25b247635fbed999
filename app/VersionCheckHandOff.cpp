// The hand-off to the Update program once the version server has announced a newer release.

#include "app/LogFile.h"
#include "app/VersionCheck.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <climits>
#include <unistd.h>

namespace vx {

namespace {

std::string OwnExecutablePath()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string JoinForLog(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& a : args)
        text += " " + a;
    return text;
}

} // namespace

bool StartUpdater(const std::string& updaterPath, const std::vector<std::string>& args,
                  const VersionCheckHooks& hooks)
{
    if (!FileExists(updaterPath)) {
        Log(g_log, "Error : Start Update Program, but the program file is missing");
        if (hooks.showError)
            hooks.showError("更新程序丢失，请重新安装！", "错误");
        return false;
    }
    // Detached: the updater must outlive us, because it replaces our files.
    CProcess updater;
    ProcessOptions opt;
    opt.detached = true;
    return updater.Start(updaterPath, args, opt);
}

bool NeedUpate(const std::vector<std::string>& ownArgs, const VersionCheckHooks& hooks)
{
    std::string text;
    if (!CheckVersion(&text, hooks) || text.empty())
        return false;
    // The address is opened by the updater and, on failure, by the user's browser: anything
    // but a web address is refused and the program starts as if no update were out.
    if (!IsHttpUrl(text)) {
        Log(g_log, "Error : Check Version, update address refused, not an http url(%s)", text.c_str());
        return false;
    }
    std::vector<std::string> args = BuildUpdaterArgs(text, "Vexora", OwnExecutablePath(), ownArgs);
    std::string updater = hooks.updaterPath.empty() ? GetHelperFolder() + "Update" : hooks.updaterPath;
    if (!StartUpdater(updater, args, hooks))
        Log(g_log, "Error : Prepare to Update, start update process failed! [cmd = %s]",
            JoinForLog(args).c_str());
    return true;
}

} // namespace vx
