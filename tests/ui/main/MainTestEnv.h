#pragma once
// What every main-window test needs: a loop driven by Qt, a database file, a configuration
// (pointing at a simulator when one is started), a power request that records instead of
// holding the machine awake, and the window itself without a tray icon.

#include "common/ShellRecorder.h"
#include "common/SimHarness.h"
#include "common/TestUtil.h"
#include "common/UiTestUtil.h"
#include "pipeline/MemoryModels.h"
#include "platform/Paths.h"
#include "ui/DesktopShell.h"
#include "ui/LoopBridge.h"
#include "ui/main/MainWnd.h"

#include <QApplication>
#include <memory>

namespace vx::test {

struct MainEnv
{
    CTempDir dir;
    CScopedDataDir data;
    CMessageLoop& loop = CMessageLoop::Main(); // the workers report to the main loop
    CQtLoopBridge bridge{loop};
    CSimProcess sim;
    CMemPowerRequest power;
    std::unique_ptr<CLocalDb> db;
    std::unique_ptr<CAppConfig> config;
    std::unique_ptr<CMainWnd> wnd;
    int quits = 0;
    QStringList boxes;

    // extraIni: lines added to the configuration file (say a [power] section).
    explicit MainEnv(bool withSim = false, const std::string& extraIni = std::string())
    {
        ResetDataFolderCache(); // this test's data folder, not the one of an earlier test
        DbOpenOptions o;
        o.strMountsFile = dir.File("no-mounts");
        db = std::make_unique<CLocalDb>(dir.File("DB/vexora_v2.0.db"), o);
        std::string ini = dir.File("Config.ini");
        if (withSim && sim.Start({}))
            ini = sim.WriteConfig(dir.Path());
        else
            WriteFile(ini, "[server]\nHostIP=127.0.0.1:1\n");
        if (!extraIni.empty())
            WriteFile(ini, ReadFile(ini) + "\n" + extraIni);
        config = std::make_unique<CAppConfig>(ini);
        CMainWnd::Deps deps{*config, *db, loop, nullptr, &power, {}, false};
        deps.tuning.speedTestMs = 1000;
        deps.tuning.workCheckMs = 500;
        deps.tuning.strProgramFolder = BinDir();
        deps.tuning.strConvertPath = dir.File("converted");
        wnd = std::make_unique<CMainWnd>(deps);
        wnd->SetQuitHook([this] { ++quits; });
        wnd->SetMessageBoxHook([this](const QString& text, int) {
            boxes << text;
            return 1;
        });
        wnd->resize(1000, 660);
    }
    ~MainEnv() { wnd.reset(); }
};

} // namespace vx::test
