// The session against a small scripted platform: login, permission, sign-out check, re-login,
// and what reaches the log.

#include "net/Session.h"
#include "app/LogFile.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "store/LocalDb.h"
#include "unit/net/TinyServer.h"

#include <gtest/gtest.h>

#include <map>

using namespace vx;
using vx::test::CTinyServer;

namespace {

// Answers by path (the part of the request line before "?"): extra head lines and a JSON body.
struct Route
{
    std::string head;
    std::string body;
};

using Routes = std::map<std::string, Route>;

class CPlatform
{
public:
    explicit CPlatform(std::map<std::string, Route> routes)
        : m_routes(std::move(routes)), m_server([this](int fd, const std::string& req) {
              size_t sp = req.find(' ');
              std::string path = req.substr(sp + 1, req.find_first_of("? ", sp + 1) - sp - 1);
              auto it = m_routes.find(path);
              if (it == m_routes.end()) {
                  CTinyServer::Send(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found");
                  return;
              }
              CTinyServer::Send(fd, "HTTP/1.1 200 OK\r\n" + it->second.head +
                                        "Content-Length: " + std::to_string(it->second.body.size()) +
                                        "\r\n\r\n" + it->second.body);
          })
    {
        std::string ini = "[server]\nLoginServerIP=127.0.0.1:" + std::to_string(m_server.Port()) +
                          "\nHostIP=127.0.0.1:" + std::to_string(m_server.Port()) + "\n";
        vx::test::WriteFile(m_dir.File("Config.ini"), ini);
        // The login texts by number come from the language file beside the configuration.
        MakeDirs(m_dir.File("Language"));
        vx::test::WriteFile(
            m_dir.File("Language/SimpleChinese"),
            vx::test::ReadFile(std::string(VX_SOURCE_DIR) + "/resources/Language/SimpleChinese"));
        m_config = std::make_unique<CAppConfig>(m_dir.File("Config.ini"));
    }
    CAppConfig& Config() { return *m_config; }
    std::vector<std::string> Requests() { return m_server.Requests(); }
    // Requests whose request line contains text.
    std::vector<std::string> RequestsFor(const std::string& text)
    {
        std::vector<std::string> out;
        for (const std::string& r : Requests())
            if (r.substr(0, r.find("\r\n")).find(text) != std::string::npos)
                out.push_back(r);
        return out;
    }

private:
    vx::test::CTempDir m_dir;
    std::map<std::string, Route> m_routes;
    CTinyServer m_server;
    std::unique_ptr<CAppConfig> m_config;
};

const char* kLoginOk = R"({"success":true,"id":42,"username":"acct","screenName":"Teacher Li"})";
const char* kCookies = "Set-Cookie: JSESSIONID=j1; Path=/\r\nSet-Cookie: SA=acct; Path=/\r\n";
const char* kPermitted = R"({"success":true,"status":true,"orgId":7,"orgName":"Evening School"})";

} // namespace

TEST(Session, LoginFillsTheSessionAndNeverLogsTheSecrets)
{
    vx::test::CScopedDataDir data;
    OpenLogs();
    CPlatform p(Routes{{"/login.do", {kCookies, kLoginOk}}, {"/getCurrentUser.do", {"", kPermitted}}});
    CSession s(p.Config());
    std::vector<_sUserAccount> saved;
    SessionAccounts hooks;
    hooks.saveUser = [&](const _sUserAccount& a) { saved.push_back(a); };
    s.SetAccounts(hooks);

    LoginRequest req{"a b&c", "secret", true, false};
    ASSERT_TRUE(s.Login(req));
    EXPECT_TRUE(s.PermissionGranted());
    const std::string hash = CSession::PasswordHash("secret");
    EXPECT_EQ(hash, "5ebe2294ecd0e0f08eab7690d2a6ee69");

    const CAppConfig& c = p.Config();
    EXPECT_EQ(c.m_i64UserId, 42);
    EXPECT_EQ(c.m_strLoginName, "a b&c");
    EXPECT_EQ(c.m_strAccountName, "acct");
    EXPECT_EQ(c.m_strScreenName, "Teacher Li");
    EXPECT_EQ(c.m_strPwdHash, hash);
    EXPECT_EQ(c.m_strCookie, "JSESSIONID=j1;SA=acct;");
    EXPECT_EQ(c.m_i64OrgId, 7);
    EXPECT_EQ(c.m_strOrgName, "Evening School");

    // The name is encoded, the permission request carries the new cookie.
    auto login = p.RequestsFor("/login.do");
    ASSERT_EQ(login.size(), 1u);
    EXPECT_NE(login[0].find("GET /login.do?j_username=a+b%26c&j_password=" + hash + "&src=android HTTP/1.1"),
              std::string::npos);
    EXPECT_EQ(login[0].find("Cookie:"), std::string::npos);
    auto perm = p.RequestsFor("/getCurrentUser.do?rand=");
    ASSERT_EQ(perm.size(), 1u);
    EXPECT_NE(perm[0].find("Cookie: JSESSIONID=j1;SA=acct;\r\n"), std::string::npos);

    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].strUserName, "a b&c");
    EXPECT_EQ(saved[0].strPassword, hash);
    EXPECT_TRUE(saved[0].bRememberPsw);
    EXPECT_EQ(saved[0].i64UserId, 42);

    std::string log = vx::test::ReadFile(g_log->Path());
    CloseLogs();
    EXPECT_NE(log.find("Info : Login on   success userid:42 ,username:acct,nickname:Teacher Li"),
              std::string::npos);
    EXPECT_EQ(log.find(hash), std::string::npos);
    EXPECT_EQ(log.find("j1"), std::string::npos);
}

