// Remembered accounts in a real database file, with and without a Secret Service. The keyring
// cases run inside their own D-Bus session with a keyring daemon (see with-keyring); in the
// plain run they skip.

#include "account/AccountStore.h"
#include "AccountFixture.h"
#include "net/Session.h"
#include "platform/secret/SecretServiceStore.h"

#include "app/LogFile.h"
#include "platform/Paths.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

using namespace vx;
using namespace vx::test;

namespace {

_sUserAccount Account(const std::string& name, const std::string& hash, bool remember, bool autoLogin,
                      int64_t id)
{
    _sUserAccount a;
    a.strUserName = name;
    a.strPassword = hash;
    a.bRememberPsw = remember;
    a.bAutoLogin = autoLogin;
    a.i64UserId = id;
    return a;
}

std::string Column(const std::string& db, const std::string& user)
{
    return RawColumn(db, "select password from users where username='" + user + "'");
}

const std::string kHash = CSession::PasswordHash("secret-1");

// The Credential Manager is part of every Windows session: no daemon of our own is needed.
#ifdef _WIN32
constexpr bool kSystemStore = true;
#else
constexpr bool kSystemStore = false;
#endif

// Skips unless this run has a keyring daemon of its own (on Linux).
#define REQUIRE_KEYRING(store)                                                                               \
    do {                                                                                                     \
        if (!kSystemStore && !getenv("VX_KEYRING_SESSION"))                                                  \
            GTEST_SKIP() << "runs inside with-keyring only";                                                 \
        if (!(store).Available())                                                                            \
            GTEST_SKIP() << "the keyring daemon did not start: " << (store).LastError();                     \
    } while (0)

} // namespace

// (A session without a secret service exists on Linux only.)
#ifndef _WIN32
TEST(AccountStore, WithoutSecretServiceTheHashStaysInTheOwnerOnlyDatabaseFile)
{
    CTempDir dir;
    // A session bus address that leads nowhere: no service can answer.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir.File("no-bus")).c_str(), 1);
    CSecretServiceStore secrets("VexoraV2-test");
    EXPECT_FALSE(secrets.Available());
    EXPECT_FALSE(secrets.LastError().empty());

    const std::string path = dir.File("DB/vexora_v2.0.db");
    CLocalDb db(path);
    ASSERT_TRUE(db.IsOpen());
    CAccountStore store(db, &secrets);
    ASSERT_TRUE(store.Save(Account("li", kHash, true, false, 7)));
    EXPECT_FALSE(store.UsesSecretService());
    EXPECT_EQ(Column(path, "li"), kHash);
    const auto perms = std::filesystem::status(path).permissions();
    EXPECT_EQ(perms & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    std::vector<_sUserAccount> users;
    ASSERT_TRUE(store.Load(&users));
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].strPassword, kHash);

    // Forgetting the password empties the column; removing drops the row.
    ASSERT_TRUE(store.Save(Account("li", kHash, false, false, 7)));
    EXPECT_EQ(Column(path, "li"), "");
    ASSERT_TRUE(store.Remove(Account("li", "", false, false, 0)));
    EXPECT_EQ(Column(path, "li"), "<no row>");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}
#endif

TEST(KeyringAccountStore, TheHashLivesInTheServiceAndTheColumnHoldsNoSecret)
{
    CSecretServiceStore secrets("VexoraV2-test");
    REQUIRE_KEYRING(secrets);
    CTempDir dir;
    const std::string path = dir.File("DB/vexora_v2.0.db");
    CLocalDb db(path);
    CAccountStore store(db, &secrets);

    ASSERT_TRUE(store.Save(Account("wang", kHash, true, true, 11)));
    EXPECT_TRUE(store.UsesSecretService());
    EXPECT_EQ(Column(path, "wang"), "");
    EXPECT_EQ(RawColumn(path, "select rememberpsw from users where username='wang'"), "1");
    // Another client of the service (a later run of the program) finds it.
    CSecretServiceStore other("VexoraV2-test");
    std::string found;
    ASSERT_TRUE(other.Lookup("wang", &found)) << other.LastError();
    EXPECT_EQ(found, kHash);

    std::vector<_sUserAccount> users;
    ASSERT_TRUE(store.Load(&users));
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].strPassword, kHash);
    EXPECT_TRUE(users[0].bAutoLogin);

    // No longer remembered: the service forgets it too.
    ASSERT_TRUE(store.Save(Account("wang", kHash, false, false, 11)));
    EXPECT_FALSE(other.Lookup("wang", &found));
    ASSERT_TRUE(store.Load(&users));
    EXPECT_EQ(users[0].strPassword, "");
}

