#include "app/LogFile.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <thread>

using namespace vx;
using vx::test::CTempDir;
using vx::test::ReadFile;
using vx::test::WriteFile;

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l))
        out.push_back(l);
    return out;
}

const std::regex kStamp(R"(^\d\d/\d\d \d\d:\d\d:\d\d : )");

} // namespace

TEST(LogFile, RotatesAtExactlyThreeMegabytesAndReplacesOldBackup)
{
    CTempDir dir;
    const std::string path = dir.File("log.txt");
    WriteFile(path, std::string(CLogFile::kRotateSize, 'a'));
    WriteFile(dir.File("log_bak.txt"), "old generation");
    {
        CLogFile log;
        ASSERT_TRUE(log.Open(path, "banner"));
        log.Write("after rotation");
    }
    EXPECT_EQ(ReadFile(dir.File("log_bak.txt")), std::string(CLogFile::kRotateSize, 'a'));
    auto lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_search(lines[0], kStamp));
    EXPECT_NE(lines[0].find("banner"), std::string::npos);
    EXPECT_NE(lines[1].find("after rotation"), std::string::npos);
}

TEST(LogFile, OneByteBelowLimitIsAppendedTo)
{
    CTempDir dir;
    const std::string path = dir.File("log.txt");
    WriteFile(path, std::string(CLogFile::kRotateSize - 1, 'a'));
    {
        CLogFile log;
        ASSERT_TRUE(log.Open(path, "banner"));
    }
    EXPECT_FALSE(FileExists(dir.File("log_bak.txt")));
    EXPECT_GT(FileSize(path), CLogFile::kRotateSize - 1);
}

TEST(LogFile, BackupNameChangesOnlyTheFileName)
{
    EXPECT_EQ(CLogFile::BackupPath("/d/Log/log.txt"), "/d/Log/log_bak.txt");
    EXPECT_EQ(CLogFile::BackupPath("/d/a.txt/transfile.txt"), "/d/a.txt/transfile_bak.txt");
}

TEST(LogFile, UnopenableFileDropsLinesQuietly)
{
    CTempDir dir;
    WriteFile(dir.File("blocker"), "x"); // a file where the folder should be
    CLogFile log;
    EXPECT_FALSE(log.Open(dir.File("blocker/Log/log.txt"), "banner"));
    log.Write("nothing happens");
    Log(&log, "Info : %d", 1);
    Log(nullptr, "Info : %d", 1);
    EXPECT_FALSE(log.IsOpen());
}

TEST(LogFile, SecondWriterIsShutOutLikeSharingDenied)
{
    CTempDir dir;
    CLogFile first, second;
    ASSERT_TRUE(first.Open(dir.File("log.txt"), "one"));
    EXPECT_FALSE(second.Open(dir.File("log.txt"), "two"));
    second.Write("dropped");
    first.Close();
    EXPECT_EQ(ReadFile(dir.File("log.txt")).find("dropped"), std::string::npos);
}

TEST(LogFile, ConcurrentWritersProduceWholeLines)
{
    CTempDir dir;
    CLogFile log;
    ASSERT_TRUE(log.Open(dir.File("log.txt"), nullptr));
    const int kPerThread = 500;
    auto writer = [&](char c) {
        for (int i = 0; i < kPerThread; ++i)
            Log(&log, "Info : %s %d", std::string(200, c).c_str(), i);
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    log.Close();
    auto lines = Lines(ReadFile(dir.File("log.txt")));
    ASSERT_EQ(lines.size(), 2u * kPerThread);
    const std::regex whole(R"(^\d\d/\d\d \d\d:\d\d:\d\d : Info : (a{200}|b{200}) \d+$)");
    for (const std::string& l : lines)
        ASSERT_TRUE(std::regex_match(l, whole)) << l;
}

TEST(LogFile, StoresUtf8AndOutsideTextIsNeverAFormat)
{
    CTempDir dir;
    CLogFile log;
    ASSERT_TRUE(log.Open(dir.File("log.txt"), nullptr));
    const std::string name = "课程 %s %n 100%.mp4";
    Log(&log, "Info : 程序更新检查完毕 %s", name.c_str());
    LogText(&log, "Error : " + name);
    log.Close();
    auto lines = Lines(ReadFile(dir.File("log.txt")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Info : 程序更新检查完毕 " + name), std::string::npos);
    EXPECT_NE(lines[1].find("Error : " + name), std::string::npos);
}

TEST(LogFile, OpenLogsWritesThreeChannelsInTheDataFolder)
{
    vx::test::CScopedDataDir data;
    ResetDataFolderCache();
    OpenLogs();
    Log(g_transLog, "Info : trans %d", 7);
    CloseLogs();
    ResetDataFolderCache();
    EXPECT_EQ(g_log, nullptr);
    EXPECT_NE(ReadFile(data.Path() + "Log/log.txt").find("----------------------log----"), std::string::npos);
    EXPECT_NE(ReadFile(data.Path() + "Log/convert.txt").find("----------------------cvt----"),
              std::string::npos);
    std::string trans = ReadFile(data.Path() + "Log/transfile.txt");
    EXPECT_NE(trans.find("----------------------trans----"), std::string::npos);
    EXPECT_NE(trans.find("Info : trans 7"), std::string::npos);
}
