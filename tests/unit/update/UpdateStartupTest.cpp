// The updater's start-up steps: its copy in the temporary folder and ending the main program
// by its executable path only.

#include "updater/UpdateStartup.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/TempFolder.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

// Sets an environment variable for the life of the object (unset again when it was).
class CScopedEnv
{
public:
    CScopedEnv(const char* name, const char* value) : m_name(name)
    {
        const char* old = getenv(name);
        m_had = old != nullptr;
        if (old)
            m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~CScopedEnv() { m_had ? setenv(m_name.c_str(), m_old.c_str(), 1) : unsetenv(m_name.c_str()); }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

mode_t ModeOf(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(UpdateStartupTest, CopyGoesToAFolderOnlyWeCanEnter)
{
    CTempDir dir;
    std::string err;
    // The runtime folder: a fixed sub-folder, made private, used again next time.
    {
        CScopedEnv runtime("XDG_RUNTIME_DIR", dir.File("run").c_str());
        ASSERT_TRUE(MakeDirs(dir.File("run/")));
        std::string folder = MakePrivateFolder("vexora-update", &err);
        EXPECT_EQ(folder, dir.File("run/vexora-update/")) << err;
        EXPECT_EQ(ModeOf(folder) & 0777, 0700u);
        chmod(folder.c_str(), 0755);
        EXPECT_EQ(MakePrivateFolder("vexora-update", &err), folder);
        EXPECT_EQ(ModeOf(folder) & 0777, 0700u);
    }
    // Without one (or with one where a link was planted): a fresh mkdtemp folder every time.
    {
        CScopedEnv runtime("XDG_RUNTIME_DIR", dir.File("run2").c_str());
        CScopedEnv tmp("TMPDIR", dir.File("tmp").c_str());
        ASSERT_TRUE(MakeDirs(dir.File("run2/")) && MakeDirs(dir.File("tmp/")) &&
                    MakeDirs(dir.File("elsewhere/")));
        ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), dir.File("run2/vexora-update").c_str()), 0);
        std::string a = MakePrivateFolder("vexora-update", &err);
        std::string b = MakePrivateFolder("vexora-update", &err);
        EXPECT_EQ(a.rfind(dir.File("tmp/vexora-update-"), 0), 0u) << a << " " << err;
        EXPECT_NE(a, b);
        EXPECT_EQ(ModeOf(a) & 0777, 0700u);
    }
    {
        CScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
        CScopedEnv tmp("TMPDIR", dir.File("no-such-folder").c_str());
        EXPECT_EQ(MakePrivateFolder("vexora-update", &err), "");
        EXPECT_NE(err.find(dir.File("no-such-folder")), std::string::npos) << err;
    }
}

TEST(UpdateStartupTest, CopyNeverWritesThroughAPlantedLink)
{
    CTempDir dir;
    const std::string self = dir.File("Update"), victim = dir.File("victim");
    ASSERT_TRUE(WriteFile(self, "#!/bin/sh\nexit 0\n"));
    ASSERT_TRUE(WriteFile(victim, "precious"));
    ASSERT_TRUE(MakeDirs(dir.File("private/")));
    // Links at the name and at any name a copy might write first.
    ASSERT_EQ(symlink(victim.c_str(), dir.File("private/VX-Update0").c_str()), 0);
    ASSERT_EQ(symlink(victim.c_str(), dir.File("private/VX-Update0.part").c_str()), 0);
    std::string err;
    std::string copy = CopySelfToTemp(self, dir.File("private/"), &err);
    EXPECT_EQ(copy, dir.File("private/VX-Update0")) << err;
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_TRUE(S_ISREG(ModeOf(copy)));
    EXPECT_EQ(ModeOf(copy) & 0777, 0700u);
    EXPECT_EQ(ReadFile(copy), "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(CopySelfToTemp(dir.File("missing"), dir.File("private/"), &err), "");
    EXPECT_NE(err.find(dir.File("missing")), std::string::npos) << err;
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
