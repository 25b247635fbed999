// The session and the space requests against the platform simulator.

#include "common/SimHarness.h"
#include "net/Session.h"
#include "net/SpaceApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace vx;
using vx::test::CSimProcess;

namespace {

class SimFixture : public ::testing::Test
{
protected:
    void StartSim(const std::vector<std::string>& args = {})
    {
        ASSERT_TRUE(m_sim.Start(args));
        m_config = std::make_unique<CAppConfig>(m_sim.WriteConfig(m_dir.Path()));
    }
    bool LoginDemo(CSession& s, const std::string& password = CSimProcess::DemoPassword())
    {
        return s.Login({CSimProcess::DemoUser(), password, false, false}) && s.PermissionGranted();
    }
    static const SpaceEntry* Find(const std::vector<SpaceEntry>& v, int64_t id)
    {
        auto it = std::find_if(v.begin(), v.end(), [id](const SpaceEntry& e) { return e.i64Id == id; });
        return it == v.end() ? nullptr : &*it;
    }

    vx::test::CTempDir m_dir;
    CSimProcess m_sim;
    std::unique_ptr<CAppConfig> m_config;
};

} // namespace

TEST_F(SimFixture, LoginListCreateRenameMoveDeleteQuota)
{
    StartSim();
    CSession session(*m_config);
    ASSERT_TRUE(LoginDemo(session)) << session.GetMessage() << " / " << session.GetFailureCause();
    EXPECT_GT(m_config->m_i64UserId, 0);
    EXPECT_GT(m_config->m_i64OrgId, 0);
    EXPECT_EQ(m_config->m_strOrgName, CSimProcess::DemoOrganisation());
    EXPECT_FALSE(m_config->m_strCookie.empty());
    EXPECT_EQ(m_config->m_strPwdHash, CSession::PasswordHash(CSimProcess::DemoPassword()));

    CSpaceApi api(*m_config);
    std::string err;
    std::vector<SpaceEntry> top;
    ASSERT_TRUE(api.RequestForDirList(0, true, &top, &err)) << api.GetFailureCause();

    int64_t a = 0, b = 0;
    ASSERT_TRUE(api.RequestForCreateDirectroy(0, "第一章 a&b", &a, &err)) << err << api.GetFailureCause();
    ASSERT_TRUE(api.RequestForCreateDirectroy(0, "Target", &b, &err)) << err;
    EXPECT_GT(a, 0);
    EXPECT_NE(a, b);
    std::vector<SpaceEntry> list;
    ASSERT_TRUE(api.RequestForDirList(0, true, &list, &err));
    ASSERT_NE(Find(list, a), nullptr);
    EXPECT_EQ(Find(list, a)->strName, "第一章 a&b"); // the encoded name arrives whole
    EXPECT_EQ(Find(list, a)->nType, SPACE_FOLDER);

    ASSERT_TRUE(api.RequestForRenameDir(a, "Chapter 1", 0, &err)) << err;
    ASSERT_TRUE(api.RequestForMoveDir(b, {a}, &err)) << err;
    ASSERT_TRUE(api.RequestForMoveFile(b, {}, &err));
    ASSERT_TRUE(api.RequestForDirList(b, true, &list, &err));
    ASSERT_NE(Find(list, a), nullptr);
    EXPECT_EQ(Find(list, a)->strName, "Chapter 1");
    EXPECT_EQ(Find(list, a)->i64ParentId, b);

    std::vector<SpaceEntry> found;
    ASSERT_TRUE(api.RequestForSearchKey(b, "Chapter", &found, &err)) << err << api.GetFailureCause();
    EXPECT_NE(Find(found, a), nullptr);

    ASSERT_TRUE(api.RequestForDeleteDir({b}, &err)) << err;
    ASSERT_TRUE(api.RequestForDirList(0, true, &list, &err));
    EXPECT_EQ(Find(list, b), nullptr);

    SpaceQuota q;
    ASSERT_TRUE(api.RequestSpaceInfo(&q, &err)) << api.GetFailureCause();
    EXPECT_EQ(q.i64Total, 100);
    EXPECT_EQ(q.i64Used + q.i64Left, q.i64Total);

    std::vector<FileServerAddress> servers;
    ASSERT_TRUE(api.RequestFtpServer(&servers, &err));
    ASSERT_EQ(servers.size(), m_sim.FilePorts().size());
    EXPECT_EQ(servers[0].strIp, "127.0.0.1");
    EXPECT_EQ(servers[0].nPort, m_sim.FilePorts()[0]);

    std::string host;
    int port = 0;
    EXPECT_EQ(api.RequestLiveServerIdc(&host, &port), 0);
    EXPECT_EQ(port, m_sim.VersionPort());

    // The session still holds: the check says nothing happened.
    EXPECT_EQ(session.CheckSignOut(), SignOutCheck::Valid);
}

