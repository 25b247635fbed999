// The installer download against a small range server of this test: resume, stalls, refused
// answers, partial files (never run) and the installer run itself.

#include "updater/HttpDownload.h"
#include "RangeServer.h"
#include "StatusCollector.h"
#include "common/LoopbackServer.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace vx::test {
namespace {

using Clock = std::chrono::steady_clock;

// A shell installer that writes its arguments to `marker`, padded after its exit line so
// that it arrives in several chunks.
std::string InstallerScript(const std::string& marker, int exitCode = 0, int sleepSec = 0,
                            size_t size = 400000)
{
    std::string s = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + marker + "'\n";
    if (sleepSec > 0)
        s += "sleep " + std::to_string(sleepSec) + "\n";
    s += "exit " + std::to_string(exitCode) + "\n";
    int line = 0;
    while (s.size() < size)
        s += "# filler line " + std::to_string(line++) + " ........................................\n";
    return s;
}

class HttpDownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_settings.tempFolder = m_dir.Path() + "dl/";
        ASSERT_TRUE(MakeDirs(m_settings.tempFolder));
        m_marker = m_dir.File("installer-ran");
        m_body = InstallerScript(m_marker);
    }

    // Runs one download of the server's file to its end; returns the final report.
    std::pair<int, uint32_t> Download(CRangeServer& server, const std::string& url = std::string())
    {
        CHttpDownload dl(std::ref(m_sink), m_settings);
        EXPECT_TRUE(dl.Begin(url.empty() ? server.Url() : url));
        std::pair<int, uint32_t> final{0, 0};
        EXPECT_TRUE(m_sink.WaitFinal(60000, &final));
        m_tempPath = dl.TempFilePath();
        return final;
    }

    std::vector<uint32_t> Progress()
    {
        std::vector<uint32_t> p;
        for (auto& r : m_sink.Reports())
            if (r.first == DS_NONE && r.second < kDownloadDone)
                p.push_back(r.second);
        return p;
    }

    CTempDir m_dir;
    CHttpDownload::Settings m_settings;
    std::string m_marker;
    std::string m_body;
    std::string m_tempPath;
    CStatusCollector m_sink;
};

TEST_F(HttpDownloadTest, WholeFileIsWrittenRunSilentlyAndReported)
{
    CRangeServer server(m_body);
    ASSERT_TRUE(server.Start());
    auto final = Download(server);
    EXPECT_EQ(final, std::make_pair(DS_NONE, kDownloadDone));
    EXPECT_EQ(m_tempPath, m_settings.tempFolder + "setup");
    EXPECT_EQ(ReadFile(m_tempPath), m_body);
    EXPECT_EQ(ReadFile(m_marker), "/verysilent\n");

    std::vector<uint32_t> p = Progress();
    ASSERT_GE(p.size(), 3u); // 400 kB in chunks of at most 128 kB
    for (size_t i = 1; i < p.size(); ++i)
        EXPECT_LE(p[i - 1], p[i]);
    EXPECT_EQ(p.back(), 99u);

    ASSERT_EQ(server.Requests().size(), 1u);
    const std::string req = server.Requests()[0];
    EXPECT_EQ(req.rfind("GET /files/setup?random=", 0), 0u) << req;
    EXPECT_NE(req.find("\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"), std::string::npos);
    EXPECT_NE(req.find("\r\nRange: bytes=0-\r\n"), std::string::npos);
    EXPECT_NE(req.find("\r\nUser-Agent: TolvaneUpdater\r\n"), std::string::npos);
}

TEST_F(HttpDownloadTest, DroppedConnectionsResumeWhereTheFileEnds)
{
    CRangeServer server(m_body);
    ASSERT_TRUE(server.Start());
    server.SetMode(CRangeServer::Mode::DropFirst, 3, 50000);
    auto final = Download(server);
    EXPECT_EQ(final, std::make_pair(DS_NONE, kDownloadDone));
    EXPECT_EQ(server.RangeStarts(), (std::vector<long long>{0, 50000, 100000, 150000}));
    EXPECT_EQ(ReadFile(m_tempPath), m_body); // no gap, no overlap
    std::vector<uint32_t> p = Progress();
    for (size_t i = 1; i < p.size(); ++i)
        EXPECT_LE(p[i - 1], p[i]) << "the percentage continues from where it was";
}

TEST_F(HttpDownloadTest, SilentServerIsLeftAfterTheStallLimitAndResumed)
{
    m_settings.stallMs = 300;
    CRangeServer server(m_body);
    ASSERT_TRUE(server.Start());
    server.SetMode(CRangeServer::Mode::StallFirst, 1, 70000);
    auto t0 = Clock::now();
    auto final = Download(server);
    EXPECT_EQ(final, std::make_pair(DS_NONE, kDownloadDone));
    EXPECT_EQ(server.RangeStarts(), (std::vector<long long>{0, 70000}));
    EXPECT_EQ(ReadFile(m_tempPath), m_body);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(4));
}

TEST_F(HttpDownloadTest, RefusedAnswersEndAtOnceAndNothingRuns)
{
    struct Case
    {
        CRangeServer::Mode mode;
        int expected;
    } cases[] = {
        {CRangeServer::Mode::Whole200, DS_HTTP_STATUS},
        {CRangeServer::Mode::NoLength, DS_NO_LENGTH},
        {CRangeServer::Mode::ZeroTotal, DS_ZERO_LENGTH},
        {CRangeServer::Mode::NoContentRange, DS_BAD_RANGE},
    };
    for (const Case& c : cases) {
        CStatusCollector sink;
        CRangeServer server(m_body);
        ASSERT_TRUE(server.Start());
        server.SetMode(c.mode);
        CHttpDownload dl(std::ref(sink), m_settings);
        ASSERT_TRUE(dl.Begin(server.Url()));
        std::pair<int, uint32_t> final;
        ASSERT_TRUE(sink.WaitFinal(20000, &final));
        EXPECT_EQ(final.first, c.expected);
        EXPECT_EQ(server.RangeStarts().size(), 1u) << "no second attempt after code " << c.expected;
        EXPECT_FALSE(FileExists(m_marker)) << "installer ran after code " << c.expected;
    }
}

