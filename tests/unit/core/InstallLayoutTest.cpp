#include "common/TestUtil.h"
#include "platform/Env.h"
#include "platform/Paths.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace vx;
using vx::test::CTempDir;

namespace {

// Sets or clears an environment variable for one scope.
class CScopedEnv
{
public:
    CScopedEnv(const char* name, const char* value) : m_name(name)
    {
        const char* old = getenv(name);
        m_had = old != nullptr;
        if (old)
            m_old = old;
        if (value)
            SetEnvVar(name, value);
        else
            UnsetEnvVar(name);
    }
    ~CScopedEnv()
    {
        if (m_had)
            SetEnvVar(m_name, m_old);
        else
            UnsetEnvVar(m_name);
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

} // namespace

TEST(InstallLayout, InstalledPrefixIsFoundFromBinAndLibFolders)
{
    CTempDir dir;
    const std::string prefix = dir.File("usr/");
    ASSERT_TRUE(MakeDirs(prefix + "bin") && MakeDirs(prefix + "lib/vexora") &&
                MakeDirs(prefix + "share/vexora"));
    for (const std::string& folder : {prefix + "bin/", prefix + "bin", prefix + "lib/vexora/"}) {
        InstallLayout l = ResolveInstallLayout(folder);
        EXPECT_TRUE(l.installed) << folder;
        EXPECT_EQ(l.resourceFolder, prefix + "share/vexora/") << folder;
        EXPECT_EQ(l.helperFolder, prefix + "lib/vexora/") << folder;
    }
}

TEST(InstallLayout, BuildTreeAndLooseCopiesKeepEverythingBesideTheProgram)
{
    CTempDir dir;
    // The build tree: build/test/bin/ with no share/vexora next to it.
    ASSERT_TRUE(MakeDirs(dir.File("build/test/bin")));
    InstallLayout l = ResolveInstallLayout(dir.File("build/test/bin/"));
    EXPECT_FALSE(l.installed);
    EXPECT_EQ(l.resourceFolder, dir.File("build/test/bin/"));
    EXPECT_EQ(l.helperFolder, dir.File("build/test/bin/"));
    // A copy in some other folder, even one with share/vexora beside it.
    ASSERT_TRUE(MakeDirs(dir.File("opt/share/vexora")));
    EXPECT_FALSE(ResolveInstallLayout(dir.File("opt/")).installed);
    EXPECT_FALSE(ResolveInstallLayout(dir.File("opt/vexora/")).installed);

    // The running test program lives in the build tree.
    EXPECT_FALSE(GetInstallLayout().installed);
    EXPECT_EQ(GetResourceFolder(), GetProgramFolder());
    EXPECT_EQ(GetCodecsFolder(), GetProgramFolder() + "codecs/");
}

#ifdef _WIN32
TEST(InstallLayout, UserConfigFolderIsUnderAppData)
{
    CScopedEnv appData("APPDATA", "C:\\Users\\ann\\AppData\\Roaming");
    EXPECT_EQ(GetUserConfigFolder(), "C:/Users/ann/AppData/Roaming/Tolvane/VexoraV2/");
}
#else
TEST(InstallLayout, UserConfigFolderFollowsXdgThenHome)
{
    {
        CScopedEnv xdg("XDG_CONFIG_HOME", "/srv/cfg");
        CScopedEnv home("HOME", "/home/ann");
        EXPECT_EQ(GetUserConfigFolder(), "/srv/cfg/Tolvane/VexoraV2/");
    }
    {
        // A relative XDG_CONFIG_HOME is not valid and is ignored.
        CScopedEnv xdg("XDG_CONFIG_HOME", "cfg");
        CScopedEnv home("HOME", "/home/ann/");
        EXPECT_EQ(GetUserConfigFolder(), "/home/ann/.config/Tolvane/VexoraV2/");
    }
    {
        CScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        CScopedEnv home("HOME", nullptr);
        // Without either variable the account's home folder is used; never a relative path.
        std::string folder = GetUserConfigFolder();
        if (!folder.empty()) {
            EXPECT_EQ(folder[0], '/');
            EXPECT_NE(folder.find("/.config/Tolvane/VexoraV2/"), std::string::npos);
        }
    }
}
#endif
