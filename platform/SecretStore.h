#pragma once
// A place for small secrets outside our own files: the desktop's Secret Service (GNOME
// Keyring, KWallet) where one runs. Callers treat a missing service and a failed call alike:
// they keep the secret where they kept it before.

#include <string>

namespace vx {

class ISecretStore
{
public:
    virtual ~ISecretStore() = default;
    // True when a service answered; the answer is kept for the life of the object.
    virtual bool Available() = 0;
    // Stores (replaces) the secret of an account; false when it could not be stored.
    virtual bool Store(const std::string& account, const std::string& secret) = 0;
    // The account's secret; false when there is none or the service could not be asked.
    virtual bool Lookup(const std::string& account, std::string* secret) = 0;
    // Removes the account's secret; true also when there was none.
    virtual bool Remove(const std::string& account) = 0;
    // A readable cause of the last failure (for the log).
    virtual const std::string& LastError() const = 0;
};

} // namespace vx
