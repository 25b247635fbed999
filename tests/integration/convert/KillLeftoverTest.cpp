// Leftover encoders: only processes started from our codecs/ folder are ended, and of those only
// the ones whose starter has gone.

#include "common/TestUtil.h"
#include "media/KillLeftoverEncoders.h"
#include "platform/Process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx::test {
namespace {

TEST(KillLeftoverEncoders, OnlyOurCodecsFolder)
{
    CTempDir ours, theirs;
    ASSERT_EQ(symlink("/bin/sleep", (ours.Path() + "ffmpeg").c_str()), 0);
    ASSERT_EQ(symlink("/bin/sleep", (theirs.Path() + "ffmpeg").c_str()), 0);
    // The tagger runs as the flvmeta beside it.
    ASSERT_EQ(symlink("/bin/sleep", (ours.Path() + "flvmeta").c_str()), 0);
    // The script takes its own child along when it is ended, so nothing outlives the test.
    WriteFile(ours.Path() + "tsMuxeR", "#!/bin/sh\ntrap 'kill $!; exit 143' TERM\nsleep 30 &\nwait\n");
    chmod((ours.Path() + "tsMuxeR").c_str(), 0755);

    CProcess mine, tagger, script, other;
    ASSERT_TRUE(mine.Start(ours.Path() + "ffmpeg", {"30"}));
    ASSERT_TRUE(tagger.Start(ours.Path() + "flvmeta", {"30"}));
    ASSERT_TRUE(script.Start(ours.Path() + "tsMuxeR", {}));
    ASSERT_TRUE(other.Start(theirs.Path() + "ffmpeg", {"30"})); // another program's ffmpeg
    usleep(200 * 1000);

    std::vector<pid_t> found = FindLeftoverEncoders(ours.Path());
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(KillLeftoverEncoders(ours.Path()), 3);
    int code = 0;
    EXPECT_TRUE(mine.Wait(3000, &code));
    EXPECT_TRUE(tagger.Wait(3000, &code));
    EXPECT_TRUE(script.Wait(3000, &code));
    EXPECT_FALSE(other.TryWait(&code)); // untouched
    other.Terminate(500);
}

TEST(KillLeftoverEncoders, AnEncoderWhoseStarterStillWorksIsLeftAlone)
{
    CTempDir ours;
    const std::string ffmpeg = ours.Path() + "ffmpeg";
    ASSERT_EQ(symlink("/bin/sleep", ffmpeg.c_str()), 0);
    ProcessOptions tied;
    tied.endWithStarter = true;
    CProcess working;
    ASSERT_TRUE(working.Start(ffmpeg, {"30"}, tied)); // as a conversion starts its encoder
    // One that lost its starter: started by a shell of ours that has ended.
    tied.captureStdout = true;
    CProcess shell;
    ASSERT_TRUE(shell.Start("/bin/sh", {"-c", "\"$0\" 30 >/dev/null 2>&1 & echo $!", ffmpeg}, tied));
    int code = 0;
    ASSERT_TRUE(shell.Wait(5000, &code));
    std::string out;
    shell.ReadStdout(&out);
    const pid_t orphan = static_cast<pid_t>(atol(out.c_str()));
    ASSERT_GT(orphan, 0) << out;
    usleep(200 * 1000);

    EXPECT_EQ(FindEncoders(ours.Path()).size(), 2u);
    EXPECT_EQ(FindLeftoverEncoders(ours.Path()), std::vector<pid_t>{orphan});
    EXPECT_EQ(KillLeftoverEncoders(ours.Path()), 1);
    EXPECT_FALSE(working.TryWait(&code)) << "a working encoder was ended";
    EXPECT_FALSE(ProcessRunning(orphan));
    working.Terminate(500);
}

} // namespace
} // namespace vx::test
