// The input-file check every file command shares: each kind of path that is not a readable
// regular file gets its own cause.

#include "platform/FileCheck.h"
#include "common/TestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vx::test {
namespace {

TEST(FileCheck, EachKindOfPathGetsItsOwnCause)
{
    CTempDir dir;
    const std::string file = dir.File("a.flv");
    ASSERT_TRUE(WriteFile(file, "x"));
    ASSERT_EQ(symlink(file.c_str(), dir.File("link.flv").c_str()), 0);
    ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink(dir.File("loop-b").c_str(), dir.File("loop-a").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("loop-a").c_str(), dir.File("loop-b").c_str()), 0);

    EXPECT_EQ(CheckInputFile(file), FileProblem::None);
    EXPECT_EQ(CheckInputFile(dir.File("link.flv")), FileProblem::None) << "a link to a file is that file";
    EXPECT_EQ(CheckInputFile(dir.File("gone")), FileProblem::Missing);
    EXPECT_EQ(CheckInputFile(dir.File("gone/a.flv")), FileProblem::Missing);
    EXPECT_EQ(CheckInputFile(file + "/x"), FileProblem::Missing) << "a file used as a folder";
    EXPECT_EQ(CheckInputFile(""), FileProblem::Missing);
    EXPECT_EQ(CheckInputFile(dir.File("folder")), FileProblem::Folder);
    EXPECT_EQ(CheckInputFile(dir.File("pipe")), FileProblem::NotRegular); // and it did not block
    EXPECT_EQ(CheckInputFile("/dev/null"), FileProblem::NotRegular);
    EXPECT_EQ(CheckInputFile(dir.File("loop-a")), FileProblem::LinkLoop);
    EXPECT_EQ(CheckInputFile(dir.File(std::string(300, 'n'))), FileProblem::NameTooLong);

    EXPECT_EQ(DescribeInputFile(file), "");
    EXPECT_EQ(DescribeInputFile(dir.File("gone")), "no such file");
    EXPECT_EQ(DescribeInputFile(dir.File("folder")), "is a folder, not a file");
    EXPECT_EQ(DescribeInputFile(dir.File("pipe")), "not a regular file (a named pipe)");
    EXPECT_EQ(DescribeInputFile("/dev/null"), "not a regular file (a device)");
    EXPECT_EQ(DescribeInputFile(dir.File("loop-a")), "too many levels of symbolic links");
    EXPECT_EQ(MaxFileNameBytes(dir.Path()), 255);
}

TEST(FileCheck, AFileThisUserMayNotReadIsPermissionDenied)
{
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
    pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(77);
        _exit(CheckInputFile(file) == FileProblem::NoPermission ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "cannot become another user here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace vx::test
