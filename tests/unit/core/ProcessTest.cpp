// Child processes, started from argument vectors. The children are this test program itself,
// started again in a mode of its own (common/ChildMode.h), so the same cases run on Linux and
// on Windows.

#include "platform/Process.h"
#include "common/ChildMode.h"
#include "common/TestUtil.h"
#include "platform/Env.h"
#include "platform/Paths.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace vx;
using vx::test::ChildArgs;
using vx::test::StartChild;

namespace {

// Prints its first argument and $VX_PROC_TEST as "arg|value", a line on stderr, and ends with 3.
VX_CHILD_MODE(Print)
{
    printf("%s|%s", args.at(0).c_str(), GetEnvVar("VX_PROC_TEST").c_str());
    fputs("oops\n", stderr);
    return 3;
}

VX_CHILD_MODE(Sleep)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(args.at(0))));
    return 0;
}

// Says goodbye, closes its output, and ends a little later.
VX_CHILD_MODE(CloseOutputAndLinger)
{
    puts("bye");
    fflush(stdout);
    fclose(stdout);
    fclose(stderr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return 4;
}

// Reads its input to the end, then says so.
VX_CHILD_MODE(Cat)
{
    char buf[4096];
    while (fread(buf, 1, sizeof(buf), stdin) > 0) {
    }
    puts("done");
    return 0;
}

// Starts a sleeping child of its own, prints that child's id and ends at once, leaving it.
VX_CHILD_MODE(StartAndLeave)
{
    auto grandchild = new CProcess; // never destroyed: its destructor would end the child
    if (!StartChild(*grandchild, "Sleep", {"30000"}, {}))
        return 1;
    printf("%d\n", static_cast<int>(grandchild->Pid()));
    fflush(stdout);
    std::_Exit(0);
}

bool WaitUntil(const std::function<bool()>& done, int ms)
{
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (done())
            return true;
    return done();
}

std::string WithoutCr(std::string s)
{
    std::erase(s, '\r');
    return s;
}

#ifdef _WIN32
constexpr int kTerminated = 1; // TerminateProcess's code
#else
constexpr int kTerminated = 128 + 15;
constexpr int kKilled = 128 + 9;
#endif

} // namespace

TEST(Process, CapturesOutputAndExitCodeWithoutAShell)
{
    CProcess p;
    ProcessOptions o;
    o.captureStdout = true;
    o.captureStderr = true;
    o.env = {"VX_PROC_TEST=value with $HOME %PATH%"};
    // The argument reaches the program as it stands: no shell expands it.
    ASSERT_TRUE(StartChild(p, "Print", {"a;b $x & %PATH% | ^"}, o));
    std::string out, err;
    int code = -1;
    while (!p.TryWait(&code))
        if (p.WaitOutput(100)) {
            p.ReadStdout(&out);
            p.ReadStderr(&err);
        }
    p.ReadStdout(&out);
    p.ReadStderr(&err);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(out, "a;b $x & %PATH% | ^|value with $HOME %PATH%");
    EXPECT_EQ(WithoutCr(err), "oops\n");
}

TEST(Process, MissingProgramIsNamedAndWaitsAreBounded)
{
    CProcess missing;
    std::string err;
    EXPECT_FALSE(missing.Start("/nonexistent/ffmpeg", {}, {}, &err));
    EXPECT_NE(err.find("/nonexistent/ffmpeg"), std::string::npos);

    CProcess sleeper;
    ASSERT_TRUE(StartChild(sleeper, "Sleep", {"30000"}, {}));
    int code = 0;
    EXPECT_FALSE(sleeper.Wait(50, &code));
    sleeper.Terminate(2000);
    EXPECT_TRUE(sleeper.TryWait(&code));
    EXPECT_EQ(code, kTerminated);
}

TEST(Process, FindsOnlyProcessesStartedUnderOurPath)
{
    vx::test::CTempDir dir;
    std::string ours = dir.File("ffmpeg");
#ifdef _WIN32
    ASSERT_TRUE(CopyFileReplace(GetProgramPath(), ours + ".exe")); // links need a privilege there
#else
    ASSERT_TRUE(vx::test::MakeSymlink(GetProgramPath(), ours));
#endif
    CProcess a, b;
    ASSERT_TRUE(a.Start(ours, ChildArgs("Sleep", {"30000"})));
    ASSERT_TRUE(StartChild(b, "Sleep", {"30000"}, {}));
    std::vector<ProcessId> found;
    WaitUntil(
        [&] {
            found = FindProcessesByArgv0(ours);
            return !found.empty();
        },
        1000);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], a.Pid());
    EXPECT_TRUE(EndProcess(found[0], 2000));
    int code = 0;
    EXPECT_TRUE(a.Wait(2000, &code));
    EXPECT_FALSE(b.TryWait(&code));
    EXPECT_TRUE(SetProcessAffinity(b.Pid(), 1));
}

