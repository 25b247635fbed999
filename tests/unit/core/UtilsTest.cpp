#include "app/Utils.h"
#include "app/LanguageTable.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>

using namespace vx;
using vx::test::CTempDir;
using vx::test::WriteFile;

TEST(Utils, FormatFileSizeBoundaries)
{
    EXPECT_EQ(FormatFileSize(0), "");
    EXPECT_EQ(FormatFileSize(-5), "");
    EXPECT_EQ(FormatFileSize(1), "1Byte");
    EXPECT_EQ(FormatFileSize(1024), "1024Byte");
    EXPECT_EQ(FormatFileSize(1025), "1.00KB");
    EXPECT_EQ(FormatFileSize(1048576), "1024.00KB");
    EXPECT_EQ(FormatFileSize(1048577), "1.00MB");
    EXPECT_EQ(FormatFileSize(1073741824LL), "1024.00MB");
    EXPECT_EQ(FormatFileSize(1073741825LL), "1.00GB");
    EXPECT_EQ(FormatFileSize(5LL * 1073741824LL + 536870912LL), "5.50GB");
}

TEST(Utils, FormatDurationParts)
{
    EXPECT_EQ(FormatDuration(0), "");
    EXPECT_EQ(FormatDuration(-1), "");
    EXPECT_EQ(FormatDuration(999), "");
    EXPECT_EQ(FormatDuration(1000), "1秒");
    EXPECT_EQ(FormatDuration(60000), "1分");
    EXPECT_EQ(FormatDuration(125000), "2分5秒");
    EXPECT_EQ(FormatDuration(3600000), "60分");
}

TEST(Utils, CompoundExtensions)
{
    EXPECT_EQ(GetFileExt("lesson.ASC.FLV"), ".ASC.FLV");
    EXPECT_EQ(GetFileExt("x.asc.flv"), ".asc.flv");
    EXPECT_EQ(GetFileNameNoExt("x.asc.flv"), "x");
    EXPECT_EQ(GetFileExt(".asc.flv"), ".flv"); // too short for the compound form
    EXPECT_EQ(GetFileNameNoExt("lesson.audioc.flv"), "lesson");
    EXPECT_EQ(GetFileExt("lesson.audioc.flv"), ".audioc.flv");
    EXPECT_EQ(GetFileExt(".audioc.flv"), ".flv");
    EXPECT_EQ(GetFileExt(".flv"), "");
    EXPECT_EQ(GetFileNameNoExt(".flv"), ".flv");
    EXPECT_EQ(GetFileExt("noext"), "");
    EXPECT_EQ(GetFileExt("a.b.mp4"), ".mp4");
    EXPECT_EQ(GetFileNameNoExt("第一课.asc.flv"), "第一课");
}

TEST(Utils, UrlEncodeAndMd5Text)
{
    EXPECT_EQ(UrlEncode("aZ09 -_.~"), "aZ09+%2D%5F%2E%7E");
    EXPECT_EQ(UrlEncode("中"), "%E4%B8%AD");
    EXPECT_EQ(UrlEncode(""), "");
    EXPECT_EQ(Md5Text("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Md5Text(""), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Utils, NewFileIndexShapeAndUniqueness)
{
    const std::regex shape("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{16}$");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        std::string id = NewFileIndex();
        ASSERT_EQ(id.size(), 35u);
        ASSERT_TRUE(std::regex_match(id, shape)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(Utils, AppVersionHasFourNumbers)
{
    EXPECT_TRUE(std::regex_match(GetAppVersion(), std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << GetAppVersion();
}

TEST(Utils, DeleteDirectoryRemovesTreeButNotLinkTargets)
{
    CTempDir dir;
    CTempDir outside;
    WriteFile(outside.File("keep.txt"), "keep");
    std::string root = dir.File("tree");
    ASSERT_TRUE(MakeDirs(root + "/a/b/c"));
    WriteFile(root + "/a/f1", "1");
    WriteFile(root + "/a/b/c/f2", "2");
#ifndef _WIN32 // (links need a privilege on Windows)
    ASSERT_TRUE(vx::test::MakeSymlink(outside.Path(), root + "/a/link"));
#endif
    EXPECT_TRUE(DeleteDirectory(root));
    EXPECT_FALSE(DirExists(root));
    EXPECT_TRUE(FileExists(outside.File("keep.txt")));
    EXPECT_FALSE(DeleteDirectory(dir.File("never-there")));
}

TEST(Utf8, CountsAndConvertsCodePoints)
{
    const std::string s = "a中😀é";
    EXPECT_EQ(Utf8Length(s), 4u);
    EXPECT_EQ(Utf8Left(s, 2), "a中");
    EXPECT_EQ(Utf8Left(s, 10), s);
    EXPECT_TRUE(Utf8Valid(s));
    EXPECT_FALSE(Utf8Valid("\xC3"));
    EXPECT_FALSE(Utf8Valid("\xC0\xAF")); // overlong
    EXPECT_EQ(WideToUtf8(Utf8ToWide(s)), s);
    EXPECT_EQ(Utf8ToWide(s).size(), sizeof(wchar_t) == 2 ? 5u : 4u); // UTF-16 needs two for the emoji
    EXPECT_EQ(AnsiToWide(""), L"");
}

TEST(LanguageTable, ParsesTrimsAndReplacesLineBreaks)
{
    CTempDir dir;
    WriteFile(dir.File("lang"), "\xEF\xBB\xBF"
                                "1=第一\r\n"
                                " 12 = 带空格的文本 \n"
                                "=零号\n"
                                "no equals sign\n"
                                "abc=非数字\n"
                                "5=第一行@n第二行\n"
                                "1=替换\n");
    CLanguageTable t;
    t.Load(dir.File("lang"));
    EXPECT_EQ(t.GetText(1), "替换");
    EXPECT_EQ(t.GetText(12), "带空格的文本");
    EXPECT_EQ(t.GetText(0), "非数字"); // non-numeric keys land on 0, the later line wins
    EXPECT_EQ(t.GetText(5), "第一行\n第二行");
    EXPECT_EQ(t.GetRawText(5), "第一行@n第二行");
    EXPECT_EQ(t.GetText(99), "");
    t.Load(dir.File("missing"));
    EXPECT_EQ(t.Count(), 0u);
}

TEST(LanguageTable, ShippedFileHasTheLoginTexts)
{
    CLanguageTable t;
    t.Load(VX_SOURCE_DIR "/resources/Language/SimpleChinese");
    for (int n : {1, 2, 4, 9, 10, 11, 12, 13, 14})
        EXPECT_FALSE(t.GetText(n).empty()) << "text " << n;
}
