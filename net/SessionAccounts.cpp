// The session's account hooks on the local database.

#include "net/Session.h"
#include "store/LocalDb.h"

namespace vx {

SessionAccounts LocalDbAccounts()
{
    SessionAccounts hooks;
    hooks.findRememberedHash = [](const std::string& userName, std::string* pwdHash) {
        std::vector<_sUserAccount> users;
        if (!CLocalDb::Instance().GetUsers(&users))
            return false;
        for (const _sUserAccount& u : users) {
            if (u.strUserName == userName && u.bRememberPsw && !u.strPassword.empty()) {
                *pwdHash = u.strPassword;
                return true;
            }
        }
        return false;
    };
    hooks.saveUser = [](const _sUserAccount& account) { CLocalDb::Instance().SaveUser(account); };
    return hooks;
}

} // namespace vx
