#pragma once
// What the login window does, without the widgets: the remembered accounts in the combo, the
// fields they fill, the coupling of "remember password" and "log in automatically", the
// automatic login 2 s after a start-up show, the login itself on a worker thread and the error
// panel in its two kinds. The window shows LoginView and forwards the user's actions; every
// change calls the changed callback.

#include "account/AccountStore.h"
#include "account/LoginWorker.h"
#include "app/AppConfig.h"
#include "net/HttpClient.h"
#include "platform/MessageLoop.h"

#include <functional>
#include <string>
#include <vector>

namespace vx {

// The state of the window's controls.
struct LoginView
{
    std::vector<std::string> items; // AccountCombo: user names, most recently used first
    int selected = -1;              // selected combo item, -1 none
    std::string userName;           // usernameEdit
    std::string password;           // passwordEdit (a remembered account shows its hash)
    bool remPass = false;
    bool autoLog = false;
    bool fieldsVisible = true; // the two edits (hidden while the panel shows)
    bool panelVisible = false; // errorfloat
    LoginErrorKind panelKind = LoginErrorKind::None;
    std::string panelText; // errorcode (network) or elabel5 (account; empty: elabel5 hidden)
    bool busy = false;     // a login request is running
};

class CLoginController : public IMsgHandler
{
public:
    static constexpr uint32_t kAutoLoginTimer = 107;
    static constexpr int kAutoLoginDelayMs = 2000;

    // store may be null (no remembered accounts). The controller registers on loop.
    CLoginController(CAppConfig& config, CAccountStore* store, CMessageLoop& loop = CMessageLoop::Main());
    ~CLoginController() override;
    CLoginController(const CLoginController&) = delete;
    CLoginController& operator=(const CLoginController&) = delete;

    void SetMainTarget(MsgTarget mainWnd) { m_mainWnd = mainWnd; }
    void SetTimeouts(const HttpTimeouts& t) { m_timeouts = t; }
    void SetAutoLoginDelay(int ms) { m_autoLoginDelayMs = ms; }
    // The view changed (the window refreshes its controls).
    void SetChangedCallback(std::function<void()> cb) { m_onChanged = std::move(cb); }
    // The login was granted and the account stored: the window closes.
    void SetSucceededCallback(std::function<void()> cb) { m_onSucceeded = std::move(cb); }

    // Loads the remembered accounts and selects the first; arms the automatic login when it is
    // allowed (start-up, not an account switch) and the first account asks for it.
    void Init(bool autoLoginAllowed);

    // The user's actions.
    void SelectItem(int index);
    void UserNameEdited(const std::string& text); // typed, not set by a selection
    void PasswordEdited(const std::string& text);
    void SetAutoLog(bool checked);
    void SetRemPass(bool checked);
    void DeleteItem(int index);
    void DismissPanel(); // okbtn
    // Enter: logs in unless the panel shows or a request runs. Always swallowed.
    void Enter();
    // loginbtn, Enter and the timer. Empty fields do nothing; a second login while one runs is
    // ignored.
    void Login();
    // closebtn and the system close: stops the timer and asks the main window to close.
    void Close();

    const LoginView& View() const { return m_view; }
    const std::vector<_sUserAccount>& Accounts() const { return m_accounts; }
    bool AutoLoginArmed() const { return m_bTimerArmed; }
    MsgTarget Target() const { return m_target; }

    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override;

private:
    static constexpr uint32_t kMsgLoginDone = WM_USER + 3001;

    void StopTimer();
    // A remembered hash read from the keyring after the accounts were shown.
    void OnRememberedHash(const std::string& name, const std::string& hash);
    void ShowLoginError(const std::string& text, LoginErrorKind kind);
    void Apply(LoginResult& result);
    void Changed();
    const _sUserAccount* FindAccount(const std::string& name) const;

    CAppConfig& m_config;
    CAccountStore* m_pStore;
    CMessageLoop& m_loop;
    MsgTarget m_target = 0;
    MsgTarget m_mainWnd = 0;
    HttpTimeouts m_timeouts;
    int m_autoLoginDelayMs = kAutoLoginDelayMs;
    bool m_bTimerArmed = false;
    bool m_bLoginWhenHash = false; // a login waits for the selected account's hash
    std::vector<_sUserAccount> m_accounts;
    LoginView m_view;
    CLoginWorker m_worker;
    std::function<void()> m_onChanged;
    std::function<void()> m_onSucceeded;
};

} // namespace vx
