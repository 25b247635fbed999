// The input-file check every file command shares: each kind of path that is not a readable
// regular file gets its own cause.

#include "platform/FileCheck.h"
#include "common/ChildMode.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vx::test {
namespace {

TEST(FileCheck, EachKindOfPathGetsItsOwnCause)
{
    CTempDir dir;
    const std::string file = dir.File("a.flv");
    ASSERT_TRUE(WriteFile(file, "x"));
    ASSERT_TRUE(MakeDirs(dir.File("folder")));

    EXPECT_EQ(CheckInputFile(file), FileProblem::None);
    EXPECT_EQ(CheckInputFile(dir.File("gone")), FileProblem::Missing);
    EXPECT_EQ(CheckInputFile(dir.File("gone/a.flv")), FileProblem::Missing);
    EXPECT_EQ(CheckInputFile(file + "/x"), FileProblem::Missing) << "a file used as a folder";
    EXPECT_EQ(CheckInputFile(""), FileProblem::Missing);
    EXPECT_EQ(CheckInputFile(dir.File("folder")), FileProblem::Folder);
    EXPECT_EQ(CheckInputFile(dir.File(std::string(300, 'n'))), FileProblem::NameTooLong);

    EXPECT_EQ(DescribeInputFile(file), "");
    EXPECT_EQ(DescribeInputFile(dir.File("gone")), "no such file");
    EXPECT_EQ(DescribeInputFile(dir.File("folder")), "is a folder, not a file");
    EXPECT_EQ(MaxFileNameBytes(dir.Path()), 255);
}

TEST(FileCheck, LinksPipesAndDevicesGetTheirOwnCause)
{
    VX_SKIP_ON_WINDOWS("symbolic links, named pipes in a folder and /dev/null are POSIX's");
    CTempDir dir;
    const std::string file = dir.File("a.flv");
    ASSERT_TRUE(WriteFile(file, "x"));
    ASSERT_TRUE(MakeSymlink(file, dir.File("link.flv")));
    ASSERT_TRUE(MakeFifo(dir.File("pipe")));
    ASSERT_TRUE(MakeSymlink(dir.File("loop-b"), dir.File("loop-a")));
    ASSERT_TRUE(MakeSymlink(dir.File("loop-a"), dir.File("loop-b")));

    EXPECT_EQ(CheckInputFile(dir.File("link.flv")), FileProblem::None) << "a link to a file is that file";
    EXPECT_EQ(CheckInputFile(dir.File("pipe")), FileProblem::NotRegular); // and it did not block
    EXPECT_EQ(CheckInputFile("/dev/null"), FileProblem::NotRegular);
    EXPECT_EQ(CheckInputFile(dir.File("loop-a")), FileProblem::LinkLoop);

    EXPECT_EQ(DescribeInputFile(dir.File("pipe")), "not a regular file (a named pipe)");
    EXPECT_EQ(DescribeInputFile("/dev/null"), "not a regular file (a device)");
    EXPECT_EQ(DescribeInputFile(dir.File("loop-a")), "too many levels of symbolic links");
}

#ifndef _WIN32
// Asks about its argument as an ordinary user: 0 when it is "permission denied", 77 when this
// process cannot become that user.
VX_CHILD_MODE(CheckAsNobody)
{
    if (setgid(65534) != 0 || setuid(65534) != 0)
        return 77;
    return CheckInputFile(args.at(0)) == FileProblem::NoPermission ? 0 : 1;
}
#endif

TEST(FileCheck, AFileThisUserMayNotReadIsPermissionDenied)
{
#ifdef _WIN32
    GTEST_SKIP()
        << "not on Windows yet: takes the read right away with mode bits; Windows keeps access lists";
#else
    CTempDir dir;
    chmod(dir.Path().c_str(), 0755);
    const std::string file = dir.File("locked.flv");
    ASSERT_TRUE(WriteFile(file, "x"));
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    if (geteuid() != 0) {
        EXPECT_EQ(CheckInputFile(file), FileProblem::NoPermission);
        EXPECT_EQ(DescribeInputFile(file), "permission denied");
        return;
    }
    // Root reads everything: ask as an ordinary user in a child process.
    RunResult r = RunChild("CheckAsNobody", {file});
    if (r.exitCode == 77)
        GTEST_SKIP() << "cannot become another user here";
    EXPECT_EQ(r.exitCode, 0) << r.err;
#endif
}

} // namespace
} // namespace vx::test
