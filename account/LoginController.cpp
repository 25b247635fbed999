#include "account/LoginController.h"

#include "account/AccountMessages.h"
#include "app/LogFile.h"
#include "platform/Utf8.h"

namespace vx {

CLoginController::CLoginController(CAppConfig& config, CAccountStore* store, CMessageLoop& loop)
    : m_config(config), m_pStore(store), m_loop(loop), m_target(loop.Register(this)),
      m_worker(loop, m_target, kMsgLoginDone)
{
}

CLoginController::~CLoginController()
{
    if (m_pStore)
        m_pStore->SetHashListener(nullptr);
    m_loop.Unregister(m_target);
}

void CLoginController::Changed()
{
    if (m_onChanged)
        m_onChanged();
}

const _sUserAccount* CLoginController::FindAccount(const std::string& name) const
{
    for (const _sUserAccount& a : m_accounts) {
        if (a.strUserName == name)
            return &a;
    }
    return nullptr;
}

void CLoginController::Init(bool autoLoginAllowed)
{
    m_accounts.clear();
    m_view = LoginView();
    m_bLoginWhenHash = false;
    if (m_pStore)
        m_pStore->SetHashListener(
            [this](const std::string& name, const std::string& hash) { OnRememberedHash(name, hash); });
    if (!m_pStore || !m_pStore->Load(&m_accounts)) {
        m_accounts.clear();
        Changed();
        return;
    }
    for (const _sUserAccount& a : m_accounts)
        m_view.items.push_back(a.strUserName);
    if (m_accounts.empty()) {
        Log(g_log, "Error : User array is  empty ");
        Changed();
        return;
    }
    SelectItem(0);
    const _sUserAccount& first = m_accounts.front();
    if (autoLoginAllowed && first.bAutoLogin) {
        m_loop.SetTimer(m_target, kAutoLoginTimer, m_autoLoginDelayMs);
        m_bTimerArmed = true;
    }
    Log(g_log, "Info : name:%s,   auto:%d  ,repwd:%d ", first.strUserName.c_str(), first.bAutoLogin ? 1 : 0,
        first.bRememberPsw ? 1 : 0);
    Changed();
}

void CLoginController::SelectItem(int index)
{
    if (index < 0 || index >= static_cast<int>(m_view.items.size()))
        return;
    m_view.selected = index;
    m_view.userName = m_view.items[index];
    m_view.password.clear();
    if (const _sUserAccount* a = FindAccount(m_view.userName)) {
        m_view.password = a->strPassword;
        m_view.remPass = a->bRememberPsw;
        m_view.autoLog = a->bAutoLogin;
    }
    Changed();
}

void CLoginController::UserNameEdited(const std::string& text)
{
    m_bLoginWhenHash = false;
    m_view.userName = text;
    if (m_view.selected >= 0) {
        m_view.selected = -1;
        m_view.password.clear();
    }
    Changed();
}

void CLoginController::PasswordEdited(const std::string& text)
{
    m_view.password = text;
}

void CLoginController::SetAutoLog(bool checked)
{
    m_view.autoLog = checked;
    if (checked)
        m_view.remPass = true;
    Changed();
}

void CLoginController::SetRemPass(bool checked)
{
    m_view.remPass = checked;
    if (!checked)
        m_view.autoLog = false;
    Changed();
}

void CLoginController::DeleteItem(int index)
{
    if (index < 0 || index >= static_cast<int>(m_view.items.size()))
        return;
    const std::string name = m_view.items[index];
    if (!name.empty()) {
        if (EqualsNoCase(name, m_view.userName)) {
            m_view.userName.clear();
            m_view.password.clear();
        }
        _sUserAccount gone;
        gone.strUserName = name;
        if (m_pStore)
            m_pStore->Remove(gone);
        // Its remembered hash is gone from the store; it must not be sent on its behalf either.
        std::erase_if(m_accounts, [&](const _sUserAccount& a) { return a.strUserName == name; });
    }
    m_view.items.erase(m_view.items.begin() + index);
    if (m_view.selected == index)
        m_view.selected = -1;
    else if (m_view.selected > index)
        --m_view.selected;
    Changed();
}

void CLoginController::DismissPanel()
{
    m_view.panelVisible = false;
    m_view.fieldsVisible = true;
    Changed();
}

void CLoginController::Enter()
{
    if (m_view.panelVisible)
        return;
    Login();
}

void CLoginController::StopTimer()
{
    if (m_bTimerArmed) {
        m_loop.KillTimer(m_target, kAutoLoginTimer);
        m_bTimerArmed = false;
    }
}

void CLoginController::OnRememberedHash(const std::string& name, const std::string& hash)
{
    for (_sUserAccount& a : m_accounts)
        if (a.strUserName == name && a.bRememberPsw)
            a.strPassword = hash;
    // Shown when the account is still the selected one and nothing was typed meanwhile.
    const bool shown = m_view.selected >= 0 && m_view.userName == name;
    if (shown && m_view.password.empty())
        m_view.password = hash;
    Changed();
    if (m_bLoginWhenHash && shown) {
        m_bLoginWhenHash = false;
        Login();
    }
}

void CLoginController::Login()
{
    StopTimer();
    if (m_worker.Busy() || m_view.busy)
        return;
    if (m_view.password.empty() && m_pStore && m_pStore->HashPending(m_view.userName)) {
        // The remembered hash is still on its way from the keyring: the login follows it.
        m_bLoginWhenHash = true;
        return;
    }
    m_bLoginWhenHash = false;
    if (m_view.userName.empty() || m_view.password.empty())
        return;
    LoginRequest request{m_view.userName, m_view.password, m_view.remPass, m_view.autoLog};
    std::string remembered;
    if (const _sUserAccount* a = FindAccount(m_view.userName); a && a->bRememberPsw)
        remembered = a->strPassword;
    if (!m_worker.Start(m_config, request, remembered, m_timeouts))
        return;
    m_view.busy = true;
    Changed();
}

void CLoginController::Close()
{
    StopTimer();
    if (m_mainWnd)
        m_loop.PostMsg(m_mainWnd, WM_CLOSE);
}

void CLoginController::ShowLoginError(const std::string& text, LoginErrorKind kind)
{
    StopTimer();
    m_view.fieldsVisible = false;
    m_view.panelVisible = true;
    m_view.panelKind = kind == LoginErrorKind::Account ? LoginErrorKind::Account : LoginErrorKind::Network;
    m_view.panelText = text;
}

void CLoginController::Apply(LoginResult& r)
{
    m_view.busy = false;
    if (r.bLoginOk) {
        // The login itself succeeded: the session values are this user's even when the
        // permission is then refused (the next login overwrites them).
        m_config.SetSession(r.i64UserId, r.strLoginName, r.strAccountName, r.strPwdHash, r.strScreenName);
        m_config.SetCookie(r.strCookie);
    }
    if (!r.bPermission) {
        if (!r.strMessage.empty() || r.kind != LoginErrorKind::None)
            ShowLoginError(r.strMessage, r.kind);
        Changed();
        return;
    }
    m_config.SetOrganisation(r.i64OrgId, r.strOrgName);
    if (r.bHasAccount && m_pStore)
        m_pStore->Save(r.account);
    Changed();
    if (m_mainWnd)
        m_loop.PostMsg(m_mainWnd, WM_FILESERVER_LIST);
    if (m_onSucceeded)
        m_onSucceeded();
}

void CLoginController::OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload)
{
    if (id == WM_TIMER && wParam == kAutoLoginTimer) {
        Login();
        return;
    }
    if (id == kMsgLoginDone) {
        m_worker.Reap();
        if (LoginResult* r = PayloadAs<LoginResult>(payload))
            Apply(*r);
    }
}

} // namespace vx
