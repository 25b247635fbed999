#include "account/AccountStore.h"

#include "account/SecretQueue.h"
#include "app/LogFile.h"

namespace vx {

CAccountStore::CAccountStore(CLocalDb& db, ISecretStore* secrets) : m_db(db), m_pSecrets(secrets) {}

CAccountStore::CAccountStore(CLocalDb& db, std::shared_ptr<ISecretStore> secrets, CMessageLoop& loop)
    : m_db(db), m_pSecrets(nullptr), m_pLoop(&loop)
{
    m_target = loop.Register(this);
    if (secrets)
        m_pQueue = std::make_unique<CSecretQueue>(std::move(secrets));
}

CAccountStore::~CAccountStore()
{
    if (m_pLoop)
        m_pLoop->Unregister(m_target); // outcomes still on their way go nowhere
    m_pQueue.reset();
}

bool CAccountStore::ServiceUp()
{
    return m_pSecrets && m_pSecrets->Available();
}

void CAccountStore::Ask(SecretResult::Kind kind, const std::string& account, const std::string& hash)
{
    ++m_nInFlight;
    m_pQueue->Push([kind, account, hash, loop = m_pLoop, target = m_target](ISecretStore& secrets) {
        SecretResult r;
        r.kind = kind;
        r.account = account;
        r.hash = hash;
        r.serviceUp = secrets.Available();
        if (r.serviceUp) {
            if (kind == SecretResult::kMoved)
                r.ok = secrets.Store(account, hash);
            else if (kind == SecretResult::kFound)
                r.ok = secrets.Lookup(account, &r.hash);
            else
                r.ok = secrets.Remove(account);
        }
        if (!r.ok)
            r.error = secrets.LastError();
        loop->PostMsg(target, kMsgSecretDone, 0, MakePayload(std::move(r)));
    });
}

bool CAccountStore::Load(std::vector<_sUserAccount>* out)
{
    m_bUsedService = false;
    if (!m_db.GetUsers(out))
        return false;
    if (m_pQueue) {
        for (const _sUserAccount& a : *out) {
            if (!a.bRememberPsw)
                continue;
            if (!a.strPassword.empty()) {
                // Left in the column earlier: offered to the service; the login goes on with it.
                Ask(SecretResult::kMoved, a.strUserName, a.strPassword);
            } else {
                m_pending.insert(a.strUserName);
                Ask(SecretResult::kFound, a.strUserName, std::string());
            }
        }
        return true;
    }
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
    const bool remember = account.bRememberPsw && !account.strPassword.empty();
    if (m_pQueue) {
        // The column keeps the hash until the service has taken it.
        if (!remember)
            row.strPassword.clear();
        const bool ok = m_db.SaveUser(row);
        Ask(remember ? SecretResult::kMoved : SecretResult::kRemoved, account.strUserName,
            remember ? account.strPassword : std::string());
        return ok;
    }
    if (!remember) {
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
    if (m_pQueue) {
        m_pending.erase(account.strUserName);
        Ask(SecretResult::kRemoved, account.strUserName, std::string());
    } else if (ServiceUp() && !m_pSecrets->Remove(account.strUserName)) {
        Log(g_log, "Warning : could not remove the remembered password of '%s': %s",
            account.strUserName.c_str(), m_pSecrets->LastError().c_str());
    }
    return ok;
}

bool CAccountStore::ColumnHolds(const std::string& account, const std::string& hash)
{
    std::vector<_sUserAccount> rows;
    if (!m_db.GetUsers(&rows))
        return false;
    for (const _sUserAccount& a : rows)
        if (a.strUserName == account)
            return a.bRememberPsw && a.strPassword == hash;
    return false;
}

void CAccountStore::TellRefusal(const std::string& account, const std::string& error)
{
    // Every later attempt meets the same keyring: once is enough.
    if (m_bRefusalTold)
        return;
    m_bRefusalTold = true;
    Log(g_log,
        "Warning : the Secret Service did not take the password of '%s' (%s); remembered passwords "
        "stay in the database file",
        account.c_str(), error.c_str());
}

void CAccountStore::Apply(SecretResult& r)
{
    switch (r.kind) {
    case SecretResult::kMoved:
        if (r.ok) {
            m_bUsedService = true;
            if (ColumnHolds(r.account, r.hash))
                m_db.SetUserPassword(r.account, std::string());
        } else if (r.serviceUp) {
            TellRefusal(r.account, r.error);
        }
        break;
    case SecretResult::kFound:
        if (!m_pending.erase(r.account))
            break; // removed meanwhile
        if (r.ok)
            m_bUsedService = true;
        else
            r.hash.clear();
        if (m_onHash)
            m_onHash(r.account, r.hash);
        break;
    case SecretResult::kRemoved:
        if (r.serviceUp && !r.ok)
            Log(g_log, "Warning : could not remove the remembered password of '%s': %s", r.account.c_str(),
                r.error.c_str());
        break;
    }
}

void CAccountStore::OnMessage(uint32_t id, uint64_t, std::unique_ptr<CMsgPayload> payload)
{
    if (id != kMsgSecretDone)
        return;
    --m_nInFlight;
    if (SecretResult* r = PayloadAs<SecretResult>(payload))
        Apply(*r);
}

} // namespace vx
