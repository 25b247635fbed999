#include "common/LoopbackServer.h"
#include "common/TestUtil.h"
#include "platform/Crypto.h"
#include "platform/Env.h"
#include "platform/Event.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Socket.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace vx;
using vx::test::CTempDir;
using vx::test::ReadFile;
using vx::test::WriteFile;

TEST(IniFile, ReadsWithoutCaseAndWritesOnlyItsLine)
{
    CTempDir dir;
    const std::string path = dir.File("a.ini");
    WriteFile(path,
              "; comment stays\r\n[Server]\r\nHost = \"quoted value\" \r\nother=1\r\n\r\n[next]\r\nk=v\r\n");
    EXPECT_EQ(IniRead(path, "server", "HOST"), "quoted value");
    EXPECT_EQ(IniRead(path, "server", "missing"), "");
    EXPECT_EQ(IniRead(path, "nosection", "k", "def"), "def");
    EXPECT_EQ(IniRead(dir.File("none.ini"), "s", "k"), "");

    ASSERT_TRUE(IniWrite(path, "SERVER", "other", "2"));
    ASSERT_TRUE(IniWrite(path, "server", "added", "3"));
    ASSERT_TRUE(IniWrite(path, "fresh", "x", "y"));
    EXPECT_EQ(ReadFile(path),
              "; comment stays\n[Server]\nHost = \"quoted value\" \nother=2\nadded=3\n\n[next]\nk=v\n"
              "\n[fresh]\nx=y\n");
    EXPECT_EQ(IniRead(path, "next", "k"), "v");
}

TEST(Crypto, Md5AndGuid)
{
    Md5Digest d;
    ASSERT_TRUE(Md5Bytes("abc", 3, &d));
    EXPECT_EQ(DigestHex(d), "900150983cd24fb0d6963f7d28e17f72");
    CMd5 inc;
    inc.Update("a", 1);
    inc.Update("bc", 2);
    Md5Digest d2;
    ASSERT_TRUE(inc.Final(&d2));
    EXPECT_EQ(d, d2);
    EXPECT_FALSE(inc.Final(&d2)); // only once
    EXPECT_NE(NewGuidText(), NewGuidText());
    EXPECT_EQ(NewGuidText().size(), 36u);
}

TEST(Paths, DataFolderFollowsEnvironmentAndIsCreated)
{
    vx::test::CScopedDataDir data;
    std::string wanted = data.Path() + "nested/deeper/";
    SetEnvVar("VEXORA_DATA_DIR", wanted);
    ResetDataFolderCache();
    EXPECT_EQ(GetDataFolder(), wanted);
    EXPECT_TRUE(DirExists(wanted));
    ResetDataFolderCache();
    EXPECT_GT(FreeDiskSpace(data.Path()), 0);
    EXPECT_EQ(FreeDiskSpace(data.Path() + "missing/"), -1);
    EXPECT_EQ(GetProgramFolder().back(), '/');
}

TEST(Paths, WithoutHomeTheDataFolderIsRefusedRatherThanShared)
{
    VX_SKIP_ON_WINDOWS("the data folder comes from HOME and XDG_DATA_HOME on Linux only");
    // Restores the three variables whatever happens below.
    struct Saved
    {
        std::vector<std::pair<std::string, std::optional<std::string>>> vars;
        Saved()
        {
            for (const char* n : {"HOME", "XDG_DATA_HOME", "VEXORA_DATA_DIR"}) {
                const char* v = getenv(n);
                vars.emplace_back(n, v ? std::optional<std::string>(v) : std::nullopt);
            }
        }
        ~Saved()
        {
            for (auto& [n, v] : vars)
                v ? static_cast<void>(SetEnvVar(n, *v)) : UnsetEnvVar(n);
            ResetDataFolderCache();
        }
    } saved;
    UnsetEnvVar("HOME");
    UnsetEnvVar("XDG_DATA_HOME");
    UnsetEnvVar("VEXORA_DATA_DIR");
    ResetDataFolderCache();
    EXPECT_EQ(GetDataFolder(), "");
    EXPECT_NE(DataFolderError().find("HOME is not set"), std::string::npos) << DataFolderError();

    SetEnvVar("HOME", ""); // empty counts as unset
    ResetDataFolderCache();
    EXPECT_EQ(GetDataFolder(), "");

    // Either explicit setting still works without HOME.
    vx::test::CTempDir dir;
    SetEnvVar("XDG_DATA_HOME", dir.Path());
    ResetDataFolderCache();
    EXPECT_EQ(GetDataFolder(), dir.Path() + "Tolvane/VexoraV2/");
    EXPECT_EQ(DataFolderError(), "");
    UnsetEnvVar("XDG_DATA_HOME");
    SetEnvVar("VEXORA_DATA_DIR", dir.File("own"));
    ResetDataFolderCache();
    EXPECT_EQ(GetDataFolder(), dir.File("own/"));

    // The program refuses to start, says why, and leaves nothing behind.
    vx::test::RunResult r = vx::test::RunProgram(
        "VexoraV2", {}, {"HOME=", "XDG_DATA_HOME=", "VEXORA_DATA_DIR=", "TMPDIR=" + dir.Path()});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err.find("HOME is not set"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");

    // So does the companion, before it opens a log or the account database anywhere.
    const bool hadLogFolder = DirExists("Log");
    r = vx::test::RunProgram("vexora", {"queue"},
                             {"HOME=", "XDG_DATA_HOME=", "VEXORA_DATA_DIR=", "TMPDIR=" + dir.Path()});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err.find("HOME is not set"), std::string::npos) << r.err;
    EXPECT_EQ(DirExists("Log"), hadLogFolder) << "a log was opened in the current folder";
}

