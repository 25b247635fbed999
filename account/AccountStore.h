#pragma once
// The remembered accounts of this computer: the rows of table users, with the remembered
// password hash kept in the desktop's Secret Service when one runs. The hash works as the
// password, so while a service is there the database column stays empty and only the flag
// says that the password is remembered; without one the hash stays in the column of the
// database file, which only its owner can read. A hash found in the column while a service
// runs (written by an older version, or while the service was away) is moved into it.

#include "platform/SecretStore.h"
#include "store/LocalDb.h"
#include "store/UserAccount.h"

#include <vector>

namespace vx {

class CAccountStore
{
public:
    // secrets may be null: the database alone keeps everything.
    CAccountStore(CLocalDb& db, ISecretStore* secrets);

    // Most recently used first; remembered accounts carry their hash in strPassword.
    bool Load(std::vector<_sUserAccount>* out);
    // After a granted login. The hash goes to the Secret Service when it takes it, else to the
    // database; an account that no longer remembers its password loses the stored one.
    bool Save(const _sUserAccount& account);
    // Deletes the row and the remembered hash.
    bool Remove(const _sUserAccount& account);

    // True when the last Save or Load kept the hash in the Secret Service.
    bool UsesSecretService() const { return m_bUsedService; }

private:
    bool ServiceUp();

    CLocalDb& m_db;
    ISecretStore* m_pSecrets;
    bool m_bUsedService = false;
};

} // namespace vx
