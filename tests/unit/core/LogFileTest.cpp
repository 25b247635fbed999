#include "app/LogFile.h"
#include "common/ChildMode.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
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

TEST(LogFile, SecondWriterOfTheSameFileIsNotShutOut)
{
    // The companion logs into the same files while the program runs: neither loses lines.
    CTempDir dir;
    CLogFile first, second;
    ASSERT_TRUE(first.Open(dir.File("log.txt"), "one"));
    ASSERT_TRUE(second.Open(dir.File("log.txt"), "two"));
    first.Write("from the first");
    second.Write("from the second");
    first.Close();
    second.Close();
    auto lines = Lines(ReadFile(dir.File("log.txt")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[1].find("two"), std::string::npos);
    EXPECT_NE(lines[3].find("from the second"), std::string::npos);
}

namespace {

bool WriteLines(const std::string& path, int k, int count)
{
    CLogFile log;
    if (!log.Open(path, ("opened " + std::to_string(k)).c_str()))
        return false;
    const std::string payload(150, static_cast<char>('a' + k));
    for (int i = 0; i < count; ++i)
        Log(&log, "Info : writer %d line %d %s", k, i, payload.c_str());
    return true;
}

// Writer k of several processes (arguments: log, k, lines, gate): starts writing once the
// gate file exists, so that every writer starts together.
VX_CHILD_MODE(LogWriter)
{
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60); !FileExists(args.at(3));
         std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        if (std::chrono::steady_clock::now() > end)
            return 2;
    return WriteLines(args.at(0), std::stoi(args.at(1)), std::stoi(args.at(2))) ? 0 : 3;
}

// Writes `lines` lines into path from each of `writers` child processes that start together;
// waits for all of them.
void WriteInProcesses(const std::string& path, int writers, int lines)
{
    vx::test::CTempDir gateDir;
    const std::string gate = gateDir.File("go");
    std::vector<std::unique_ptr<CProcess>> children;
    for (int k = 0; k < writers; ++k) {
        children.push_back(std::make_unique<CProcess>());
        ASSERT_TRUE(vx::test::StartChild(*children.back(), "LogWriter",
                                         {path, std::to_string(k), std::to_string(lines), gate}, {}));
    }
    ASSERT_TRUE(WriteFile(gate, "")); // every child starts now
    for (auto& child : children) {
        int code = -1;
        ASSERT_TRUE(child->Wait(120000, &code));
        EXPECT_EQ(code, 0);
    }
}

// Every line whole; each writer's lines complete and in its own order.
void ExpectAllLines(const std::vector<std::string>& lines, int writers, int perWriter)
{
    const std::regex line(
        R"(^\d\d/\d\d \d\d:\d\d:\d\d : (?:opened (\d)|Info : writer (\d) line (\d+) ([a-z]+))$)");
    std::vector<int> next(writers, 0), banners(writers, 0);
    for (const std::string& l : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << l;
        if (m[1].matched) {
            ++banners[std::stoi(m[1])];
            continue;
        }
        int k = std::stoi(m[2]);
        ASSERT_EQ(std::stoi(m[3]), next[k]) << l;
        ASSERT_EQ(m[4].str(), std::string(150, static_cast<char>('a' + k))) << "mixed line: " << l;
        ++next[k];
    }
    for (int k = 0; k < writers; ++k) {
        EXPECT_EQ(banners[k], 1) << "writer " << k;
        EXPECT_EQ(next[k], perWriter) << "writer " << k;
    }
}

} // namespace

TEST(LogFile, SeveralProcessesAppendWithoutLosingOrMixingLines)
{
    CTempDir dir;
    const std::string path = dir.File("log.txt");
    const int kWriters = 3, kLines = 4000;
    WriteInProcesses(path, kWriters, kLines);
    auto lines = Lines(ReadFile(path));
    EXPECT_EQ(lines.size(), static_cast<size_t>(kWriters * (kLines + 1)));
    ExpectAllLines(lines, kWriters, kLines);
}

TEST(LogFile, OnlyOneOfSeveralOpenersSetsAFullLogAside)
{
    CTempDir dir;
    const std::string path = dir.File("log.txt");
    WriteFile(path, std::string(CLogFile::kRotateSize, 'z'));
    WriteFile(dir.File("log_bak.txt"), "old generation");
    const int kWriters = 4, kLines = 300;
    WriteInProcesses(path, kWriters, kLines);
    // A second rotation would have put a fresh, short log where the full one belongs.
    EXPECT_EQ(ReadFile(dir.File("log_bak.txt")), std::string(CLogFile::kRotateSize, 'z'));
    ExpectAllLines(Lines(ReadFile(path)), kWriters, kLines);
}

TEST(LogFile, AWriterFollowsTheLogAnotherProcessSetAside)
{
    CTempDir dir;
    const std::string path = dir.File("log.txt");
    CLogFile running;
    ASSERT_TRUE(running.Open(path, "running"));
    {
        std::ofstream grow(path, std::ios::app | std::ios::binary);
        grow << std::string(CLogFile::kRotateSize, 'z');
    }
    CLogFile companion;
    ASSERT_TRUE(companion.Open(path, "companion"));
    running.Write("still here");
    running.Close();
    companion.Close();
    std::string now = ReadFile(path);
    EXPECT_NE(now.find("companion"), std::string::npos);
    EXPECT_NE(now.find("still here"), std::string::npos) << "the line went to the backup";
    EXPECT_EQ(ReadFile(dir.File("log_bak.txt")).find("still here"), std::string::npos);
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
