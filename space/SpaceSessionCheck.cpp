#include "net/Session.h"
#include "space/SpaceController.h"

#include <memory>

namespace vx {

void CSpaceController::CheckSignOut(std::function<void(bool signedOut)> done)
{
    auto result = std::make_shared<SignOutCheck>(SignOutCheck::Failed);
    auto cookie = std::make_shared<std::string>();
    SpaceJob job;
    job.prepare = [this] {
        // The re-login needs the remembered hash, which the page's own requests never do.
        m_workerConfig->m_strPwdHash = m_config.m_strPwdHash;
        return true;
    };
    job.work = [this, result, cookie] {
        CSession session(*m_workerConfig);
        *result = session.CheckSignOut();
        *cookie = m_workerConfig->m_strCookie;
    };
    job.apply = [this, result, cookie, done = std::move(done)] {
        if (*result == SignOutCheck::ReLoggedIn)
            CSession::SetCookieText(m_config, *cookie);
        done(*result == SignOutCheck::SignedOut);
    };
    Queue(std::move(job));
}

} // namespace vx
