#pragma once
// One signed-in main window for a stall scenario: its own data folder and database, a copy of
// the configuration that points at the running simulator, the program's message loop driven by
// Qt, and a power request that only records. Sign-ins run the login request on a thread of
// their own, as the login window does, so the bench itself never blocks the GUI thread.

#include "app/AppConfig.h"
#include "pipeline/MemoryModels.h"
#include "platform/MessageLoop.h"
#include "store/LocalDb.h"
#include "ui/LoopBridge.h"
#include "ui/main/MainWnd.h"

#include <functional>
#include <memory>
#include <string>

namespace vx::bench {

// Runs Qt's event loop until done() holds or timeoutMs passed; returns done()'s last value.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);
// Runs Qt's event loop for ms milliseconds.
void Settle(int ms);

class CStallEnv
{
public:
    // folder: this scenario's data folder (created); ini: the configuration to copy;
    // programFolder: where codecs/, Ext.data and the language texts are.
    CStallEnv(const std::string& folder, const std::string& ini, const std::string& programFolder);
    ~CStallEnv();

    CMainWnd& Wnd() { return *m_wnd; }
    CLocalDb& Db() { return *m_db; }
    CAppConfig& Config() { return *m_config; }
    const std::string& Folder() const { return m_folder; }

    // The login request on a thread (Qt's loop keeps running); true when the account is
    // granted. The user id is known afterwards.
    bool Login(const std::string& user, const std::string& password);
    // What the login window does next: WM_FILESERVER_LIST to the window.
    void StartSession();
    // The session runs, the window shows and the user's root folder is known.
    bool SessionReady() const;
    // Login + StartSession + wait for SessionReady, then shows the root folder's content.
    bool SignIn(const std::string& user, const std::string& password, int timeoutMs);

    int64_t RootFolder() const;
    // The course page in front (the list paints while it fills).
    void ShowCoursePage();

private:
    std::string m_folder;
    CMessageLoop& m_loop = CMessageLoop::Main();
    std::unique_ptr<CQtLoopBridge> m_bridge;
    CMemPowerRequest m_power;
    std::unique_ptr<CLocalDb> m_db;
    std::unique_ptr<CAppConfig> m_config;
    std::unique_ptr<CMainWnd> m_wnd;
};

} // namespace vx::bench
