// The shut-down countdown on a loop of its own, with a recorder in place of the real command.

#include "account/AutoShutDown.h"
#include "AccountFixture.h"

#include <chrono>
#include <thread>

using namespace vx;
using namespace vx::test;

TEST(AutoShutDown, CountsDownToZeroAndRunsTheCommandOnce)
{
    CMessageLoop loop;
    std::vector<std::string> ran;
    CAutoShutDown sd(
        "systemctl poweroff",
        [&](const std::string& cmd, std::string*) {
            ran.push_back(cmd);
            return true;
        },
        loop);
    std::vector<int> seen;
    bool done = false, ok = false;
    sd.SetTickCallback([&](int s) { seen.push_back(s); });
    sd.SetDoneCallback([&](bool r, const std::string&) {
        done = true;
        ok = r;
    });
    EXPECT_EQ(sd.CountdownText(), "您的电脑将在 30 秒后进行关机");
    sd.Start(5);
    ASSERT_TRUE(loop.PumpUntil([&] { return done; }, 10000));
    loop.PumpUntil([] { return false; }, 100);
    ASSERT_EQ(seen.size(), 30u);
    EXPECT_EQ(seen.front(), 29);
    EXPECT_EQ(seen.back(), 0);
    EXPECT_EQ(ran, std::vector<std::string>{"systemctl poweroff"});
    EXPECT_TRUE(ok);
    sd.ShutDownNow(); // never twice
    EXPECT_EQ(ran.size(), 1u);
}

TEST(AutoShutDown, CancelLeavesTheComputerRunning)
{
    CMessageLoop loop;
    int ran = 0;
    CAutoShutDown sd(
        "systemctl poweroff", [&](const std::string&, std::string*) { return ++ran > 0; }, loop);
    sd.Start(5);
    loop.PumpUntil([&] { return sd.SecondsLeft() <= 25; }, 5000);
    sd.Cancel();
    loop.PumpUntil([] { return false; }, 300);
    EXPECT_EQ(ran, 0);
    EXPECT_GT(sd.SecondsLeft(), 0);
    EXPECT_FALSE(sd.Running());
}

// (The recorders are shell scripts: Linux only.)
#ifndef _WIN32
TEST(AutoShutDown, TheConfiguredCommandRunsWithoutAShellAndFailuresAreReported)
{
    CTempDir dir;
    const std::string recorder = dir.File("recorder");
    WriteFile(recorder, "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/calls\"\nexit 0\n");
    const std::string failing = dir.File("failing");
    WriteFile(failing, "#!/bin/sh\nexit 3\n");
    RunProgram("/bin/chmod", {"+x", recorder, failing});

    std::string err;
    ASSERT_TRUE(RunShutdownCommand(recorder + " --now \"in 30 s\" ;rm", &err)) << err;
    EXPECT_EQ(ReadFile(dir.File("calls")), "--now in 30 s ;rm\n"); // ";" is just a character

    EXPECT_FALSE(RunShutdownCommand(failing, &err));
    EXPECT_NE(err.find("status 3"), std::string::npos) << err;
    EXPECT_FALSE(RunShutdownCommand(dir.File("absent") + " -h", &err));
    EXPECT_NE(err.find("absent"), std::string::npos) << err;
    EXPECT_FALSE(RunShutdownCommand("  ", &err));

    // Through the countdown: the failure reaches the window.
    CMessageLoop loop;
    CAutoShutDown sd(failing, RunShutdownCommand, loop);
    std::string shown;
    bool done = false, ranOk = true;
    sd.SetDoneCallback([&](bool r, const std::string& e) {
        done = true;
        ranOk = r;
        shown = e;
    });
    sd.ShutDownNow();
    EXPECT_TRUE(loop.PumpUntil([&] { return done; }, 10000));
    EXPECT_FALSE(ranOk);
    EXPECT_NE(shown.find("status 3"), std::string::npos);
}
#endif

// A shut-down command that waits (for a password prompt, a slow service) holds its own thread,
// not the loop: the countdown answers at once and its outcome arrives when the command ends.
TEST(AutoShutDown, ACommandThatTakesItsTimeDoesNotHoldTheLoop)
{
    CMessageLoop loop;
    auto slow = [](const std::string&, std::string* error) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        *error = "refused by the policy agent";
        return false;
    };
    CAutoShutDown sd("systemctl poweroff", slow, loop);
    bool done = false, ranOk = true;
    std::string shown;
    sd.SetDoneCallback([&](bool r, const std::string& e) {
        done = true;
        ranOk = r;
        shown = e;
    });
    const auto t0 = std::chrono::steady_clock::now();
    sd.ShutDownNow();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_TRUE(sd.CommandRunning());
    EXPECT_FALSE(done);
    // Meanwhile the loop goes on turning: a timer of someone else's fires.
    CMainWndRecorder other(loop);
    loop.SetTimer(other.Target(), 1, 50);
    EXPECT_TRUE(loop.PumpUntil([&] { return other.Count(WM_TIMER) > 0; }, 1000));
    loop.KillTimer(other.Target(), 1);
    EXPECT_FALSE(done);
    ASSERT_TRUE(loop.PumpUntil([&] { return done; }, 10000));
    EXPECT_FALSE(ranOk);
    EXPECT_EQ(shown, "refused by the policy agent");
    EXPECT_FALSE(sd.CommandRunning());
}