TEST_F(SimFixture, BatchCreationOfANestedTree)
{
    StartSim();
    CSession session(*m_config);
    ASSERT_TRUE(LoginDemo(session));
    CSpaceApi api(*m_config);
    std::string err;
    int64_t parent = 0;
    ASSERT_TRUE(api.RequestForCreateDirectroy(0, "Import", &parent, &err)) << err;
    std::string batch = CSpaceApi::BuildBatchText(
        parent, m_config->m_i64OrgId,
        {{"L1", "L0", "course"}, {"L2", "L1", "week 1"}, {"L3", "L2", "视频"}, {"L4", "L1", "week 2"}});
    std::vector<SpaceEntry> created;
    ASSERT_TRUE(api.RequestForCreateDirectroyS(batch, &created, &err)) << err << api.GetFailureCause();
    ASSERT_EQ(created.size(), 4u);
    std::map<std::string, SpaceEntry> byClient;
    for (const SpaceEntry& e : created)
        byClient[e.strClientId] = e;
    ASSERT_EQ(byClient.size(), 4u);
    EXPECT_EQ(byClient["L1"].i64ParentId, parent);
    EXPECT_EQ(byClient["L1"].strName, "course");
    EXPECT_EQ(byClient["L2"].i64ParentId, byClient["L1"].i64Id);
    EXPECT_EQ(byClient["L3"].i64ParentId, byClient["L2"].i64Id);
    EXPECT_EQ(byClient["L3"].strName, "视频");
    EXPECT_EQ(byClient["L4"].i64ParentId, byClient["L1"].i64Id);
    std::vector<SpaceEntry> list;
    ASSERT_TRUE(api.RequestForDirList(byClient["L1"].i64Id, true, &list, &err));
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(SimFixture, WrongPasswordTellsTheTriesLeft)
{
    StartSim();
    CSession session(*m_config);
    EXPECT_FALSE(LoginDemo(session, "wrong"));
    EXPECT_EQ(session.GetMessageKind(), LoginErrorKind::Account);
    int first = session.GetTriesLeft();
    ASSERT_GE(first, 1);
    EXPECT_NE(session.GetMessage().find("\n,您还有" + std::to_string(first) + "次输入机会！"),
              std::string::npos)
        << session.GetMessage();
    EXPECT_FALSE(LoginDemo(session, "wrong again"));
    EXPECT_EQ(session.GetTriesLeft(), first - 1);
    EXPECT_EQ(m_config->m_i64UserId, -1);
    EXPECT_TRUE(m_config->m_strCookie.empty());
}

TEST_F(SimFixture, AccountWithoutPermissionIsRefused)
{
    StartSim({"--account", "guest:guestpw:-"});
    CSession session(*m_config);
    EXPECT_TRUE(session.Login({"guest", "guestpw", false, false}));
    EXPECT_FALSE(session.PermissionGranted());
    EXPECT_EQ(session.GetMessageKind(), LoginErrorKind::Network);
    EXPECT_FALSE(session.GetMessage().empty());
    EXPECT_EQ(m_config->m_strPwdHash, "");
}

TEST_F(SimFixture, ExpiredCookieIsRenewedByReLogin)
{
    StartSim({"--cookie-ttl", "1"});
    CSession session(*m_config);
    ASSERT_TRUE(LoginDemo(session));
    const std::string oldCookie = m_config->m_strCookie;
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    EXPECT_EQ(session.CheckSignOut(), SignOutCheck::ReLoggedIn);
    EXPECT_NE(m_config->m_strCookie, oldCookie);
    // The renewed session works for the space requests.
    CSpaceApi api(*m_config);
    std::vector<SpaceEntry> list;
    std::string err;
    EXPECT_TRUE(api.RequestForDirList(0, true, &list, &err)) << err << api.GetFailureCause();
}

TEST_F(SimFixture, ExpireSwitchAndSignOutElsewhere)
{
    StartSim();
    CSession session(*m_config);
    ASSERT_TRUE(LoginDemo(session));
    ASSERT_TRUE(m_sim.SetFault("expire-cookie", "on"));
    EXPECT_EQ(session.CheckSignOut(), SignOutCheck::ReLoggedIn);
    ASSERT_TRUE(m_sim.SetFault("expire-cookie", "off"));
    ASSERT_TRUE(m_sim.SignOutElsewhere());
    EXPECT_EQ(session.CheckSignOut(), SignOutCheck::SignedOut);
}

TEST_F(SimFixture, GarbageAndSilenceFailCleanly)
{
    StartSim();
    CSession session(*m_config);
    ASSERT_TRUE(LoginDemo(session));
    ASSERT_TRUE(m_sim.SetFault("garbage", "web"));
    CSpaceApi api(*m_config);
    std::vector<SpaceEntry> list(1);
    std::string err;
    EXPECT_FALSE(api.RequestForDirList(0, true, &list, &err));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_NE(api.GetFailureCause().find("not a JSON object"), std::string::npos) << api.GetFailureCause();
    ASSERT_TRUE(m_sim.SetFault("garbage", "none"));

    m_sim.Stop();
    EXPECT_FALSE(api.RequestForDirList(0, true, &list, &err));
    EXPECT_NE(api.GetFailureCause().find("connection refused at 127.0.0.1:"), std::string::npos)
        << api.GetFailureCause();
    EXPECT_EQ(session.CheckSignOut(), SignOutCheck::Failed);
}
