#pragma once
// The login window: the first window after start-up, shown again when the user switches
// accounts. It shows what CLoginController decides (remembered accounts, fields, the error
// panel, the busy state) and forwards the user's clicks and keys to it; the requests run on
// the controller's worker thread, so the window keeps painting and answering meanwhile.
// Closing it ends the program; a granted login closes it and lets the main window go on.
//
// By keyboard: the account field has the first focus, Tab goes through the fields, the two
// boxes, the links and buttons (in that order, the error panel's when it shows, the close button
// last), Space presses the focused button or box, and Enter logs in wherever the focus is. Down
// (or F4) in the account field opens the remembered accounts: arrows pick, Enter chooses, Delete
// forgets the highlighted one.

#include "account/AccountStore.h"
#include "account/LoginController.h"
#include "ui/VxDialog.h"

#include <memory>

namespace Ui {
class LoginWnd;
}

namespace vx {

class CLoginWnd : public CVxDialog
{
    Q_OBJECT

public:
    // The window's identity for the single-instance check.
    static constexpr const char* kClassName = "__VEXORA_LOGON_WND__";

    // mainTarget: the main window on the program's loop (3025 on success, WM_CLOSE on close).
    // autoLoginAllowed: true at program start, false after an account switch.
    CLoginWnd(QWidget* owner, MsgTarget mainTarget, CAppConfig& config, CAccountStore* store,
              bool autoLoginAllowed, CMessageLoop& loop = CMessageLoop::Main());
    ~CLoginWnd() override;

    CLoginController& Controller() { return *m_pController; }
    // The two web pages on the platform's web host.
    QString RegisterUrl() const;
    QString RecoveryUrl() const;
    // True once a granted login closed the window.
    bool Succeeded() const { return m_bSucceeded; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override; // Escape does not close this window
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void BindControls();
    void OnAccountSelected(int index);
    void OnAccountDeleted(int index);
    void OnRemPassClicked(bool checked);
    void OnAutoLogClicked(bool checked);
    void ScheduleSync();
    void Sync();
    void SyncCombo();
    void PlaceErrorPanel();
    void OpenPage(const QString& url);
    void CloseProgram();

    std::unique_ptr<Ui::LoginWnd> m_form;
    CAppConfig& m_config;
    std::unique_ptr<CLoginController> m_pController;
    bool m_bAutoLoginAllowed;
    bool m_bInitialised = false;
    bool m_bSyncQueued = false;
    bool m_bSyncing = false;
    bool m_bSucceeded = false;
    bool m_bClosing = false;
};

} // namespace vx