TEST(KeyringAccountStore, AHashLeftInTheColumnMovesIntoTheServiceAndRemoveForgetsIt)
{
    CSecretServiceStore secrets("VexoraV2-test");
    REQUIRE_KEYRING(secrets);
    CTempDir dir;
    const std::string path = dir.File("DB/vexora_v2.0.db");
    CLocalDb db(path);
    // Written as an older version (or a run without the service) did.
    ASSERT_TRUE(db.SaveUser(Account("zhao", kHash, true, false, 21)));
    ASSERT_TRUE(db.SaveUser(Account("qian", CSession::PasswordHash("other"), true, false, 22)));
    ASSERT_EQ(Column(path, "zhao"), kHash);

    CAccountStore store(db, &secrets);
    std::vector<_sUserAccount> users;
    ASSERT_TRUE(store.Load(&users));
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0].strUserName, "qian"); // newest first
    EXPECT_EQ(users[1].strPassword, kHash);
    EXPECT_EQ(Column(path, "zhao"), "");
    EXPECT_EQ(Column(path, "qian"), "");

    // The moved hash is found again on the next start.
    CAccountStore again(db, &secrets);
    ASSERT_TRUE(again.Load(&users));
    EXPECT_EQ(users[1].strPassword, kHash);

    ASSERT_TRUE(again.Remove(Account("zhao", "", false, false, 0)));
    std::string found;
    EXPECT_FALSE(secrets.Lookup("zhao", &found));
    EXPECT_TRUE(secrets.Lookup("qian", &found));
    EXPECT_EQ(Column(path, "zhao"), "<no row>");
}

namespace {

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

} // namespace

// With a loop, the keyring is asked on a thread of its own: loading and saving return at once
// however long it takes, a hash stays in the column until the keyring has taken it, and a
// refusal leaves it there and is said once.
TEST(AccountStore, TheKeyringIsAskedOffTheCallersThreadAndARefusalLeavesTheHashWhereItWas)
{
    CTempDir dir;
    CScopedDataDir data;
    OpenLogs();
    const std::string path = dir.File("DB/vexora_v2.0.db");
    CLocalDb db(path);
    CMessageLoop loop;
    auto secrets = std::make_shared<CPromptingSecrets>();
    secrets->delayMs = 1200;
    secrets->refuse = true;
    ASSERT_TRUE(db.SaveUser(Account("li", kHash, true, true, 7))); // left by a run without a keyring
    {
        CAccountStore store(db, secrets, loop);
        const auto t0 = std::chrono::steady_clock::now();
        std::vector<_sUserAccount> users;
        ASSERT_TRUE(store.Load(&users));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
        ASSERT_EQ(users.size(), 1u);
        EXPECT_EQ(users[0].strPassword, kHash); // the login goes on with the hash it has
        ASSERT_TRUE(store.Save(Account("li", kHash, true, true, 7)));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
        ASSERT_TRUE(loop.PumpUntil([&] { return !store.Busy(); }, 10000));
        EXPECT_EQ(Column(path, "li"), kHash);
        EXPECT_EQ(Count(ReadFile(GetDataFolder() + "Log/log.txt"), "did not take the password"), 1u);

        // The keyring takes it now: the column holds it until then, and is emptied after.
        secrets->refuse = false;
        ASSERT_TRUE(store.Save(Account("li", kHash, true, true, 7)));
        EXPECT_EQ(Column(path, "li"), kHash);
        ASSERT_TRUE(loop.PumpUntil([&] { return !store.Busy(); }, 10000));
        EXPECT_EQ(Column(path, "li"), "");
        EXPECT_EQ(secrets->Kept("li"), kHash);
    }
    // The next start lists the account at once; its hash follows from the keyring.
    CAccountStore again(db, secrets, loop);
    std::string heard;
    again.SetHashListener([&](const std::string& account, const std::string& hash) {
        if (account == "li")
            heard = hash;
    });
    std::vector<_sUserAccount> users;
    ASSERT_TRUE(again.Load(&users));
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].strPassword, "");
    EXPECT_TRUE(again.HashPending("li"));
    ASSERT_TRUE(loop.PumpUntil([&] { return !heard.empty(); }, 10000));
    EXPECT_EQ(heard, kHash);
    EXPECT_FALSE(again.HashPending("li"));
    // Removing the account: the row at once, the keyring's entry after.
    ASSERT_TRUE(again.Remove(Account("li", "", false, false, 0)));
    EXPECT_EQ(Column(path, "li"), "<no row>");
    ASSERT_TRUE(loop.PumpUntil([&] { return !again.Busy(); }, 10000));
    EXPECT_EQ(secrets->Kept("li"), "");
    CloseLogs();
}