TEST(Session, RememberedHashIsSentAsItStandsAndForgottenPasswordsAreNotStored)
{
    CPlatform p(Routes{{"/login.do", {kCookies, kLoginOk}}, {"/getCurrentUser.do", {"", kPermitted}}});
    CSession s(p.Config());
    const std::string stored = CSession::PasswordHash("pw");
    std::vector<_sUserAccount> saved;
    SessionAccounts hooks;
    hooks.findRememberedHash = [&](const std::string& user, std::string* h) {
        *h = stored;
        return user == "teacher";
    };
    hooks.saveUser = [&](const _sUserAccount& a) { saved.push_back(a); };
    s.SetAccounts(hooks);
    ASSERT_TRUE(s.Login({"teacher", stored, false, true}));
    EXPECT_NE(p.Requests().at(0).find("j_password=" + stored + "&"), std::string::npos);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].strPassword, "");
    EXPECT_TRUE(saved[0].bAutoLogin);
    // Another user typing that same text gets it hashed.
    ASSERT_TRUE(s.Login({"other", stored, false, false}));
    EXPECT_NE(p.Requests().at(2).find("j_password=" + CSession::PasswordHash(stored) + "&"),
              std::string::npos);
    // Empty fields: no request at all.
    size_t before = p.Requests().size();
    EXPECT_FALSE(s.Login({"", "x", false, false}));
    EXPECT_FALSE(s.Login({"x", "", false, false}));
    EXPECT_EQ(p.Requests().size(), before);
}

