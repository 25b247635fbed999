// The hand-off to the Update program once the version server has announced a newer release.

#include "app/LogFile.h"
#include "app/VersionCheck.h"
#include "platform/Paths.h"
#include "platform/Process.h"

namespace vx {

namespace {

std::string JoinForLog(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& a : args)
        text += " " + a;
    return text;
}

} // namespace

namespace {

// The updater is there but does not run: the user keeps a working program and hears why.
void ReportUnstartable(const std::string& cause, const std::vector<std::string>& args,
                       const VersionCheckHooks& hooks)
{
    Log(g_log, "Error : Prepare to Update, start update process failed! [cmd = %s]",
        JoinForLog(args).c_str());
    Log(g_log, "Error : Prepare to Update, %s; starting without the update", cause.c_str());
    if (hooks.showError)
        hooks.showError("更新程序无法运行，程序将不更新继续启动：" + cause, "错误");
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
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
    // Detached: the updater must outlive us, because it replaces our files. Its first process
    // only moves it to a private folder and ends; its exit status and message say how that went.
    CProcess updater;
    ProcessOptions opt;
    opt.detached = true;
    opt.captureStderr = true;
    std::string cause;
    if (!updater.Start(updaterPath, args, opt, &cause)) {
        ReportUnstartable(cause, args, hooks);
        return false;
    }
    int code = 0;
    if (updater.Wait(hooks.handOffWaitMs, &code) && code != 0) {
        std::string said;
        updater.ReadStderr(&said);
        said = Trimmed(said);
        ReportUnstartable(updaterPath + " ended with code " + std::to_string(code) +
                              (said.empty() ? std::string() : " (" + said + ")"),
                          args, hooks);
        return false;
    }
    return true; // moved and running, or still busy moving: either way it takes over
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
    std::vector<std::string> args = BuildUpdaterArgs(text, "Vexora", GetProgramPath(), ownArgs);
    std::string updater = hooks.updaterPath.empty() ? GetHelperFolder() + "Update" : hooks.updaterPath;
    // A missing updater ends the program after the message, as it always has: only a new
    // installation helps there.
    if (!FileExists(updater)) {
        StartUpdater(updater, args, hooks);
        Log(g_log, "Error : Prepare to Update, start update process failed! [cmd = %s]",
            JoinForLog(args).c_str());
        return true;
    }
    return StartUpdater(updater, args, hooks);
}

} // namespace vx
