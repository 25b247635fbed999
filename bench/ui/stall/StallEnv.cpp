#include "StallEnv.h"

#include "app/UserOptions.h"
#include "app/Utils.h"
#include "net/Session.h"
#include "platform/Paths.h"
#include "space/SpaceController.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QStackedWidget>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace vx::bench {

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    return done();
}

void Settle(int ms)
{
    WaitFor([] { return false; }, ms);
}

CStallEnv::CStallEnv(const std::string& folder, const std::string& ini, const std::string& programFolder)
    : m_folder(folder)
{
    MakeDirs(folder);
    setenv("VEXORA_DATA_DIR", folder.c_str(), 1);
    ResetDataFolderCache();
    std::ifstream in(ini);
    std::stringstream text;
    text << in.rdbuf();
    const std::string myIni = JoinPath(folder, "Config.ini");
    std::ofstream(myIni) << text.str();
    m_bridge = std::make_unique<CQtLoopBridge>(m_loop);
    m_db = std::make_unique<CLocalDb>(JoinPath(folder, "DB/vexora_v2.0.db"));
    m_config = std::make_unique<CAppConfig>(myIni);
    CMainWnd::Deps deps{*m_config, *m_db, m_loop, nullptr, &m_power, {}, false, {}};
    deps.tuning.speedTestMs = 1000;
    deps.tuning.strProgramFolder = programFolder;
    deps.tuning.strConvertPath = JoinPath(folder, "converted");
    m_wnd = std::make_unique<CMainWnd>(deps);
    m_wnd->SetQuitHook([] {});
    m_wnd->SetMessageBoxHook([](const QString&, int) { return 1; });
    m_wnd->resize(1000, 660);
}

CStallEnv::~CStallEnv()
{
    m_wnd.reset(); // ends the session: the workers are joined before the bridge goes
    m_bridge.reset();
}

bool CStallEnv::Login(const std::string& user, const std::string& password)
{
    std::atomic<int> result{-1};
    std::thread t([&] {
        CSession session(*m_config);
        result = session.Login({user, password, false, false}) && session.PermissionGranted() ? 1 : 0;
    });
    WaitFor([&] { return result.load() >= 0; }, 60000);
    t.join();
    return result.load() == 1;
}

void CStallEnv::StartSession()
{
    // A user who completed the start-up settings long ago: no window waits for an answer.
    _sSetData options;
    m_db->GetSetData(options, m_config->m_i64UserId);
    options.nUinfo |= kOptStartSetDone;
    m_db->UpDateSetData(options, m_config->m_i64UserId);
    m_loop.PostMsg(m_wnd->Target(), WM_FILESERVER_LIST);
}

int64_t CStallEnv::RootFolder() const
{
    return m_wnd->Space().Tree().RootIdOf(m_config->m_i64UserId);
}

bool CStallEnv::SessionReady() const
{
    return m_wnd->Pipeline().IsSessionRunning() && m_wnd->isVisible() && RootFolder() > 0;
}

bool CStallEnv::SignIn(const std::string& user, const std::string& password, int timeoutMs)
{
    if (!Login(user, password))
        return false;
    StartSession();
    if (!WaitFor([this] { return SessionReady(); }, timeoutMs))
        return false;
    m_wnd->Space().ShowDirList(RootFolder());
    return WaitFor(
        [this] { return !m_wnd->Space().IsBusy() && m_wnd->Space().List().DirId() == RootFolder(); },
        timeoutMs);
}

void CStallEnv::ShowCoursePage()
{
    if (auto* tabs = m_wnd->findChild<QStackedWidget*>(QStringLiteral("switchoverTab")))
        tabs->setCurrentIndex(0);
}

} // namespace vx::bench
