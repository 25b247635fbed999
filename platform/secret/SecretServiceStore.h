#pragma once
// ISecretStore on the freedesktop Secret Service through libsecret, in the default collection
// (the user's login keyring). Each secret carries the attributes "application" and "account".
// Calls are synchronous and bounded by D-Bus's own time-out; the object belongs to one thread.

#include "platform/SecretStore.h"

#include <string>

namespace vx {

class CSecretServiceStore : public ISecretStore
{
public:
    // application names the program's entries so that two programs never see each other's.
    explicit CSecretServiceStore(std::string application = "VexoraV2");

    bool Available() override;
    bool Store(const std::string& account, const std::string& secret) override;
    bool Lookup(const std::string& account, std::string* secret) override;
    bool Remove(const std::string& account) override;
    const std::string& LastError() const override { return m_strError; }

private:
    std::string m_strApplication;
    std::string m_strError;
    int m_nAvailable = -1; // -1 not asked yet, 0 no, 1 yes
};

} // namespace vx
