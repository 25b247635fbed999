// The login window's logic against the platform simulator, with a real database file and the
// requests on the worker thread: what the fields show, when the automatic login fires, which
// error panel a failure opens, and that the loop keeps running while a request is out.

#include "account/LoginController.h"
#include "AccountFixture.h"
#include "account/AccountMessages.h"
#include "account/AccountStore.h"
#include "common/SimHarness.h"
#include "net/Session.h"
#include "platform/secret/SecretServiceStore.h"

#include <cstdlib>

#include <chrono>

using namespace vx;
using namespace vx::test;

namespace {

class LoginFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dbPath = m_dir.File("DB/vexora_v2.0.db");
        m_db = std::make_unique<CLocalDb>(m_dbPath);
        ASSERT_TRUE(m_db->IsOpen());
        m_store = std::make_unique<CAccountStore>(*m_db, nullptr);
    }
    void StartSim(const std::vector<std::string>& args = {})
    {
        ASSERT_TRUE(m_sim.Start(args));
        CopyLanguage(m_dir.Path());
        m_config = std::make_unique<CAppConfig>(m_sim.WriteConfig(m_dir.Path()));
    }
    std::unique_ptr<CLoginController> MakeController()
    {
        auto c = std::make_unique<CLoginController>(*m_config, m_store.get(), m_loop);
        c->SetMainTarget(m_main.Target());
        HttpTimeouts t;
        t.connectMs = 1000;
        t.recvWaitMs = 1000;
        t.recvWaitTries = 2;
        t.recvTimeoutMs = 3000;
        c->SetTimeouts(t);
        return c;
    }
    void Remember(const std::string& name, const std::string& password, bool autoLogin, int64_t id)
    {
        _sUserAccount a;
        a.strUserName = name;
        a.strPassword = CSession::PasswordHash(password);
        a.bRememberPsw = true;
        a.bAutoLogin = autoLogin;
        a.i64UserId = id;
        ASSERT_TRUE(m_store->Save(a));
    }
    bool WaitIdle(CLoginController& c, int ms = 20000)
    {
        return m_loop.PumpUntil([&] { return !c.View().busy; }, ms);
    }
    // The simulator logs a request just after answering it: wait for the expected count, then
    // a moment longer for any extra one.
    int LoginRequestsSettled(int expected)
    {
        m_loop.PumpUntil([&] { return LoginRequests() >= expected; }, 3000);
        m_loop.PumpUntil([] { return false; }, 200);
        return LoginRequests();
    }
    int LoginRequests() const
    {
        const std::string log = m_sim.LogText();
        int n = 0;
        for (size_t p = log.find("/login.do"); p != std::string::npos; p = log.find("/login.do", p + 1))
            ++n;
        return n;
    }

    CTempDir m_dir;
    std::string m_dbPath;
    std::unique_ptr<CLocalDb> m_db;
    std::unique_ptr<CAccountStore> m_store;
    CSimProcess m_sim;
    std::unique_ptr<CAppConfig> m_config;
    CMessageLoop m_loop;
    CMainWndRecorder m_main{m_loop};
};

} // namespace

TEST_F(LoginFixture, NoRememberedAccountLeavesEverythingEmptyAndArmsNoTimer)
{
    m_config = std::make_unique<CAppConfig>(m_dir.File("Config.ini"));
    auto c = MakeController();
    c->Init(true);
    EXPECT_TRUE(c->View().items.empty());
    EXPECT_EQ(c->View().selected, -1);
    EXPECT_EQ(c->View().userName, "");
    EXPECT_EQ(c->View().password, "");
    EXPECT_FALSE(c->AutoLoginArmed());
    // Enter with empty fields sends nothing and shows nothing.
    c->Enter();
    EXPECT_FALSE(c->View().busy);
    EXPECT_FALSE(c->View().panelVisible);
}

