// The window's sign-out check runs on the page's request worker: a renewed cookie reaches the
// session, and "signed in elsewhere" reaches the caller on the owner's thread.

#include "SpaceSimFixture.h"

#include <thread>

using namespace vx;
using namespace vx::test;

TEST_F(SpaceSim, SignOutCheckRenewsAnExpiredCookieAndReportsASignOutElsewhere)
{
    Start();
    const std::thread::id owner = std::this_thread::get_id();
    int answers = 0;
    bool lastAnswer = true;
    auto ask = [&] {
        m_ctl->CheckSignOut([&](bool signedOut) {
            EXPECT_EQ(std::this_thread::get_id(), owner);
            ++answers;
            lastAnswer = signedOut;
        });
        Wait();
    };

    ask();
    EXPECT_EQ(answers, 1);
    EXPECT_FALSE(lastAnswer);

    // An overdue session logs in again; the page's next request uses the new cookie.
    const std::string before = m_config->m_strCookie;
    ASSERT_TRUE(m_sim.SetFault("expire-cookie", "on"));
    ask();
    ASSERT_TRUE(m_sim.SetFault("expire-cookie", "off"));
    EXPECT_EQ(answers, 2);
    EXPECT_FALSE(lastAnswer);
    EXPECT_NE(m_config->m_strCookie, before);
    LoadTreeAndWait();
    EXPECT_GT(OwnRoot(), 0) << "the renewed cookie is accepted";

    ASSERT_TRUE(m_sim.SignOutElsewhere(m_user));
    ask();
    EXPECT_EQ(answers, 3);
    EXPECT_TRUE(lastAnswer);
}
