#include "vexora/VexoraApp.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "app/VersionCheck.h"
#include "media/KillLeftoverEncoders.h"
#include "net/SpaceApi.h"
#include "platform/CrashHandler.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"
#include "platform/Socket.h"

#include <cstdio>
#include <memory>

namespace vx {

namespace {

void OnDumpWritten(const char* path, bool ok)
{
    if (!g_log)
        return;
    if (ok) {
        g_log->TryWrite("写入dump文件成功");
    } else {
        char line[1200];
        snprintf(line, sizeof(line), "Error : 创建dump文件失败，路径为%s", path);
        g_log->TryWrite(line);
    }
}

} // namespace

void CVexoraV2App::WriteBanner(const char* word)
{
    LogText(g_log, "---------------------------------------------------------");
    Log(g_log, "----------------VexoraV2.0 %s----------------", word);
    LogText(g_log, "---------------------------------------------------------");
}

void CVexoraV2App::ShowError(const std::string& text, const std::string& caption)
{
    if (m_showError)
        m_showError(text, caption);
    else
        fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

int CVexoraV2App::InitInstance(const std::vector<std::string>& ownArgs)
{
    // The data folder holds the accounts: without a place of the user's own, refuse to start
    // rather than keep them in a folder every local user can read.
    std::string dataError = DataFolderError();
    if (!dataError.empty()) {
        ShowError("VexoraV2: " + dataError, "错误");
        return 1;
    }
    OpenLogs();
    WriteBanner("Running");

    // Held until the process ends.
    static std::unique_ptr<CSingleInstance> instance;
    instance = std::make_unique<CSingleInstance>(GetDataFolder() + "VexoraV2.lock");
    if (instance->IsAnotherInstanceRunning()) {
        LogText(g_log, "程序已经运行");
        if (!m_raiseRunning || !m_raiseRunning()) {
            // Starting, hung, or headless: nothing to bring to the front.
            LogText(g_log, "Error : AppMutex is exits! but conn't found window!");
            ShowError("Vexora已经运行！", "Vexora");
        }
        return 0;
    }

    IgnoreSigpipe();

    LogText(g_log, "Info : NeedUpate程序更新检查开始");
    VersionCheckHooks hooks;
    hooks.liveServerLookup = [](std::string* host, int* port) {
        CSpaceApi api(CAppConfig::Instance());
        return api.RequestLiveServerIdc(host, port);
    };
    hooks.showError = [this](const std::string& text, const std::string& caption) {
        ShowError(text, caption);
    };
    if (NeedUpate(ownArgs, hooks)) {
        // The installer is about to replace our files: end now.
        CAppConfig::DestroyInstance();
        CloseLogs();
        return 0;
    }
    LogText(g_log, "Info : 程序更新检查完毕");

    KillLeftoverEncoders();
    InstallCrashHandler(GetDataFolder() + "Dump/", OnDumpWritten);
    Log(g_log, "Info : build time: %s-%s", __DATE__, __TIME__);

    int code = 0;
    if (m_runWindows)
        code = m_runWindows();
    else
        RunHeadless();

    WriteBanner("Exit");
    CloseLogs();
    return code;
}

void CVexoraV2App::RunHeadless()
{
    CAppConfig& cfg = CAppConfig::Instance();
    printf("Vexora %s\n", GetAppVersion().c_str());
    printf("program folder : %s\n", GetProgramFolder().c_str());
    printf("configuration  : %s\n", cfg.ConfigPath().c_str());
    printf("data folder    : %s\n", GetDataFolder().c_str());
    printf("logs           : %sLog/ (log.txt, convert.txt, transfile.txt)\n", GetDataFolder().c_str());
    printf("web server     : %s:%d\n", cfg.m_strWebHost.c_str(), cfg.m_nWebPort);
    printf("login server   : %s:%u\n", cfg.m_strLoginHost.c_str(), cfg.m_usLoginPort);
    printf("file server    : %s:%u\n", cfg.m_strFileSvrHost.c_str(), cfg.m_usFileSvrPort);
    printf("version server : %s:%d\n", cfg.m_strVerHost.c_str(), cfg.m_nVerPort);
    printf("language texts : %zu\n", cfg.Language().Count());
}

} // namespace vx
