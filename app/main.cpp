// VexoraV2 start-up. The windows land later; for now the program runs the core headless:
// opens the logs, reads Config.ini and reports where everything lives.

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "platform/Utf8.h"

#include <cstdio>

using namespace vx;

int main()
{
    InitUtf8Locale();
    IgnoreSigpipe();
    OpenLogs();
    LogText(g_log, "---------------------------------------------------------");
    LogText(g_log, "----------------VexoraV2.0 Running----------------");
    LogText(g_log, "---------------------------------------------------------");

    CAppConfig& cfg = CAppConfig::Instance();
    Log(g_log, "Info : build time: %s-%s", __DATE__, __TIME__);

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

    LogText(g_log, "---------------------------------------------------------");
    LogText(g_log, "----------------VexoraV2.0 Exit----------------");
    LogText(g_log, "---------------------------------------------------------");
    CloseLogs();
    return 0;
}
