#include "platform/Process.h"
#include "common/TestUtil.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace vx;

TEST(Process, CapturesOutputAndExitCodeWithoutAShell)
{
    CProcess p;
    ProcessOptions o;
    o.captureStdout = true;
    o.captureStderr = true;
    o.env = {"VX_PROC_TEST=value with $HOME"};
    // The argument reaches the program as it stands: no shell expands it.
    ASSERT_TRUE(p.Start(
        "/bin/sh", {"-c", "printf '%s|%s' \"$0\" \"$VX_PROC_TEST\"; echo oops >&2; exit 3", "a;b $x"}, o));
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
    EXPECT_EQ(out, "a;b $x|value with $HOME");
    EXPECT_EQ(err, "oops\n");
}

TEST(Process, MissingProgramIsNamedAndWaitsAreBounded)
{
    CProcess missing;
    std::string err;
    EXPECT_FALSE(missing.Start("/nonexistent/ffmpeg", {}, {}, &err));
    EXPECT_NE(err.find("/nonexistent/ffmpeg"), std::string::npos);

    CProcess sleeper;
    ASSERT_TRUE(sleeper.Start("/bin/sleep", {"30"}));
    int code = 0;
    EXPECT_FALSE(sleeper.Wait(50, &code));
    sleeper.Terminate(2000);
    EXPECT_TRUE(sleeper.TryWait(&code));
    EXPECT_EQ(code, 128 + 15);
}

TEST(Process, FindsOnlyProcessesStartedUnderOurPath)
{
    vx::test::CTempDir dir;
    std::string ours = dir.File("ffmpeg");
    ASSERT_EQ(symlink("/bin/sleep", ours.c_str()), 0);
    CProcess a, b;
    ASSERT_TRUE(a.Start(ours, {"30"}));
    ASSERT_TRUE(b.Start("/bin/sleep", {"30"}));
    std::vector<pid_t> found;
    for (int i = 0; i < 100 && found.empty(); ++i) {
        found = FindProcessesByArgv0(ours);
        usleep(10000);
    }
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
    ASSERT_TRUE(p.Start("/bin/sh", {"-c", "cat; echo done"}, o));
    int code = -1;
    ASSERT_TRUE(p.Wait(5000, &code)); // stdin is /dev/null: cat ends at once
    std::string out;
    p.ReadStdout(&out);
    EXPECT_EQ(out, "done\n");
}

// A child that closes its output and then ends: the watcher's wait ends with the child, not
// after the whole timeout (an encoder step paid that timeout after every run).
TEST(Process, WaitOutputEndsWithTheChildOnceThePipesHaveClosed)
{
    CProcess p;
    ProcessOptions o;
    o.captureStdout = true;
    o.mergeStderr = true;
    ASSERT_TRUE(p.Start("/bin/sh", {"-c", "echo bye; exec >&- 2>&-; sleep 0.3; exit 4"}, o));
    std::string out;
    int code = -1;
    const auto start = std::chrono::steady_clock::now();
    while (!p.TryWait(&code)) {
        p.WaitOutput(60000);
        p.ReadStdout(&out);
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(out, "bye\n");
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

    // The thread that started it ends: so does the child, although nothing waited for it or
    // ended it (a kill -9 of the whole program ends every such thread at once).
    std::unique_ptr<CProcess> orphanCandidate;
    std::thread starter([&] {
        orphanCandidate = std::make_unique<CProcess>();
        ASSERT_TRUE(orphanCandidate->Start("/bin/sleep", {"30"}, tied));
        EXPECT_EQ(StarterOf(orphanCandidate->Pid()), StarterState::Running);
    });
    starter.join();
    int code = 0;
    EXPECT_TRUE(orphanCandidate->Wait(3000, &code)) << "the child outlived its starter";
    EXPECT_EQ(code, 128 + 9);

    // Started the ordinary way: no note.
    CProcess plain;
    ASSERT_TRUE(plain.Start("/bin/sleep", {"30"}));
    EXPECT_EQ(StarterOf(plain.Pid()), StarterState::Unknown);
    plain.Terminate(500);

    // A grandchild whose parent went: the note is inherited, the starter is no longer above
    // it, so it is a leftover.
    ProcessOptions capture = tied;
    capture.captureStdout = true;
    CProcess shell;
    ASSERT_TRUE(shell.Start("/bin/sh", {"-c", "sleep 30 >/dev/null 2>&1 & echo $!"}, capture));
    ASSERT_TRUE(shell.Wait(5000, &code));
    std::string out;
    shell.ReadStdout(&out);
    const pid_t left = static_cast<pid_t>(atol(out.c_str()));
    ASSERT_GT(left, 0) << out;
    EXPECT_EQ(StarterOf(left), StarterState::Gone);
    EXPECT_TRUE(EndProcess(left, 1000)) << "an orphan that has ended counts as ended";

    // A program that is not there is named, and no child is left behind.
    std::string err;
    CProcess missing;
    EXPECT_FALSE(missing.Start("/nonexistent/ffmpeg", {}, tied, &err));
    EXPECT_NE(err.find("No such file"), std::string::npos) << err;
}
