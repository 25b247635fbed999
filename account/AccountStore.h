#pragma once
// The remembered accounts of this computer: the rows of table users, with the remembered
// password hash kept in the desktop's Secret Service when one runs. The hash works as the
// password, so while a service is there the database column stays empty and only the flag
// says that the password is remembered; without one the hash stays in the column of the
// database file, which only its owner can read. A hash found in the column while a service
// runs (written by an older version, or while the service was away) is moved into it.
//
// Two ways to reach the service. Given a plain ISecretStore, every call asks it at once (the
// command line, tests). Given a loop, the calls run on a thread of their own (CSecretQueue) and
// their outcomes are applied on the loop's thread: the window never waits for a keyring that
// starts on demand or puts up a prompt. Then Load returns the rows at once, remembered hashes
// that live in the service arrive later through the hash listener, and a hash is written to the
// column first and emptied from it only once the service has taken it: a refused or cancelled
// keyring leaves it where it was, and says so once.

#include "platform/MessageLoop.h"
#include "platform/SecretStore.h"
#include "store/LocalDb.h"
#include "store/UserAccount.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vx {

class CSecretQueue;

class CAccountStore : public IMsgHandler
{
public:
    // secrets may be null: the database alone keeps everything.
    CAccountStore(CLocalDb& db, ISecretStore* secrets);
    // The service is asked off the loop's thread.
    CAccountStore(CLocalDb& db, std::shared_ptr<ISecretStore> secrets, CMessageLoop& loop);
    ~CAccountStore() override;
    CAccountStore(const CAccountStore&) = delete;
    CAccountStore& operator=(const CAccountStore&) = delete;

    // Most recently used first; remembered accounts carry their hash in strPassword (when the
    // service is asked off the thread, a hash that lives there follows through the listener).
    bool Load(std::vector<_sUserAccount>* out);
    // After a granted login. The hash goes to the Secret Service when it takes it, else to the
    // database; an account that no longer remembers its password loses the stored one.
    bool Save(const _sUserAccount& account);
    // Deletes the row and the remembered hash.
    bool Remove(const _sUserAccount& account);

    // True when the last Save or Load kept the hash in the Secret Service.
    bool UsesSecretService() const { return m_bUsedService; }

    // A remembered hash read from the service after Load: (account, hash); the hash is empty
    // when the service had none or could not be asked.
    using HashListener = std::function<void(const std::string& account, const std::string& hash)>;
    void SetHashListener(HashListener listener) { m_onHash = std::move(listener); }
    // Whether the hash of an account is still being read from the service.
    bool HashPending(const std::string& account) const { return m_pending.count(account) != 0; }
    // Whether a call to the service is still on its way (tests).
    bool Busy() const { return m_nInFlight > 0; }

    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override;

private:
    // What the service's thread reports.
    struct SecretResult
    {
        enum Kind
        {
            kMoved,   // a hash of the column was handed to the service
            kFound,   // a hash was looked up
            kRemoved, // a hash was removed
        } kind = kFound;
        std::string account;
        std::string hash;
        bool serviceUp = false;
        bool ok = false;
        std::string error;
    };
    static constexpr uint32_t kMsgSecretDone = WM_USER + 3201;

    bool ServiceUp();
    // Queues a call for the service's thread.
    void Ask(SecretResult::Kind kind, const std::string& account, const std::string& hash);
    void Apply(SecretResult& r);
    // The column still holds exactly this hash (the user may have changed it meanwhile).
    bool ColumnHolds(const std::string& account, const std::string& hash);
    void TellRefusal(const std::string& account, const std::string& error);

    CLocalDb& m_db;
    ISecretStore* m_pSecrets;
    bool m_bUsedService = false;

    // Asked off the thread.
    CMessageLoop* m_pLoop = nullptr;
    MsgTarget m_target = 0;
    std::unique_ptr<CSecretQueue> m_pQueue;
    HashListener m_onHash;
    std::set<std::string> m_pending;
    int m_nInFlight = 0;
    bool m_bRefusalTold = false;
};

} // namespace vx