TEST_F(LoginFixture, FieldsFollowTheComboTheBoxesAndDeletions)
{
    m_config = std::make_unique<CAppConfig>(m_dir.File("Config.ini"));
    Remember("older", "pw-old", false, 1);
    _sUserAccount plain;
    plain.strUserName = "middle";
    plain.i64UserId = 2;
    ASSERT_TRUE(m_store->Save(plain));
    Remember("Newest", "pw-new", true, 3);

    int changes = 0;
    auto c = MakeController();
    c->SetChangedCallback([&] { ++changes; });
    c->Init(false);
    ASSERT_EQ(c->View().items, (std::vector<std::string>{"Newest", "middle", "older"}));
    EXPECT_EQ(c->View().selected, 0);
    EXPECT_EQ(c->View().userName, "Newest");
    EXPECT_EQ(c->View().password, CSession::PasswordHash("pw-new"));
    EXPECT_TRUE(c->View().remPass);
    EXPECT_TRUE(c->View().autoLog);
    EXPECT_FALSE(c->AutoLoginArmed()); // an account switch never logs in by itself
    EXPECT_GT(changes, 0);

    c->SelectItem(1); // not remembered: no password, both boxes clear
    EXPECT_EQ(c->View().userName, "middle");
    EXPECT_EQ(c->View().password, "");
    EXPECT_FALSE(c->View().remPass);
    EXPECT_FALSE(c->View().autoLog);

    c->SelectItem(2);
    EXPECT_EQ(c->View().password, CSession::PasswordHash("pw-old"));
    c->UserNameEdited("older2"); // typing drops the selection and the hash
    EXPECT_EQ(c->View().selected, -1);
    EXPECT_EQ(c->View().password, "");
    c->PasswordEdited("typed");
    c->UserNameEdited("older3"); // without a selection the typed password stays
    EXPECT_EQ(c->View().password, "typed");

    // The boxes: automatic login needs a remembered password, and forgetting it stops it.
    c->SetRemPass(false);
    c->SetAutoLog(true);
    EXPECT_TRUE(c->View().remPass);
    c->SetAutoLog(false);
    EXPECT_TRUE(c->View().remPass);
    c->SetAutoLog(true);
    c->SetRemPass(false);
    EXPECT_FALSE(c->View().autoLog);
    c->SetRemPass(true);
    EXPECT_FALSE(c->View().autoLog);

    // Deleting another account leaves the fields; deleting the shown one (any case) empties them.
    c->SelectItem(0);
    c->DeleteItem(1);
    EXPECT_EQ(c->View().userName, "Newest");
    EXPECT_EQ(c->View().items, (std::vector<std::string>{"Newest", "older"}));
    c->UserNameEdited("NEWEST");
    c->PasswordEdited("x");
    c->DeleteItem(0);
    EXPECT_EQ(c->View().userName, "");
    EXPECT_EQ(c->View().password, "");
    EXPECT_EQ(c->View().items, (std::vector<std::string>{"older"}));
    std::vector<_sUserAccount> left;
    ASSERT_TRUE(m_store->Load(&left));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].strUserName, "older");
}

TEST_F(LoginFixture, AutomaticLoginFiresOnceAfterTheDelayOnlyAtStartUp)
{
    StartSim();
    Remember(CSimProcess::DemoUser(), CSimProcess::DemoPassword(), true, 1);
    {
        auto c = MakeController();
        c->Init(false);
        EXPECT_FALSE(c->AutoLoginArmed());
        m_loop.PumpUntil([] { return false; }, 300);
        EXPECT_EQ(LoginRequests(), 0);
    }
    auto c = MakeController();
    c->SetAutoLoginDelay(200);
    bool closed = false;
    c->SetSucceededCallback([&] { closed = true; });
    const auto start = std::chrono::steady_clock::now();
    c->Init(true);
    EXPECT_TRUE(c->AutoLoginArmed());
    ASSERT_TRUE(m_loop.PumpUntil([&] { return closed; }, 20000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_FALSE(c->AutoLoginArmed());
    m_loop.PumpUntil([] { return false; }, 400); // the timer does not come back
    EXPECT_EQ(LoginRequestsSettled(1), 1);
    EXPECT_EQ(m_main.Count(WM_FILESERVER_LIST), 1);
    // The remembered hash was sent as it is, not hashed again.
    EXPECT_EQ(m_config->m_strPwdHash, CSession::PasswordHash(CSimProcess::DemoPassword()));
}

TEST_F(LoginFixture, ASuccessfulLoginStoresTheAccountAndTellsTheMainWindowOnce)
{
    StartSim({"--delay", "300"});
    auto c = MakeController();
    c->Init(true);
    bool closed = false;
    c->SetSucceededCallback([&] { closed = true; });
    c->UserNameEdited(CSimProcess::DemoUser());
    c->PasswordEdited(CSimProcess::DemoPassword());
    c->SetAutoLog(true);
    c->Login();
    EXPECT_TRUE(c->View().busy);
    c->Enter(); // a second Enter during the request does nothing
    c->Login();
    ASSERT_TRUE(WaitIdle(*c));
    m_loop.PumpUntil([&] { return m_main.Count(WM_FILESERVER_LIST) > 0; }, 2000);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(c->View().panelVisible);
    EXPECT_EQ(LoginRequestsSettled(1), 1);
    EXPECT_EQ(m_main.Count(WM_FILESERVER_LIST), 1);
    EXPECT_GT(m_config->m_i64UserId, 0);
    EXPECT_GT(m_config->m_i64OrgId, 0);
    EXPECT_EQ(m_config->m_strLoginName, CSimProcess::DemoUser());
    EXPECT_FALSE(m_config->m_strCookie.empty());

    std::vector<_sUserAccount> users;
    ASSERT_TRUE(m_store->Load(&users));
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].strUserName, CSimProcess::DemoUser());
    EXPECT_EQ(users[0].strPassword, CSession::PasswordHash(CSimProcess::DemoPassword()));
    EXPECT_TRUE(users[0].bRememberPsw);
    EXPECT_TRUE(users[0].bAutoLogin);
    EXPECT_EQ(users[0].i64UserId, m_config->m_i64UserId);
}

