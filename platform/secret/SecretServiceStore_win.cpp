#include "platform/secret/SecretServiceStore.h"

#include "platform/Win32Text.h"

#include <wincred.h>

namespace vx {

namespace {

// One generic credential per program and account, e.g. "VexoraV2/teacher01".
std::wstring TargetOf(const std::string& application, const std::string& account)
{
    return win::Wide(application + "/" + account);
}

} // namespace

CSecretServiceStore::CSecretServiceStore(std::string application) : m_strApplication(std::move(application))
{
}

bool CSecretServiceStore::Available()
{
    // The Credential Manager is part of every Windows session.
    m_nAvailable = 1;
    return true;
}

bool CSecretServiceStore::Store(const std::string& account, const std::string& secret)
{
    std::wstring target = TargetOf(m_strApplication, account);
    std::wstring user = win::Wide(account);
    CREDENTIALW cred{};
    cred.Type = CRED_TYPE_GENERIC;
    cred.TargetName = target.data();
    cred.UserName = user.data();
    cred.CredentialBlobSize = static_cast<DWORD>(secret.size());
    cred.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<char*>(secret.data()));
    cred.Persist = CRED_PERSIST_LOCAL_MACHINE; // this user on this computer, not roaming
    if (!CredWriteW(&cred, 0)) {
        m_strError =
            "the Credential Manager did not store the entry (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool CSecretServiceStore::Lookup(const std::string& account, std::string* secret)
{
    PCREDENTIALW cred = nullptr;
    if (!CredReadW(TargetOf(m_strApplication, account).c_str(), CRED_TYPE_GENERIC, 0, &cred)) {
        DWORD e = GetLastError();
        if (e != ERROR_NOT_FOUND)
            m_strError = "the Credential Manager could not be read (error " + std::to_string(e) + ")";
        return false;
    }
    secret->assign(reinterpret_cast<const char*>(cred->CredentialBlob), cred->CredentialBlobSize);
    CredFree(cred);
    return true;
}

bool CSecretServiceStore::Remove(const std::string& account)
{
    if (CredDeleteW(TargetOf(m_strApplication, account).c_str(), CRED_TYPE_GENERIC, 0))
        return true;
    DWORD e = GetLastError();
    if (e == ERROR_NOT_FOUND)
        return true;
    m_strError = "the Credential Manager did not remove the entry (error " + std::to_string(e) + ")";
    return false;
}

} // namespace vx
