#include "platform/secret/SecretServiceStore.h"

#include <libsecret/secret.h>

namespace vx {
namespace {

const SecretSchema* Schema()
{
    static const SecretSchema schema = {"org.tolvane.VexoraV2.Account",
                                        SECRET_SCHEMA_NONE,
                                        {
                                            {"application", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        },
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

// Takes the error's text and frees it; true when there was an error.
bool TakeError(GError* error, std::string* text)
{
    if (!error)
        return false;
    *text = error->message ? error->message : "unknown Secret Service error";
    g_error_free(error);
    return true;
}

} // namespace

CSecretServiceStore::CSecretServiceStore(std::string application) : m_strApplication(std::move(application))
{
}

bool CSecretServiceStore::Available()
{
    if (m_nAvailable < 0) {
        // Opening a session makes the service answer; merely getting the proxy would not.
        GError* error = nullptr;
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
        if (TakeError(error, &m_strError) || !service) {
            if (m_strError.empty())
                m_strError = "no Secret Service on the session bus";
            m_nAvailable = 0;
        } else {
            m_nAvailable = 1;
        }
        if (service)
            g_object_unref(service);
    }
    return m_nAvailable == 1;
}

bool CSecretServiceStore::Store(const std::string& account, const std::string& secret)
{
    if (!Available())
        return false;
    const std::string label = m_strApplication + " account " + account;
    GError* error = nullptr;
    const gboolean ok = secret_password_store_sync(
        Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr, &error, "application",
        m_strApplication.c_str(), "account", account.c_str(), nullptr);
    if (TakeError(error, &m_strError) || !ok) {
        if (m_strError.empty())
            m_strError = "the Secret Service did not store the entry";
        return false;
    }
    return true;
}

bool CSecretServiceStore::Lookup(const std::string& account, std::string* secret)
{
    if (!Available())
        return false;
    GError* error = nullptr;
    gchar* value = secret_password_lookup_sync(Schema(), nullptr, &error, "application",
                                               m_strApplication.c_str(), "account", account.c_str(), nullptr);
    if (TakeError(error, &m_strError))
        return false;
    if (!value)
        return false;
    *secret = value;
    secret_password_free(value);
    return true;
}

bool CSecretServiceStore::Remove(const std::string& account)
{
    if (!Available())
        return false;
    GError* error = nullptr;
    secret_password_clear_sync(Schema(), nullptr, &error, "application", m_strApplication.c_str(), "account",
                               account.c_str(), nullptr);
    // clear reports false also when nothing matched; only an error is a failure.
    return !TakeError(error, &m_strError);
}

} // namespace vx