TEST_F(HttpDownloadTest, PartNotStartingWhereTheFileEndsIsRefused)
{
    CRangeServer server(m_body);
    ASSERT_TRUE(server.Start());
    server.SetMode(CRangeServer::Mode::WrongStart, 1, 50000);
    auto final = Download(server);
    EXPECT_EQ(final.first, DS_BAD_RANGE);
    EXPECT_EQ(server.RangeStarts(), (std::vector<long long>{0, 50000}));
    EXPECT_FALSE(FileExists(m_marker));
}

TEST_F(HttpDownloadTest, FileStillShortAfterTheLastAttemptIsNeverRun)
{
    m_settings.maxAttempts = 3;
    CRangeServer server(m_body);
    ASSERT_TRUE(server.Start());
    server.SetMode(CRangeServer::Mode::ShortLength);
    auto final = Download(server);
    EXPECT_EQ(final.first, DS_INCOMPLETE);
    EXPECT_EQ(server.RangeStarts().size(), 3u);
    EXPECT_LT(final.second, m_body.size());
    EXPECT_FALSE(FileExists(m_marker));

    // Cut off in the middle of the body on every attempt: the last failure is reported.
    CStatusCollector sink;
    server.SetMode(CRangeServer::Mode::DropFirst, 100, 1000);
    CHttpDownload dl(std::ref(sink), m_settings);
    ASSERT_TRUE(dl.Begin(server.Url()));
    ASSERT_TRUE(sink.WaitFinal(20000, &final));
    EXPECT_EQ(final.first, DS_RECV_BODY);
    EXPECT_FALSE(FileExists(m_marker));
}

TEST_F(HttpDownloadTest, AddressFailures)
{
    auto final = std::make_pair(0, 0u);
    {
        // Every one of the 50 attempts refused: the connection failure with its error code.
        CHttpDownload dl(std::ref(m_sink), m_settings);
        ASSERT_TRUE(dl.Begin("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x/setup"));
        ASSERT_TRUE(m_sink.WaitFinal(20000, &final));
        EXPECT_EQ(final, std::make_pair(DS_CONNECT, static_cast<uint32_t>(ECONNREFUSED)));
    }
    {
        CStatusCollector sink;
        CHttpDownload dl(std::ref(sink), m_settings);
        ASSERT_TRUE(dl.Begin("http://127.0.0.1"));
        ASSERT_TRUE(sink.WaitFinal(5000, &final));
        EXPECT_EQ(final.first, DS_PARSE_URL);
        EXPECT_EQ(sink.Reports().size(), 1u);
    }
}

TEST_F(HttpDownloadTest, PlantedLinkAtTheTempPathIsNotWrittenThrough)
{
    const std::string victim = m_dir.File("victim");
    ASSERT_TRUE(WriteFile(victim, "keep me"));
    ASSERT_EQ(symlink(victim.c_str(), (m_settings.tempFolder + "setup").c_str()), 0);
    CRangeServer server(m_body);
    ASSERT_TRUE(server.Start());
    auto final = Download(server);
    EXPECT_EQ(final, std::make_pair(DS_NONE, kDownloadDone));
    EXPECT_EQ(ReadFile(victim), "keep me");
}

TEST_F(HttpDownloadTest, InstallerOutcomes)
{
    struct Case
    {
        int exitCode;
        int sleepSec;
        std::pair<int, uint32_t> expected;
    } cases[] = {
        {3, 0, {DS_INSTALLER_EXIT, 3u}}, // reported as a failure with its exit code
        {0, 3, {DS_INSTALL, 0u}},        // still running when the wait ends
    };
    m_settings.installWaitMs = 500;
    for (const Case& c : cases) {
        CStatusCollector sink;
        CRangeServer server(InstallerScript(m_marker, c.exitCode, c.sleepSec));
        ASSERT_TRUE(server.Start());
        CHttpDownload dl(std::ref(sink), m_settings);
        ASSERT_TRUE(dl.Begin(server.Url()));
        std::pair<int, uint32_t> final;
        ASSERT_TRUE(sink.WaitFinal(20000, &final));
        EXPECT_EQ(final, c.expected);
        EXPECT_EQ(ReadFile(m_marker), "/verysilent\n");
        unlink(m_marker.c_str());
    }
}

TEST_F(HttpDownloadTest, StopEndsQuicklyAndReportsNothingMore)
{
    CRangeServer server(m_body);
    ASSERT_TRUE(server.Start());
    server.SetMode(CRangeServer::Mode::StallFirst, 1, 200000);
    CHttpDownload dl(std::ref(m_sink), m_settings);
    ASSERT_TRUE(dl.Begin(server.Url()));
    for (int i = 0; i < 200 && m_sink.Reports().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(m_sink.Reports().empty());
    auto t0 = Clock::now();
    dl.Stop();
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1000));
    size_t n = m_sink.Reports().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(m_sink.Reports().size(), n);
    for (auto& r : m_sink.Reports())
        EXPECT_FALSE(CStatusCollector::IsFinal(r));
    // The file stays after a cancel; deleting it is the window's call.
    EXPECT_TRUE(FileExists(dl.TempFilePath()));
    dl.DeleteTempFile();
    EXPECT_FALSE(FileExists(dl.TempFilePath()));
}

} // namespace
} // namespace vx::test
