#include "account/LoginWorker.h"

namespace vx {

CLoginWorker::CLoginWorker(CMessageLoop& loop, MsgTarget target, uint32_t msgId)
    : m_loop(loop), m_target(target), m_msgId(msgId)
{
}

CLoginWorker::~CLoginWorker()
{
    if (m_thread.joinable())
        m_thread.join();
}

void CLoginWorker::Reap()
{
    if (m_thread.joinable() && !m_bBusy)
        m_thread.join();
}

bool CLoginWorker::Start(const CAppConfig& config, const LoginRequest& request,
                         const std::string& rememberedHash, const HttpTimeouts& timeouts)
{
    if (m_bBusy)
        return false;
    if (m_thread.joinable())
        m_thread.join();

    // The copy reads the same file (language texts included) and takes the endpoints as they
    // are in memory now.
    auto copy = std::make_unique<CAppConfig>(config.ConfigPath(), config.DefaultsPath());
    copy->m_strLoginHost = config.m_strLoginHost;
    copy->m_usLoginPort = config.m_usLoginPort;
    copy->m_strWebHost = config.m_strWebHost;
    copy->m_nWebPort = config.m_nWebPort;
    copy->m_strOrgName = config.m_strOrgName;

    m_bBusy = true;
    m_thread = std::thread([this, cfg = std::move(copy), request, rememberedHash, timeouts]() {
        LoginResult result;
        CSession session(*cfg);
        session.SetTimeouts(timeouts);
        SessionAccounts accounts;
        accounts.findRememberedHash = [rememberedHash](const std::string&, std::string* hash) {
            if (rememberedHash.empty())
                return false;
            *hash = rememberedHash;
            return true;
        };
        accounts.saveUser = [&result](const _sUserAccount& account) {
            result.bHasAccount = true;
            result.account = account;
        };
        session.SetAccounts(accounts);
        result.bLoginOk = session.Login(request);
        result.bPermission = result.bLoginOk && session.PermissionGranted();
        result.strMessage = session.GetMessage();
        result.kind = session.GetMessageKind();
        result.strCause = session.GetFailureCause();
        result.i64UserId = cfg->m_i64UserId;
        result.i64OrgId = cfg->m_i64OrgId;
        result.strLoginName = cfg->m_strLoginName;
        result.strAccountName = cfg->m_strAccountName;
        result.strPwdHash = cfg->m_strPwdHash;
        result.strScreenName = cfg->m_strScreenName;
        result.strOrgName = cfg->m_strOrgName;
        result.strCookie = cfg->m_strCookie;
        // Busy ends before the post, so the window may start the next request as soon as it
        // has the outcome; Reap then only joins a thread that is returning.
        m_bBusy = false;
        m_loop.PostMsg(m_target, m_msgId, 0, MakePayload(std::move(result)));
    });
    return true;
}

} // namespace vx
