#pragma once
// One login (login request, then permission request) on a thread of its own, so the window
// keeps painting and answering while the platform is slow or away. The worker uses its own
// copy of the endpoints and session values and never touches the database: the outcome is
// posted to the window's target as a copy, and the window applies it on its own thread.

#include "app/AppConfig.h"
#include "net/Session.h"
#include "platform/MessageLoop.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace vx {

struct LoginResult
{
    bool bLoginOk = false;    // the login server accepted the account
    bool bPermission = false; // ... and the account may use this client
    std::string strMessage;   // for the error panel (empty: nothing to show)
    LoginErrorKind kind = LoginErrorKind::None;
    std::string strCause; // technical cause, for the log

    // The session values the login produced, copied into the settings object on success.
    int64_t i64UserId = -1;
    int64_t i64OrgId = 0;
    std::string strLoginName, strAccountName, strPwdHash, strScreenName, strOrgName, strCookie;
    // The account to remember after a granted login.
    bool bHasAccount = false;
    _sUserAccount account;
};

class CLoginWorker
{
public:
    // The outcome arrives as message msgId at target on loop, payload MakePayload(LoginResult).
    CLoginWorker(CMessageLoop& loop, MsgTarget target, uint32_t msgId);
    ~CLoginWorker(); // waits for a running request (bounded by the HTTP time-outs)
    CLoginWorker(const CLoginWorker&) = delete;
    CLoginWorker& operator=(const CLoginWorker&) = delete;

    // rememberedHash: the stored hash of the typed account when its password is remembered
    // (sent as it is when the password field holds it). False while a request still runs.
    bool Start(const CAppConfig& config, const LoginRequest& request, const std::string& rememberedHash,
               const HttpTimeouts& timeouts);
    bool Busy() const { return m_bBusy; }
    // Joins the finished thread; call after the outcome message arrived.
    void Reap();

private:
    CMessageLoop& m_loop;
    MsgTarget m_target;
    uint32_t m_msgId;
    std::thread m_thread;
    std::atomic<bool> m_bBusy{false};
};

} // namespace vx
