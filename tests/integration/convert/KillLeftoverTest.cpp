// Leftover encoders: only processes started from our codecs/ folder are ended.

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

} // namespace
} // namespace vx::test