TEST(Paths, CopyReplacesOnlyWithACompleteFile)
{
    CTempDir dir;
    WriteFile(dir.File("src"), std::string(200000, 'x'));
    WriteFile(dir.File("dst"), "old");
    ASSERT_TRUE(CopyFileReplace(dir.File("src"), dir.File("dst")));
    EXPECT_EQ(FileSize(dir.File("dst")), 200000);
    EXPECT_FALSE(CopyFileReplace(dir.File("absent"), dir.File("dst")));
    EXPECT_EQ(FileSize(dir.File("dst")), 200000);
}

TEST(Socket, ConnectSendReceiveAndTimeouts)
{
    uint16_t port = 0;
    CSocket listener;
    ASSERT_TRUE(listener.Listen("127.0.0.1", 0, 4, &port));
    CSocket client;
    std::string err;
    ASSERT_TRUE(client.Connect("127.0.0.1", port, 2000, &err)) << err;
    CSocket server = listener.Accept(2000);
    ASSERT_TRUE(server.IsValid());

    ASSERT_EQ(client.SendAll("hello", 5, 1000), SockResult::Ok);
    char buf[5];
    ASSERT_EQ(server.RecvAll(buf, 5, 1000), SockResult::Ok);
    EXPECT_EQ(std::string(buf, 5), "hello");

    size_t got = 0;
    EXPECT_EQ(client.RecvSome(buf, sizeof(buf), 50, &got), SockResult::Timeout);
    server.Close();
    EXPECT_EQ(client.RecvSome(buf, sizeof(buf), 1000, &got), SockResult::Closed);
    // Writing into a closed peer is an error return, never SIGPIPE.
    IgnoreSigpipe();
    SockResult r = SockResult::Ok;
    std::string big(1 << 20, 'x');
    for (int i = 0; i < 20 && r == SockResult::Ok; ++i)
        r = client.SendAll(big.data(), big.size(), 500);
    EXPECT_NE(r, SockResult::Ok);
}

TEST(Socket, AStopFlagEndsAStalledSendPromptly)
{
    uint16_t port = 0;
    CSocket listener;
    ASSERT_TRUE(listener.Listen("127.0.0.1", 0, 4, &port));
    CSocket client;
    ASSERT_TRUE(client.Connect("127.0.0.1", port, 2000));
    CSocket server = listener.Accept(2000); // accepts, never reads
    ASSERT_TRUE(server.IsValid());
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    std::string big(64 << 20, 'x');
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(client.SendAll(big.data(), big.size(), 10000, &stop), SockResult::Timeout);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    stopper.join();
    EXPECT_LT(ms, 5000); // far below the 10 s stall limit
}

TEST(Socket, RefusedConnectionNamesTheEndpoint)
{
    const uint16_t port = vx::test::UnusedLoopbackPort();
    CSocket s;
    std::string err;
    EXPECT_FALSE(s.Connect("127.0.0.1", port, 1000, &err));
    EXPECT_NE(err.find("127.0.0.1:" + std::to_string(port)), std::string::npos) << err;
}

TEST(Socket, UdpRoundTripReportsSender)
{
    CSocket a, b;
    ASSERT_TRUE(a.OpenUdp());
    const uint16_t port = vx::test::UnusedLoopbackPort();
    ASSERT_TRUE(b.BindUdp("127.0.0.1", port));
    ASSERT_TRUE(a.SendTo("127.0.0.1", port, "ping", 4));
    char buf[16];
    size_t got = 0;
    std::string from;
    uint16_t fromPort = 0;
    ASSERT_EQ(b.RecvFrom(buf, sizeof(buf), 1000, &got, &from, &fromPort), SockResult::Ok);
    EXPECT_EQ(std::string(buf, got), "ping");
    EXPECT_EQ(from, "127.0.0.1");
    EXPECT_NE(fromPort, 0);
    EXPECT_EQ(b.RecvFrom(buf, sizeof(buf), 30, &got, nullptr, nullptr), SockResult::Timeout);
}

TEST(Event, ManualResetAndWaitAny)
{
    CEvent a, b;
    EXPECT_FALSE(a.Wait(10));
    EXPECT_EQ(CEvent::WaitAny({&a, &b}, 10), -1);
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        b.Set();
    });
    EXPECT_EQ(CEvent::WaitAny({&a, &b}, 5000), 1);
    t.join();
    EXPECT_TRUE(b.Wait(0)); // stays set
    EXPECT_EQ(CEvent::WaitAny({&a, &b}, 0), 1);
    b.Reset();
    EXPECT_FALSE(b.IsSet());
}

TEST(Event, ManyWaitersAllWake)
{
    CEvent go;
    std::atomic<int> woke{0};
    std::vector<std::thread> ts;
    for (int i = 0; i < 8; ++i)
        ts.emplace_back([&] {
            if (CEvent::WaitAny({&go}, 5000) == 0)
                ++woke;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    go.Set();
    for (auto& t : ts)
        t.join();
    EXPECT_EQ(woke.load(), 8);
}