TEST_F(LoginFixture, AWrongPasswordOpensTheAccountPanelAndEnterThenDoesNothing)
{
    StartSim();
    auto c = MakeController();
    c->Init(true);
    c->UserNameEdited(CSimProcess::DemoUser());
    c->PasswordEdited("wrong");
    c->Enter();
    ASSERT_TRUE(WaitIdle(*c));
    EXPECT_TRUE(c->View().panelVisible);
    EXPECT_FALSE(c->View().fieldsVisible);
    EXPECT_EQ(c->View().panelKind, LoginErrorKind::Account);
    EXPECT_NE(c->View().panelText.find("您还有"), std::string::npos) << c->View().panelText;
    EXPECT_EQ(m_main.Count(WM_FILESERVER_LIST), 0);

    c->Enter();
    EXPECT_FALSE(c->View().busy);
    EXPECT_EQ(LoginRequestsSettled(1), 1);
    c->DismissPanel();
    EXPECT_FALSE(c->View().panelVisible);
    EXPECT_TRUE(c->View().fieldsVisible);
    std::vector<_sUserAccount> users;
    ASSERT_TRUE(m_store->Load(&users));
    EXPECT_TRUE(users.empty());
}

TEST_F(LoginFixture, ARefusedPermissionShowsThePanelAndTheWindowStays)
{
    StartSim({"--account", "guest:guest1:-"});
    auto c = MakeController();
    c->Init(true);
    bool closed = false;
    c->SetSucceededCallback([&] { closed = true; });
    c->UserNameEdited("guest");
    c->PasswordEdited("guest1");
    c->Login();
    ASSERT_TRUE(WaitIdle(*c));
    EXPECT_FALSE(closed);
    EXPECT_TRUE(c->View().panelVisible);
    EXPECT_EQ(c->View().panelKind, LoginErrorKind::Network);
    EXPECT_EQ(c->View().panelText, "尊敬的用户，您没有权限进行登录！");
    EXPECT_EQ(m_main.Count(WM_FILESERVER_LIST), 0);
    std::vector<_sUserAccount> users;
    ASSERT_TRUE(m_store->Load(&users));
    EXPECT_TRUE(users.empty());
}