TEST(Session, RefusedLoginsSayWhy)
{
    struct Case
    {
        const char* body;
        LoginErrorKind kind;
        std::string message; // the expected text, or empty for language text number `text`
        int text;
    };
    std::vector<Case> cases = {
        {R"({"success":false,"message":"密码错误","tryTimesLeft":2})", LoginErrorKind::Account,
         "密码错误\n,您还有2次输入机会！", 0},
        // No count: the mark follows the message on its line (none added after a full stop).
        {R"({"success":false,"message":"密码错误"})", LoginErrorKind::Account, "密码错误！", 0},
        {R"({"success":false,"message":"账号已锁定。"})", LoginErrorKind::Account, "账号已锁定。", 0},
        {R"({"success":false,"alertMessage":"系统维护"})", LoginErrorKind::Network, "系统维护", 0},
        {R"({"success":false})", LoginErrorKind::Network, "", 9},
        {R"({"id":1})", LoginErrorKind::Network, "", 2},
        {R"({"success":true})", LoginErrorKind::Account, "", 10},
        {"<html>busy</html>", LoginErrorKind::Network, "", 4},
    };
    for (const Case& k : cases) {
        CPlatform p(Routes{{"/login.do", {"", k.body}}});
        CSession s(p.Config());
        EXPECT_FALSE(s.Login({"u", "p", false, false})) << k.body;
        EXPECT_EQ(s.GetMessageKind(), k.kind) << k.body;
        EXPECT_EQ(s.GetMessage(), k.text ? p.Config().GetText(k.text) : k.message) << k.body;
        EXPECT_FALSE(s.GetMessage().empty()) << k.body;
        EXPECT_EQ(p.Config().m_i64UserId, -1) << k.body; // nothing of the session written
        EXPECT_EQ(p.RequestsFor("getCurrentUser").size(), 0u);
    }
    // The login server is down: a network error, three attempts.
    CPlatform p(Routes{});
    CSession s(p.Config());
    EXPECT_FALSE(s.Login({"u", "p", false, false}));
    EXPECT_EQ(s.GetMessage(), "HTTP Status Code = 404");
}

TEST(Session, PermissionRefusals)
{
    struct Case
    {
        const char* body;
        int text; // language text number, 0 for the fixed text
    };
    for (const Case& k :
         {Case{R"({"success":true,"status":true,"orgId":0})", 13},
          Case{R"({"success":true,"status":true})", 13},
          Case{R"({"success":true,"status":false,"orgId":9})", 0}, Case{R"({"success":true,"orgId":9})", 12},
          Case{R"({"status":true,"orgId":9})", 2}, Case{"nonsense", 14}}) {
        CPlatform p(Routes{{"/login.do", {kCookies, kLoginOk}}, {"/getCurrentUser.do", {"", k.body}}});
        CSession s(p.Config());
        // The login itself succeeded: true, with the login window kept open by the caller.
        EXPECT_TRUE(s.Login({"u", "p", false, false})) << k.body;
        EXPECT_FALSE(s.PermissionGranted()) << k.body;
        EXPECT_EQ(s.GetMessageKind(), LoginErrorKind::Network);
        EXPECT_EQ(s.GetMessage(), k.text ? p.Config().GetText(k.text) : "尊敬的用户，您没有权限进行登录！")
            << k.body;
        EXPECT_EQ(p.Config().m_i64OrgId, 0) << k.body;
        EXPECT_EQ(p.Config().m_strPwdHash, "") << k.body; // kept only once permission is granted
    }
}

