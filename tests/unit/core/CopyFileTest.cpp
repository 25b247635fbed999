#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

using namespace vx;

TEST(CopyFile, CancelledCopyLeavesTheTargetAsItWas)
{
    vx::test::CTempDir dir;
    vx::test::WriteFile(dir.File("src"), std::string(3 << 20, 'x'));
    vx::test::WriteFile(dir.File("dst"), "old");
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(CopyFileReplace(dir.File("src"), dir.File("dst"), &cancel));
    EXPECT_EQ(vx::test::ReadFile(dir.File("dst")), "old");
    EXPECT_FALSE(FileExists(dir.File("dst.part")));
    cancel = false;
    EXPECT_TRUE(CopyFileReplace(dir.File("src"), dir.File("dst"), &cancel));
    EXPECT_EQ(FileSize(dir.File("dst")), 3 << 20);
}

TEST(Text, TrimTakesOnlyOuterBlanks)
{
    EXPECT_EQ(Trim(" \t a b \r\n\v\f"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("中 文"), "中 文");
}
