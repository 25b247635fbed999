// The small file operations of platform/: what the conversion's clean-up, the convert command,
// the local database and the installer download rely on.

#include "platform/FileOps.h"
#include "common/TestUtil.h"
#include "platform/File.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vx;
namespace fs = std::filesystem;

TEST(FileOps, CleanUpNeverTouchesTheSourceAndRemovesOnlyEmptyFolders)
{
    vx::test::CTempDir dir;
    const std::string src = dir.File("lesson.flv");
    ASSERT_TRUE(vx::test::WriteFile(src, "flv"));
    fs::create_hard_link(src, dir.File("same.flv"));
    ASSERT_TRUE(vx::test::WriteFile(dir.File("copy.flv"), "flv"));
    // A hard link is the same file; an equal copy is not; a missing path is never "the same".
    EXPECT_TRUE(IsSameFile(src, dir.File("same.flv")));
    EXPECT_FALSE(IsSameFile(src, dir.File("copy.flv")));
    EXPECT_FALSE(IsSameFile(src, dir.File("missing")));

    EXPECT_TRUE(RemoveFileIfAny(dir.File("copy.flv")));
    EXPECT_TRUE(RemoveFileIfAny(dir.File("copy.flv"))) << "already gone counts as removed";
    EXPECT_FALSE(FileExists(dir.File("copy.flv")));

    ASSERT_TRUE(MakeDirs(dir.File("out/sub")));
    EXPECT_FALSE(RemoveEmptyFolder(dir.File("out"))) << "a folder with content stays";
    EXPECT_TRUE(RemoveEmptyFolder(dir.File("out/sub")));
    EXPECT_TRUE(RemoveEmptyFolder(dir.File("out")));

    EXPECT_EQ(CheckRegularFile(src), RegularFileState::Regular);
    EXPECT_EQ(CheckRegularFile(dir.File("missing")), RegularFileState::Missing);
    EXPECT_EQ(CheckRegularFile(dir.Path()), RegularFileState::NotRegular);
    EXPECT_EQ(CurrentFolder(), FsPathText(fs::current_path()));
}

TEST(FileOps, PrivateFilesAreNarrowedAndFreshFilesNeverFollowALink)
{
    vx::test::CTempDir dir;
    // A database left readable by everyone is narrowed to its owner, its content kept.
    const std::string db = dir.File("cache.db");
    ASSERT_TRUE(vx::test::WriteFile(db, "data"));
#ifndef _WIN32 // (the per-user folders keep others out on Windows; there are no mode bits)
    fs::permissions(db, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
    ASSERT_TRUE(MakeOwnerOnlyFile(db));
    EXPECT_EQ(fs::status(db).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
#endif
    EXPECT_EQ(vx::test::ReadFile(db), "data");
    EXPECT_FALSE(MakeOwnerOnlyFile(dir.File("no/such/folder/x.db")));

    EXPECT_TRUE(IsDottedIPv4("127.0.0.1"));
    EXPECT_FALSE(IsDottedIPv4("localhost"));

    // A link planted under the download's name: the target is left alone.
    ASSERT_TRUE(vx::test::WriteFile(dir.File("victim"), "keep"));
    std::error_code linkError;
    fs::create_symlink(dir.File("victim"), dir.File("setup.tmp"), linkError);
#ifdef _WIN32
    if (linkError)
        GTEST_SKIP() << "symbolic links need a privilege here: " << linkError.message();
#endif
    ASSERT_FALSE(linkError) << linkError.message();
    CFile fresh;
    ASSERT_TRUE(fresh.CreateFresh(dir.File("setup.tmp"), true));
    EXPECT_TRUE(fresh.Write("new", 3));
    fresh.Close();
    EXPECT_EQ(vx::test::ReadFile(dir.File("victim")), "keep");
    EXPECT_FALSE(fs::is_symlink(dir.File("setup.tmp")));
    EXPECT_EQ(vx::test::ReadFile(dir.File("setup.tmp")), "new");
}