TEST_F(LoginFixture, AStoppedServerGivesTheNetworkPanelWhileTheLoopKeepsRunning)
{
    StartSim({"--delay", "1500"});
    auto c = MakeController();
    c->Init(true);
    c->UserNameEdited(CSimProcess::DemoUser());
    c->PasswordEdited(CSimProcess::DemoPassword());

    // A slow platform: the loop delivers a 50 ms timer all the while.
    struct Ticker : IMsgHandler
    {
        int ticks = 0;
        void OnMessage(uint32_t id, uint64_t, std::unique_ptr<CMsgPayload>) override
        {
            ticks += id == WM_TIMER;
        }
    } ticker;
    const MsgTarget t = m_loop.Register(&ticker);
    m_loop.SetTimer(t, 1, 50);
    c->Login();
    ASSERT_TRUE(WaitIdle(*c));
    EXPECT_GE(ticker.ticks, 10) << "the loop stalled during the request";
    m_loop.PumpUntil([&] { return m_main.Count(WM_FILESERVER_LIST) > 0; }, 2000);
    EXPECT_EQ(m_main.Count(WM_FILESERVER_LIST), 1);

    // The platform gone: the network panel, within the client's time-outs.
    m_sim.Stop();
    c->UserNameEdited(CSimProcess::DemoUser());
    c->PasswordEdited(CSimProcess::DemoPassword());
    const auto start = std::chrono::steady_clock::now();
    c->Login();
    ASSERT_TRUE(WaitIdle(*c, 30000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_TRUE(c->View().panelVisible);
    EXPECT_EQ(c->View().panelKind, LoginErrorKind::Network);
    EXPECT_FALSE(c->View().panelText.empty());
    m_loop.Unregister(t);
}

TEST_F(LoginFixture, CloseStopsTheAutomaticLoginAndEndsTheProgram)
{
    m_config = std::make_unique<CAppConfig>(m_dir.File("Config.ini"));
    Remember("li", "pw", true, 5);
    auto c = MakeController();
    c->SetAutoLoginDelay(100);
    c->Init(true);
    ASSERT_TRUE(c->AutoLoginArmed());
    c->Close();
    m_loop.PumpUntil([] { return false; }, 300);
    EXPECT_FALSE(c->View().busy);
    EXPECT_EQ(m_main.Count(WM_CLOSE), 1);
}

// Inside with-keyring: a remembered login leaves no secret in the database, and the next start
// shows the hash from the keyring and logs in with it.
TEST(KeyringLogin, ARememberedLoginKeepsItsHashInTheKeyringAndLogsInWithItAgain)
{
    CSecretServiceStore secrets("VexoraV2-test");
    if (!getenv("VX_KEYRING_SESSION"))
        GTEST_SKIP() << "runs inside with-keyring only";
    if (!secrets.Available())
        GTEST_SKIP() << "the keyring daemon did not start: " << secrets.LastError();
    CTempDir dir;
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    CopyLanguage(dir.Path());
    CAppConfig config(sim.WriteConfig(dir.Path()));
    const std::string path = dir.File("DB/vexora_v2.0.db");
    CLocalDb db(path);
    CAccountStore store(db, &secrets);
    CMessageLoop loop;
    CMainWndRecorder main(loop);
    const std::string hash = CSession::PasswordHash(CSimProcess::DemoPassword());

    for (int run = 0; run < 2; ++run) {
        CLoginController c(config, &store, loop);
        c.SetMainTarget(main.Target());
        c.Init(false);
        if (run == 0) {
            c.UserNameEdited(CSimProcess::DemoUser());
            c.PasswordEdited(CSimProcess::DemoPassword());
            c.SetRemPass(true);
        } else {
            ASSERT_EQ(c.View().userName, CSimProcess::DemoUser());
            EXPECT_EQ(c.View().password, hash); // from the keyring
        }
        c.Login();
        ASSERT_TRUE(loop.PumpUntil([&] { return main.Count(WM_FILESERVER_LIST) == run + 1; }, 20000))
            << c.View().panelText;
        EXPECT_EQ(RawColumn(path, "select password from users"), "");
        std::string stored;
        ASSERT_TRUE(secrets.Lookup(CSimProcess::DemoUser(), &stored));
        EXPECT_EQ(stored, hash);
    }
    secrets.Remove(CSimProcess::DemoUser());
}

// The remembered hash lives in a keyring that is slow to answer (an unlock prompt): the account
// shows at once, its hash when the keyring gives it, and the automatic login waits for it.
TEST_F(LoginFixture, TheAutomaticLoginWaitsForAHashTheKeyringIsSlowToGive)
{
    StartSim();
    const std::string hash = CSession::PasswordHash(CSimProcess::DemoPassword());
    auto secrets = std::make_shared<CPromptingSecrets>();
    secrets->Put(CSimProcess::DemoUser(), hash);
    secrets->delayMs = 1500;
    _sUserAccount a;
    a.strUserName = CSimProcess::DemoUser();
    a.bRememberPsw = true;
    a.bAutoLogin = true;
    a.i64UserId = 1;
    ASSERT_TRUE(m_db->SaveUser(a)); // the column is empty: the hash is in the keyring
    m_store = std::make_unique<CAccountStore>(*m_db, secrets, m_loop);
    auto c = MakeController();
    c->SetAutoLoginDelay(100);
    const auto t0 = std::chrono::steady_clock::now();
    c->Init(true);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(c->View().userName, CSimProcess::DemoUser());
    EXPECT_EQ(c->View().password, "");
    ASSERT_TRUE(m_loop.PumpUntil([&] { return m_main.Count(WM_FILESERVER_LIST) == 1; }, 20000))
        << c->View().panelText;
    EXPECT_EQ(c->View().password, hash);
    EXPECT_EQ(LoginRequestsSettled(1), 1);
    c.reset();
    m_store.reset(); // before the loop it answers on
}