TEST(Process, ChildrenNeverReadOurTerminal)
{
    CProcess p;
    ProcessOptions o;
    o.captureStdout = true;
    ASSERT_TRUE(StartChild(p, "Cat", {}, o));
    int code = -1;
    ASSERT_TRUE(p.Wait(5000, &code)); // its input is empty: it ends at once
    std::string out;
    p.ReadStdout(&out);
    EXPECT_EQ(WithoutCr(out), "done\n");
}

// A child that closes its output and then ends: the watcher's wait ends with the child, not
// after the whole timeout (an encoder step paid that timeout after every run).
TEST(Process, WaitOutputEndsWithTheChildOnceThePipesHaveClosed)
{
    CProcess p;
    ProcessOptions o;
    o.captureStdout = true;
    o.mergeStderr = true;
    ASSERT_TRUE(StartChild(p, "CloseOutputAndLinger", {}, o));
    std::string out;
    int code = -1;
    const auto start = std::chrono::steady_clock::now();
    while (!p.TryWait(&code)) {
        p.WaitOutput(60000);
        p.ReadStdout(&out);
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(WithoutCr(out), "bye\n");
    EXPECT_EQ(code, 4);
    EXPECT_LT(waited, std::chrono::seconds(30)) << "the wait sat out its timeout";
    // Ended and reaped: a further wait returns at once instead of sleeping.
    const auto again = std::chrono::steady_clock::now();
    EXPECT_FALSE(p.WaitOutput(60000));
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(30));
}

// A child tied to its starter ends with it, however the starter ends, and carries a note of
// who started it: a child of a live starter is told from an orphan, and from a process that
// never had a note.
TEST(Process, ChildTiedToItsStarterEndsWithItAndNamesIt)
{
    ProcessOptions tied;
    tied.endWithStarter = true;
    int code = 0;

#ifndef _WIN32
    // The thread that started it ends: so does the child, although nothing waited for it or
    // ended it (a kill -9 of the whole program ends every such thread at once). On Windows the
    // tie is to the starting process (a job object), tested with the grandchild below.
    std::unique_ptr<CProcess> orphanCandidate;
    std::thread starter([&] {
        orphanCandidate = std::make_unique<CProcess>();
        ASSERT_TRUE(StartChild(*orphanCandidate, "Sleep", {"30000"}, tied));
        EXPECT_EQ(StarterOf(orphanCandidate->Pid()), StarterState::Running);
    });
    starter.join();
    EXPECT_TRUE(orphanCandidate->Wait(3000, &code)) << "the child outlived its starter";
    EXPECT_EQ(code, kKilled);

    // Started the ordinary way: no note.
    CProcess plain;
    ASSERT_TRUE(StartChild(plain, "Sleep", {"30000"}, {}));
    EXPECT_EQ(StarterOf(plain.Pid()), StarterState::Unknown);
    plain.Terminate(500);
#else
    CProcess running;
    ASSERT_TRUE(StartChild(running, "Sleep", {"30000"}, tied));
    EXPECT_EQ(StarterOf(running.Pid()), StarterState::Running);
    running.Terminate(500);
#endif

    // A grandchild whose parent went.
    ProcessOptions capture = tied;
    capture.captureStdout = true;
    CProcess parent;
    ASSERT_TRUE(StartChild(parent, "StartAndLeave", {}, capture));
    ASSERT_TRUE(parent.Wait(10000, &code));
    std::string out;
    parent.ReadStdout(&out);
    const ProcessId left = static_cast<ProcessId>(atol(out.c_str()));
    ASSERT_GT(left, 0) << out;
#ifdef _WIN32
    // It was tied to its own starter, which has ended: so has it.
    EXPECT_TRUE(WaitUntil([&] { return !ProcessRunning(left); }, 3000))
        << "the grandchild outlived its starter";
#else
    // The note is inherited, the starter is no longer above it, so it is a leftover.
    EXPECT_EQ(StarterOf(left), StarterState::Gone);
    EXPECT_TRUE(EndProcess(left, 1000)) << "an orphan that has ended counts as ended";
#endif

    // A program that is not there is named, and no child is left behind.
    std::string err;
    CProcess missing;
    EXPECT_FALSE(missing.Start("/nonexistent/ffmpeg", {}, tied, &err));
    EXPECT_NE(err.find("No such file"), std::string::npos) << err;
}
