#pragma once
// What every main-window test needs: a loop driven by Qt, a database file, a configuration
// (pointing at a simulator when one is started), a power request that records instead of
// holding the machine awake, and the window itself (without a tray icon unless asked).

#include "common/ShellRecorder.h"
#include "common/SimHarness.h"
#include "common/TestUtil.h"
#include "common/UiTestUtil.h"
#include "net/Session.h"
#include "pipeline/MemoryModels.h"
#include "platform/Paths.h"
#include "space/SpaceController.h"
#include "ui/DesktopShell.h"
#include "ui/LoopBridge.h"
#include "ui/lists/LCListView.h"
#include "ui/main/MainWnd.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
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

    // extraIni: lines added to the configuration file (say a [power] section). tray: the window
    // has a tray icon the desktop shows (offscreen there is none to see).
    explicit MainEnv(bool withSim = false, const std::string& extraIni = std::string(), bool tray = false)
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
        // The program's texts beside the configuration, as the installed program has them.
        MakeDirs(dir.File("Language"));
        WriteFile(dir.File("Language/SimpleChinese"), ReadFile(BinDir() + "Language/SimpleChinese"));
        config = std::make_unique<CAppConfig>(ini);
        CMainWnd::Deps deps{*config, *db, loop, nullptr, &power, {}, tray, [tray] { return tray; }};
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

inline bool Ffmpeg(const std::vector<std::string>& args)
{
    std::vector<std::string> a = {"-v", "error", "-y"};
    a.insert(a.end(), args.begin(), args.end());
    return RunProgram("/usr/bin/ffmpeg", a, {}, 60000).exitCode == 0;
}

// Signed in as the demo user who completed the start-up settings long ago (startSettingsDone),
// or as one who never did (the session then waits for the start-up settings window).
inline bool Login(MainEnv& env, bool startSettingsDone = true)
{
    CSession session(*env.config);
    if (!session.Login({CSimProcess::DemoUser(), CSimProcess::DemoPassword(), false, false}) ||
        !session.PermissionGranted())
        return false;
    if (startSettingsDone) {
        _sSetData options;
        env.db->GetSetData(options, env.config->m_i64UserId);
        options.nUinfo |= kOptStartSetDone;
        env.db->UpDateSetData(options, env.config->m_i64UserId);
    }
    env.loop.PostMsg(env.wnd->Target(), WM_FILESERVER_LIST);
    return true;
}

inline bool SignIn(MainEnv& env)
{
    if (!Login(env))
        return false;
    return QTest::qWaitFor(
        [&] {
            return env.wnd->Pipeline().IsSessionRunning() && env.wnd->isVisible() &&
                   env.wnd->Space().Tree().RootIdOf(env.config->m_i64UserId) > 0;
        },
        30000);
}

// Signed in with the user's root folder shown in the space page.
inline bool SignInAtRoot(MainEnv& env)
{
    if (!SignIn(env))
        return false;
    CSpaceController& space = env.wnd->Space();
    space.ShowDirList(space.Tree().RootIdOf(env.config->m_i64UserId));
    return space.WaitIdle(20000);
}

inline bool MakeClip(const std::string& path, const char* size, int seconds)
{
    return Ffmpeg({"-f", "lavfi", "-i", std::string("testsrc=size=") + size + ":rate=25", "-t",
                   std::to_string(seconds), "-c:v", "libx264", "-preset", "ultrafast", path});
}

// Adds one file as the add-file dialog does and waits until the server's answers were applied.
inline bool AddAndWait(CMainWnd& w, const std::string& path)
{
    w.AddFiles({QString::fromStdString(path)});
    return QTest::qWaitFor([&] { return !w.IsAddingFiles(); }, 30000) && w.CourseList()->List()->Count() == 1;
}

// A real drop of local paths' URLs on the window.
inline bool Drop(QWidget& w, const std::vector<std::string>& paths)
{
    QList<QUrl> urls;
    for (const std::string& p : paths)
        urls << QUrl::fromLocalFile(QString::fromStdString(p));
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    return drop.isAccepted();
}

} // namespace vx::test
