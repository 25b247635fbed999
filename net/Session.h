#pragma once
// The session with the web platform: login with the password hash, the permission question,
// the once-a-minute sign-out check and the silent re-login when the cookie expired. The
// session values go to CAppConfig; this is their only writer. Nothing here shows anything: the
// caller (login window, main window, command line) gets the message and its kind.

#include "app/AppConfig.h"
#include "net/HttpClient.h"
#include "store/UserAccount.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vx {

// Which panel of the login window shows a message.
enum class LoginErrorKind
{
    None = -1,
    Account = 0, // wrong password and the like: the account panel
    Network = 1  // everything else: the network panel
};

// Outcome of the periodic sign-out check.
enum class SignOutCheck
{
    Failed,       // the check could not be made; try again next time
    Valid,        // session still valid
    SignedOut,    // the account was signed in elsewhere: end the session
    ReLoggedIn,   // the cookie had expired and was renewed
    ReLoginFailed // the cookie had expired and the re-login failed; the old cookie stays
};

// The local database behind the login, kept as two small functions so the session does not
// depend on the store.
struct SessionAccounts
{
    // The stored hash of a remembered account whose password is remembered; false when none.
    std::function<bool(const std::string& userName, std::string* pwdHash)> findRememberedHash;
    // Saves the account after a granted login (table users).
    std::function<void(const _sUserAccount& account)> saveUser;
};

// The accounts of the local database (CLocalDb::Instance), for the login window.
SessionAccounts LocalDbAccounts();

struct LoginRequest
{
    std::string userName; // exactly as typed
    std::string password; // as typed, or the remembered hash
    bool rememberPassword = false;
    bool autoLogin = false;
};

class CSession
{
public:
    explicit CSession(CAppConfig& config);

    void SetAccounts(const SessionAccounts& accounts) { m_accounts = accounts; }
    void SetTimeouts(const HttpTimeouts& t) { m_timeouts = t; }

    // True when the login itself succeeded (even when the permission was then refused: see
    // PermissionGranted). Empty fields return false without a request and without a message.
    bool Login(const LoginRequest& request);
    // Called by Login; public for the re-check after an organisation change.
    bool RequestPermission();
    SignOutCheck CheckSignOut();
    bool ReLoginServer();

    bool PermissionGranted() const { return m_bPermission; }
    // The message for the user after a failed Login/RequestPermission, and its panel.
    const std::string& GetMessage() const { return m_strMessage; }
    LoginErrorKind GetMessageKind() const { return m_messageKind; }
    // Tries left reported by the server after a wrong password, -1 when not reported.
    int GetTriesLeft() const { return m_nTriesLeft; }
    // A readable technical cause of the last failure (connection refused at host:port, HTTP
    // status, ...), for logs and the command line.
    const std::string& GetFailureCause() const { return m_strCause; }

    // Lower-case hexadecimal MD5 of the password (32 characters).
    static std::string PasswordHash(const std::string& password);
    // Stores the cookie text and refreshes the account name from its "SA" cookie.
    static void SetCookieText(CAppConfig& config, const std::string& cookie);

private:
    std::string LoginUrl(const std::string& user, const std::string& hash) const;
    void Show(LoginErrorKind kind, const std::string& text);
    // GET with up to three attempts; false after the third failure.
    bool GetWithRetries(CHttpClient& client, const std::string& url, const std::string& cookie,
                        int tries = 3);

    CAppConfig& m_config;
    SessionAccounts m_accounts;
    HttpTimeouts m_timeouts;
    bool m_bPermission = false;
    std::string m_strMessage;
    LoginErrorKind m_messageKind = LoginErrorKind::None;
    int m_nTriesLeft = -1;
    std::string m_strCause;
};

} // namespace vx
