#include "net/Session.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "net/JsonHelpers.h"
#include "platform/Crypto.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace vx {

namespace {

// Milliseconds since an arbitrary start, as a cache breaker.
uint32_t TickCount()
{
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

// The server's refusal with the exclamation mark the panel puts after it, on the same line;
// a text that already ends a sentence is left as it is.
std::string Exclaimed(const std::string& message)
{
    for (const char* end : {"！", "!", "。", "."})
        if (message.size() >= strlen(end) &&
            message.compare(message.size() - strlen(end), strlen(end), end) == 0)
            return message;
    return message + "！";
}

} // namespace

CSession::CSession(CAppConfig& config) : m_config(config) {}

std::string CSession::PasswordHash(const std::string& password)
{
    Md5Digest d;
    if (!Md5Bytes(password.data(), password.size(), &d))
        return std::string();
    return DigestHex(d, false);
}

void CSession::SetCookieText(CAppConfig& config, const std::string& cookie)
{
    config.SetCookie(cookie);
    // Only a cookie named exactly SA: "RSA=..." or "XSA=..." must not be taken for it.
    size_t pos = 0;
    while ((pos = cookie.find("SA=", pos)) != std::string::npos && pos != 0 && cookie[pos - 1] != ';')
        pos += 3;
    if (pos == std::string::npos)
        return;
    size_t end = cookie.find(';', pos + 3);
    if (end == std::string::npos)
        return;
    std::string name = cookie.substr(pos + 3, end - pos - 3);
    if (name != config.m_strAccountName)
        config.m_strAccountName = name;
}

std::string CSession::LoginUrl(const std::string& user, const std::string& hash) const
{
    // The name is encoded: "&", "#" or blanks in it would otherwise change the query.
    return "http://" + m_config.m_strLoginHost + ":" + std::to_string(m_config.m_usLoginPort) +
           "/login.do?j_username=" + UrlEncode(user) + "&j_password=" + hash + "&src=android";
}

void CSession::Show(LoginErrorKind kind, const std::string& text)
{
    m_messageKind = kind;
    m_strMessage = text;
}

bool CSession::GetWithRetries(CHttpClient& client, const std::string& url, const std::string& cookie,
                              int tries)
{
    client.SetTimeouts(m_timeouts);
    for (int i = 0; i < tries; ++i) {
        if (client.Get(url, cookie))
            return true;
    }
    m_strCause = client.GetFailureCause().empty() ? client.GetErrorText() : client.GetFailureCause();
    return false;
}

bool CSession::Login(const LoginRequest& request)
{
    m_bPermission = false;
    m_strMessage.clear();
    m_messageKind = LoginErrorKind::None;
    m_nTriesLeft = -1;
    m_strCause.clear();
    if (request.userName.empty() || request.password.empty())
        return false;

    // A remembered account shows its stored hash in the password field: send it as it is.
    std::string hash;
    std::string stored;
    if (m_accounts.findRememberedHash && m_accounts.findRememberedHash(request.userName, &stored) &&
        !stored.empty() && stored == request.password)
        hash = stored;
    else
        hash = PasswordHash(request.password);

    const std::string url = LoginUrl(request.userName, hash);
    const std::string logUrl = RedactUrl(url);
    CHttpClient client;
    if (!GetWithRetries(client, url, std::string())) {
        Show(LoginErrorKind::Network, client.GetErrorText());
        LogText(g_log, client.GetRequestLog());
        Log(g_log, "Error : Login failed!!!!!");
        return false;
    }

    bool ok = false;
    int64_t userId = 0;
    std::string screenName, userName;
    if (client.GetStatusCode() != 200) {
        Show(LoginErrorKind::Network, FormatText("HTTP Status Code = %d", client.GetStatusCode()));
        m_strCause = "HTTP status " + std::to_string(client.GetStatusCode()) + " from the login server";
    } else if (client.GetBody().empty()) {
        Show(LoginErrorKind::Network, m_config.GetText(1));
        m_strCause = "empty answer from the login server";
    } else {
        Json::Value root;
        bool success = false;
        if (!ParseJsonObject(PrepareJsonText(client.GetBody()), &root)) {
            Show(LoginErrorKind::Network, m_config.GetText(4));
            Log(g_log, "Error : ParseJson error! [URL = %s] [responsed body = %s]", logUrl.c_str(),
                client.GetBody().c_str());
            m_strCause = "unreadable answer from the login server";
        } else if (!GetJsonBool(root, "success", &success)) {
            Show(LoginErrorKind::Network, m_config.GetText(2));
            m_strCause = "login answer without \"success\"";
        } else if (success) {
            if (!GetJsonInt64(root, "id", &userId)) {
                Log(g_log, "Error : userid error!");
                Show(LoginErrorKind::Account, m_config.GetText(10));
                m_strCause = "login answer without the user id";
            } else {
                ok = true;
            }
            GetJsonString(root, "screenName", &screenName);
            GetJsonString(root, "username", &userName);
        } else {
            std::string message;
            if (GetJsonString(root, "message", &message)) {
                int left = -1;
                if (!GetJsonInt(root, "tryTimesLeft", &left)) {
                    Log(g_log, "Error : 获取 tryTimesLeft 字段错误，[URL = %s] [responsed body = %s]",
                        logUrl.c_str(), client.GetBody().c_str());
                    left = -1;
                }
                m_nTriesLeft = left;
                Show(LoginErrorKind::Account,
                     left < 0 ? Exclaimed(message)
                              : FormatText("%s\n,您还有%d次输入机会！", message.c_str(), left));
                m_strCause = message;
            } else if (GetJsonString(root, "alertMessage", &message)) {
                Show(LoginErrorKind::Network, message);
                Log(g_log, "Error : Responsed body error! [URL = %s] [responsed body = %s]", logUrl.c_str(),
                    client.GetBody().c_str());
                m_strCause = message;
            } else {
                Show(LoginErrorKind::Network, m_config.GetText(9));
                Log(g_log, "Error : Parse responsed body failed! [URL = %s] [responsed body = %s]",
                    logUrl.c_str(), client.GetBody().c_str());
                m_strCause = "login refused without a reason";
            }
        }
    }
    LogText(g_log, client.GetRequestLog());
    if (!ok) {
        Log(g_log, "Error : Login failed!!!!!");
        return false;
    }

    const std::string cookie = client.GetCookies();
    Log(g_log, "Info : Login on   success userid:%lld ,username:%s,nickname:%s",
        static_cast<long long>(userId), userName.c_str(), screenName.c_str());
    SetCookieText(m_config, cookie);
    m_config.m_i64UserId = userId;
    m_config.m_strLoginName = request.userName;
    m_config.m_strAccountName = userName;

    if (!RequestPermission()) {
        Log(g_log, "Error : DoRequestForPerMission failed!!!!!");
        return true;
    }
    m_config.m_strScreenName = screenName;
    m_config.m_strPwdHash = hash;
    if (m_accounts.saveUser) {
        _sUserAccount account;
        account.strUserName = request.userName;
        account.strPassword = request.rememberPassword ? hash : std::string();
        account.bRememberPsw = request.rememberPassword;
        account.bAutoLogin = request.autoLogin;
        account.i64UserId = userId;
        account.i64OrgId = 0;
        m_accounts.saveUser(account);
    }
    return true;
}

bool CSession::RequestPermission()
{
    m_bPermission = false;
    const std::string url = "http://" + m_config.m_strWebHost + ":" + std::to_string(m_config.m_usLoginPort) +
                            "/getCurrentUser.do?rand=" + std::to_string(TickCount());
    CHttpClient client;
    if (!GetWithRetries(client, url, m_config.m_strCookie)) {
        Show(LoginErrorKind::Network, client.GetErrorText());
        LogText(g_log, client.GetRequestLog());
        return false;
    }
    if (client.GetStatusCode() == 200 && client.GetBody().empty()) {
        Show(LoginErrorKind::Network, m_config.GetText(11));
        m_strCause = "empty permission answer";
        LogText(g_log, client.GetRequestLog());
        return false;
    }
    bool granted = false;
    if (client.GetStatusCode() != 200) {
        Show(LoginErrorKind::Network, FormatText("HTTP Status Code = %d", client.GetStatusCode()));
        m_strCause = "HTTP status " + std::to_string(client.GetStatusCode()) + " from the permission request";
    } else {
        Json::Value root;
        bool success = false;
        if (!ParseJsonObject(PrepareJsonText(client.GetBody()), &root)) {
            Show(LoginErrorKind::Network, m_config.GetText(14));
            Log(g_log, "Error : ParseJson error! [URL = %s] [responsed body = %s]", url.c_str(),
                client.GetBody().c_str());
            m_strCause = "unreadable permission answer";
            return false;
        }
        if (!GetJsonBool(root, "success", &success)) {
            Show(LoginErrorKind::Network, m_config.GetText(2));
            m_strCause = "permission answer without \"success\"";
            return false;
        }
        bool status = false;
        bool hasStatus = GetJsonBool(root, "status", &status);
        if (!hasStatus) {
            Log(g_log, "Error : status  error!");
            Show(LoginErrorKind::Network, m_config.GetText(12));
            m_strCause = "permission answer without \"status\"";
        }
        Log(g_log, "Info : permission: username:%s:ID:%lld status:%d", m_config.m_strAccountName.c_str(),
            static_cast<long long>(m_config.m_i64UserId), status ? 1 : 0);
        if (status) {
            int64_t orgId = 0;
            if (!GetJsonInt64(root, "orgId", &orgId) || orgId <= 0) {
                Show(LoginErrorKind::Network, m_config.GetText(13));
                Log(g_log, "orgid  is empty or  < 0");
                m_strCause = "the account belongs to no organisation";
            } else {
                std::string orgName;
                GetJsonString(root, "orgName", &orgName);
                m_config.SetOrganisation(orgId, orgName.empty() ? m_config.m_strOrgName : orgName);
                granted = true;
            }
        } else if (hasStatus) {
            // A missing status keeps its own, more precise message.
            Show(LoginErrorKind::Network, "尊敬的用户，您没有权限进行登录！");
            m_strCause = "the account may not use this client";
        }
        Log(g_log, "Info : permission: username:%s:ID:%lld --org(%lld)status:%d",
            m_config.m_strAccountName.c_str(), static_cast<long long>(m_config.m_i64UserId),
            static_cast<long long>(m_config.m_i64OrgId), status ? 1 : 0);
    }
    LogText(g_log, client.GetRequestLog());
    Log(g_log, granted ? "Info : request   permession is  sucess!!!!!"
                       : "Info : request   permession is  failed!!!!!");
    m_bPermission = granted;
    return granted;
}

SignOutCheck CSession::CheckSignOut()
{
    const std::string url = "http://" + m_config.m_strLoginHost + ":" +
                            std::to_string(m_config.m_usLoginPort) + "/check.do?action=checkIfOut";
    CHttpClient client;
    client.SetTimeouts(m_timeouts);
    bool sent = false;
    for (int attempt = 0; attempt < 3 && !sent; ++attempt) {
        sent = client.Get(url, m_config.m_strCookie);
        if (!sent && client.GetErrorCode() == kErrHostNotFound) {
            Log(g_log, "Error : Request URL failed. [errormessage = %s]", client.GetErrorText().c_str());
            m_strCause = client.GetFailureCause();
            return SignOutCheck::Failed;
        }
    }
    if (!sent) {
        Log(g_log, "Error : Request URL failed. [errorcode = %d] [URL = %s]", client.GetErrorCode(),
            url.c_str());
        m_strCause = client.GetFailureCause();
        return SignOutCheck::Failed;
    }
    bool isOut = false, isOverdue = false;
    if (client.GetStatusCode() == 200 && client.GetBody().empty()) {
        Log(g_log, "Error : Request URL failed. Received HTTP Body is NULL! [Request Log = %s]",
            client.GetRequestLog().c_str());
        return SignOutCheck::Failed;
    }
    bool answered = client.GetStatusCode() == 200;
    if (!answered) {
        Log(g_log, "Error : Check failed! [HTTP Status Code = %d]", client.GetStatusCode());
    } else {
        Json::Value root;
        if (ParseJsonObject(PrepareJsonText(client.GetBody()), &root)) {
            if (!GetJsonBool(root, "isOut", &isOut))
                Log(g_log, "Error : Check failed! [username = %s]", m_config.m_strAccountName.c_str());
            if (!GetJsonBool(root, "isOverdue", &isOverdue))
                Log(g_log, "Error : Check failed, isOverdue! [username = %s]",
                    m_config.m_strAccountName.c_str());
        }
    }
    Log(g_log, "Info : OnCheckUser:  CookTimeOut:%d  ,NeedQuit:%d", isOverdue ? 1 : 0, isOut ? 1 : 0);
    if (isOut)
        return SignOutCheck::SignedOut;
    if (isOverdue) {
        if (ReLoginServer()) {
            Log(g_log, "Info : Cookie timeout! relogin sucess!");
            return SignOutCheck::ReLoggedIn;
        }
        Log(g_log, "Info : ReLoginServer  time out ~~~");
        return SignOutCheck::ReLoginFailed;
    }
    return answered ? SignOutCheck::Valid : SignOutCheck::Failed;
}

bool CSession::ReLoginServer()
{
    Log(g_log, "Info : ReLoginServer  Login on  start------");
    if (m_config.m_strAccountName.empty() || m_config.m_strPwdHash.empty()) {
        // Never logged in: an empty password hash must not be sent.
        Log(g_log, "Info : ReLoginServer  Login on  again failed  ");
        Log(g_log, "Info : ReLoginServer  Login on  end------");
        return false;
    }
    const std::string url = LoginUrl(m_config.m_strAccountName, m_config.m_strPwdHash);
    CHttpClient client;
    if (!GetWithRetries(client, url, std::string())) {
        Log(g_log, "Error : %s", client.GetRequestLog().c_str());
        return false;
    }
    if (client.GetStatusCode() == 200 && client.GetBody().empty()) {
        Log(g_log, "Error : %s", client.GetRequestLog().c_str());
        return false;
    }
    bool success = false;
    if (client.GetStatusCode() == 200) {
        Json::Value root;
        ParseJsonObject(PrepareJsonText(client.GetBody()), &root);
        GetJsonBool(root, "success", &success);
        if (!success) {
            std::string message;
            if (!GetJsonString(root, "message", &message) && !GetJsonString(root, "alertMessage", &message))
                Log(g_log, "Error : Parse responsed body failed! [URL = %s] [responsed body = %s]",
                    RedactUrl(url).c_str(), client.GetBody().c_str());
            m_strCause = message;
        }
    }
    Log(g_log, "Info : %s", client.GetRequestLog().c_str());
    if (success) {
        Log(g_log, "Warning : ReLoginServer  Login on  again succes");
        SetCookieText(m_config, client.GetCookies());
    } else {
        Log(g_log, "Info : ReLoginServer  Login on  again failed  ");
    }
    Log(g_log, "Info : ReLoginServer  Login on  end------");
    return success;
}

} // namespace vx
