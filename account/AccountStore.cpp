#include "account/AccountStore.h"

#include "app/LogFile.h"

namespace vx {

CAccountStore::CAccountStore(CLocalDb& db, ISecretStore* secrets) : m_db(db), m_pSecrets(secrets) {}

bool CAccountStore::ServiceUp()
{
    return m_pSecrets && m_pSecrets->Available();
}

bool CAccountStore::Load(std::vector<_sUserAccount>* out)
{
    m_bUsedService = false;
    if (!m_db.GetUsers(out))
        return false;
    if (!ServiceUp())
        return true;
    m_bUsedService = true;
    for (_sUserAccount& a : *out) {
        if (!a.bRememberPsw)
            continue;
        if (!a.strPassword.empty()) {
            // Left in the column earlier: move it, and empty the column only once it is safe.
            if (m_pSecrets->Store(a.strUserName, a.strPassword))
                m_db.SetUserPassword(a.strUserName, std::string());
            else
                Log(g_log, "Warning : keeping the password of '%s' in the database: %s",
                    a.strUserName.c_str(), m_pSecrets->LastError().c_str());
            continue;
        }
        std::string hash;
        if (m_pSecrets->Lookup(a.strUserName, &hash))
            a.strPassword = hash;
    }
    return true;
}

bool CAccountStore::Save(const _sUserAccount& account)
{
    m_bUsedService = false;
    _sUserAccount row = account;
    if (!account.bRememberPsw || account.strPassword.empty()) {
        row.strPassword.clear();
        if (ServiceUp() && !m_pSecrets->Remove(account.strUserName))
            Log(g_log, "Warning : could not remove the remembered password of '%s': %s",
                account.strUserName.c_str(), m_pSecrets->LastError().c_str());
    } else if (ServiceUp()) {
        if (m_pSecrets->Store(account.strUserName, account.strPassword)) {
            row.strPassword.clear();
            m_bUsedService = true;
        } else {
            Log(g_log,
                "Warning : the Secret Service did not take the password of '%s' (%s); it stays in "
                "the database",
                account.strUserName.c_str(), m_pSecrets->LastError().c_str());
        }
    }
    return m_db.SaveUser(row);
}

bool CAccountStore::Remove(const _sUserAccount& account)
{
    const bool ok = m_db.RemoveUser(account);
    if (ServiceUp() && !m_pSecrets->Remove(account.strUserName))
        Log(g_log, "Warning : could not remove the remembered password of '%s': %s",
            account.strUserName.c_str(), m_pSecrets->LastError().c_str());
    return ok;
}

} // namespace vx