TEST(Session, SignOutCheckAndReLogin)
{
    {
        // Signed out elsewhere wins over an expired cookie: no re-login is tried.
        CPlatform p(
            {{"/check.do", {"", R"({"isOut":true,"isOverdue":true})"}}, {"/login.do", {kCookies, kLoginOk}}});
        p.Config().m_strCookie = "SA=acct;";
        CSession s(p.Config());
        EXPECT_EQ(s.CheckSignOut(), SignOutCheck::SignedOut);
        EXPECT_EQ(p.RequestsFor("/login.do").size(), 0u);
        auto check = p.RequestsFor("/check.do?action=checkIfOut");
        ASSERT_EQ(check.size(), 1u);
        EXPECT_NE(check[0].find("Cookie: SA=acct;\r\n"), std::string::npos);
    }
    {
        CPlatform p(
            {{"/check.do", {"", R"({"isOut":false,"isOverdue":true})"}},
             {"/login.do",
              {"Set-Cookie: JSESSIONID=new; Path=/\r\nSet-Cookie: SA=renamed; Path=/\r\n", kLoginOk}}});
        CAppConfig& c = p.Config();
        c.m_strAccountName = "acct";
        c.m_strPwdHash = "00112233445566778899aabbccddeeff";
        c.m_strCookie = "JSESSIONID=old;SA=acct;";
        CSession s(c);
        EXPECT_EQ(s.CheckSignOut(), SignOutCheck::ReLoggedIn);
        auto login = p.RequestsFor("/login.do");
        ASSERT_EQ(login.size(), 1u);
        EXPECT_NE(login[0].find("j_username=acct&j_password=00112233445566778899aabbccddeeff&src=android"),
                  std::string::npos);
        EXPECT_EQ(login[0].find("Cookie:"), std::string::npos);
        EXPECT_EQ(c.m_strCookie, "JSESSIONID=new;SA=renamed;");
        EXPECT_EQ(c.m_strAccountName, "renamed");
    }
    {
        CPlatform p(Routes{{"/check.do", {"", R"({"isOut":false,"isOverdue":true})"}},
                           {"/login.do", {"", R"({"success":false,"message":"x"})"}}});
        CAppConfig& c = p.Config();
        c.m_strAccountName = "acct";
        c.m_strPwdHash = "00112233445566778899aabbccddeeff";
        c.m_strCookie = "JSESSIONID=old;";
        CSession s(c);
        EXPECT_EQ(s.CheckSignOut(), SignOutCheck::ReLoginFailed);
        EXPECT_EQ(c.m_strCookie, "JSESSIONID=old;"); // the old cookie stays for the next try
    }
    {
        CPlatform p(Routes{{"/check.do", {"", R"({"isOut":false,"isOverdue":false})"}}});
        CSession s(p.Config());
        EXPECT_EQ(s.CheckSignOut(), SignOutCheck::Valid);
        // Never logged in: re-login sends nothing.
        EXPECT_FALSE(s.ReLoginServer());
        EXPECT_EQ(p.RequestsFor("/login.do").size(), 0u);
    }
}

TEST(Session, CookieTextRefreshesTheAccountNameOnlyFromSA)
{
    CAppConfig c(vx::test::BinDir() + "Config.ini");
    c.m_strAccountName = "keep";
    CSession::SetCookieText(c, "JSESSIONID=1;");
    EXPECT_EQ(c.m_strAccountName, "keep");
    EXPECT_EQ(c.m_strCookie, "JSESSIONID=1;");
    CSession::SetCookieText(c, "RSA=wrong;");
    EXPECT_EQ(c.m_strAccountName, "keep");
    CSession::SetCookieText(c, "RSA=wrong;SA=right;");
    EXPECT_EQ(c.m_strAccountName, "right");
    CSession::SetCookieText(c, "SA=first;");
    EXPECT_EQ(c.m_strAccountName, "first");
    CSession::SetCookieText(c, "SA=unterminated");
    EXPECT_EQ(c.m_strAccountName, "first");
}

TEST(Session, RememberedAccountsLiveInTheLocalDatabase)
{
    vx::test::CScopedDataDir data;
    CPlatform p(Routes{{"/login.do", {kCookies, kLoginOk}}, {"/getCurrentUser.do", {"", kPermitted}}});
    CSession s(p.Config());
    s.SetAccounts(LocalDbAccounts());
    ASSERT_TRUE(s.Login({"teacher", "pw", true, true}));
    std::vector<_sUserAccount> users;
    ASSERT_TRUE(CLocalDb::Instance().GetUsers(&users));
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].strUserName, "teacher");
    EXPECT_EQ(users[0].strPassword, CSession::PasswordHash("pw"));
    EXPECT_TRUE(users[0].bAutoLogin);
    // The login window then shows the stored hash: it goes out unchanged.
    ASSERT_TRUE(s.Login({"teacher", users[0].strPassword, true, true}));
    EXPECT_NE(p.Requests().at(2).find("j_password=" + users[0].strPassword + "&"), std::string::npos);
    CLocalDb::Instance().Close();
}
