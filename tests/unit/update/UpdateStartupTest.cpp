// The updater's start-up steps: its copy in the temporary folder and ending the main program
// by its executable path only.

#include "updater/UpdateStartup.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace vx::test {
namespace {

TEST(UpdateStartupTest, CopyGoesToTheFirstFreeName)
{
    CTempDir dir;
    const std::string self = dir.File("Update");
    ASSERT_TRUE(WriteFile(self, "#!/bin/sh\nexit 0\n"));
    // A folder of that name cannot be replaced: the next name is used.
    ASSERT_TRUE(MakeDirs(dir.File("tmp/VX-Update0/")));
    ASSERT_TRUE(WriteFile(dir.File("tmp/VX-Update0/keep"), "x"));
    std::string copy = CopySelfToTemp(self, dir.File("tmp/"));
    EXPECT_EQ(copy, dir.File("tmp/VX-Update1"));
    EXPECT_EQ(ReadFile(copy), "#!/bin/sh\nexit 0\n");
    struct stat st;
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_EQ(CopySelfToTemp(dir.File("missing"), dir.File("tmp/")), "");

    EXPECT_TRUE(IsSameFolder(dir.File("tmp/"), dir.File("tmp")));
    EXPECT_FALSE(IsSameFolder(dir.Path(), dir.File("tmp/")));
}

TEST(UpdateStartupTest, OnlyTheMainProgramAtThatPathIsEnded)
{
    CTempDir dir;
    // Two programs with the same file name in different folders; only the one named ends.
    ASSERT_TRUE(MakeDirs(dir.File("a/")));
    ASSERT_TRUE(MakeDirs(dir.File("b/")));
    const std::string mine = dir.File("a/VexoraV2"), other = dir.File("b/VexoraV2");
    ASSERT_TRUE(CopyFileReplace("/bin/sleep", mine));
    ASSERT_TRUE(CopyFileReplace("/bin/sleep", other));
    chmod(mine.c_str(), 0755);
    chmod(other.c_str(), 0755);
    CProcess main, stranger;
    ASSERT_TRUE(main.Start(mine, {"30"}));
    ASSERT_TRUE(stranger.Start(other, {"30"}));
    for (int i = 0; i < 200 && FindProcessesByExe(mine).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    EXPECT_EQ(EndMainProgram(dir.File("a/../a/VexoraV2")), 1); // the path is resolved first
    int code = 0;
    EXPECT_TRUE(main.Wait(3000, &code));
    EXPECT_TRUE(stranger.Running());
    EXPECT_FALSE(stranger.TryWait(nullptr));

    // Not running, missing, or empty: nothing is ended and nothing fails.
    EXPECT_EQ(EndMainProgram(mine), 0);
    EXPECT_EQ(EndMainProgram(dir.File("c/VexoraV2")), 0);
    EXPECT_EQ(EndMainProgram(""), 0);
    stranger.Terminate(1000);
}

} // namespace
} // namespace vx::test
