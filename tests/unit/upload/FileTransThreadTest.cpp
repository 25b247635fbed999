// The upload worker against scripted servers on 127.0.0.1: what goes on the wire, how every
// answer is taken, and that no answer, garbage or a stop ever hangs a run.

#include "upload/FileTransThread.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "common/TestUtil.h"
#include "platform/File.h"
#include "unit/upload/RawServer.h"
#include "unit/upload/UploadTestUtil.h"
#include "upload/TransProtocol.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vx::test {
namespace {

constexpr int64_t kOrg = 7007;
constexpr int64_t kUser = 9009;

class FileTransThreadTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dataDir = new CScopedDataDir();
        OpenLogs(); // the log lines are written for real, so a bad format would show
    }
    static void TearDownTestSuite()
    {
        CloseLogs();
        delete s_dataDir;
    }

    _sTransTask Task(const std::string& path, const std::string& bytes, uint16_t port)
    {
        _sTransTask t;
        t.strFileIndex = "idx-" + std::to_string(port);
        t.i64ParentId = 55;
        t.strMd5 = RawMd5(bytes);
        t.strPath = path;
        t.i64EndPos = static_cast<int64_t>(bytes.size());
        t.nFileType = TRANS_FLV;
        t.strSvrHost = "127.0.0.1";
        t.usSvrPort = port;
        return t;
    }

    // One run of a fresh worker; returns when its end report has come.
    void RunOnce(const _sTransTask& task, int recvNum = 10)
    {
        _sTransWorkerParam p;
        p.i64OrgId = kOrg;
        p.i64UserId = kUser;
        p.fnReport = [this](TransReportPtr r) { m_log.Add(*r); };
        m_worker = std::make_unique<CFileTransThread>(p, 1);
        m_worker->SetTuning({recvNum, 2000, 0});
        ASSERT_EQ(m_worker->AssignTask(task), TRANS_ASSIGNED);
        ASSERT_TRUE(m_worker->Join(30000)) << "the run did not end";
        auto all = m_log.All();
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().nCode, TR_WORKER_DONE);
        EXPECT_EQ(all.back().pWorker, m_worker.get());
        EXPECT_FALSE(m_worker->IsBusy());
    }

    static CScopedDataDir* s_dataDir;
    CTempDir m_dir;
    CReportLog m_log;
    std::unique_ptr<CFileTransThread> m_worker;
};
CScopedDataDir* FileTransThreadTest::s_dataDir = nullptr;

TEST(TransProtocol, NamesVersionsAndWaits)
{
    EXPECT_EQ(EncodeUploadName("/x/y/lesson 1.MP4.asc.FLV"), "lesson+1%2EMP4%2Easc.flv");
    EXPECT_EQ(EncodeUploadName("课程.PDF"), "%E8%AF%BE%E7%A8%8B.pdf");
    EXPECT_EQ(EncodeUploadName("noext"), "noext");
    // The platform refuses control characters in names: a line break or tab goes as a blank.
    EXPECT_EQ(EncodeUploadName("/x/two\nlines\tin.PDF"), "two+lines+in.pdf");
    EXPECT_EQ(ProgramVersionNumber("2.0.1.5"), 2015);
    EXPECT_EQ(ProgramVersionNumber("9.9.99.99"), 999999 & 0xFFFF);
    // The answer wait grows with the file: the server digests all of it first.
    EXPECT_EQ(RecvWaitSteps(199LL << 20, 101), 101);
    EXPECT_EQ(RecvWaitSteps(500LL << 20, 101), 404);
    EXPECT_EQ(RecvWaitSteps(2000LL << 20, 101), 1010);

    TransAnnounce a;
    a.i64Start = 0;
    a.i64End = (5LL << 32) + 3; // positions are 64-bit on the wire
    a.md5 = std::string(16, '\x5a');
    a.i64DirId = -2;
    a.i64FileId = 0x0102030405060708LL;
    a.i64OrgId = kOrg;
    a.i64UserId = kUser;
    a.cFileType = 3;
    a.strName = "ab%2Ec.swf";
    a.usVersion = 20317;
    SeenAnnounce s;
    ASSERT_TRUE(DecodeAnnounce(BuildTransAnnounce(a), &s));
    EXPECT_EQ(s.raw.size(), a.strName.size() + 76);
    EXPECT_EQ(s.len, a.strName.size() + 69);
    EXPECT_EQ(s.kind, 0);
    EXPECT_EQ(s.newFlag, 1u);
    EXPECT_EQ(s.end, a.i64End);
    EXPECT_EQ(s.md5, a.md5);
    EXPECT_EQ(s.dirId, -2);
    EXPECT_EQ(s.fileId, a.i64FileId);
    EXPECT_EQ(s.orgId, kOrg);
    EXPECT_EQ(s.userId, kUser);
    EXPECT_EQ(s.type, 3);
    EXPECT_EQ(s.name, a.strName);
    EXPECT_EQ(s.version, 20317);
    a.i64Start = 1;
    ASSERT_TRUE(DecodeAnnounce(BuildTransAnnounce(a), &s));
    EXPECT_EQ(s.newFlag, 0u);

    TransAnswer ans;
    ASSERT_TRUE(ParseTransAnswer(MakeAnswer(0, 1, 10, 20, a.md5, 99).data(), 55, &ans));
    EXPECT_TRUE(ans.bFull);
    EXPECT_EQ(ans.i64RangeEnd, 20);
    EXPECT_EQ(ans.i64FileId, 99);
    ASSERT_TRUE(ParseTransAnswer(MakeHead(0, 1, -30000).data(), 7, &ans));
    EXPECT_FALSE(ans.bFull);
    EXPECT_EQ(ans.nResult, -30000);
}

TEST_F(FileTransThreadTest, UploadsTheWholeFileAndTakesTheServersId)
{
    std::string path = m_dir.File("lesson one.flv");
    std::string bytes = MakeSampleFile(path, 3 * 1048576 + 77);
    SeenAnnounce seen;
    std::string got, extra;
    CRawServer srv([&](CRawConn& c) {
        if (!c.ReadAnnounce(&seen))
            return;
        c.Write(MakeAnswer(0, 1, 0, seen.end, seen.md5, 4242));
        c.Read(&got, static_cast<size_t>(seen.end));
        extra = c.ReadRest(200);
        c.Write(MakeHead(0, 1, 1));
        c.ReadRest(2000);
    });
    RunOnce(Task(path, bytes, srv.Port()));

    EXPECT_EQ(seen.newFlag, 1u);
    EXPECT_EQ(seen.start, 0);
    EXPECT_EQ(seen.end, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(seen.md5, RawMd5(bytes));
    EXPECT_EQ(seen.dirId, 55);
    EXPECT_EQ(seen.orgId, kOrg);
    EXPECT_EQ(seen.userId, kUser);
    EXPECT_EQ(seen.type, TRANS_FLV);
    EXPECT_EQ(seen.name, "lesson+one.flv");
    std::string digits;
    for (char ch : GetAppVersion())
        if (ch != '.')
            digits += ch;
    EXPECT_EQ(seen.version, static_cast<uint16_t>(std::stoul(digits) & 0xFFFF));
    EXPECT_TRUE(got == bytes) << "the server got other bytes than the file";
    EXPECT_TRUE(extra.empty());

    auto all = m_log.All();
    EXPECT_EQ(all.front().nCode, TR_PROGRESS);
    EXPECT_EQ(all.front().i64Pos, 0);
    auto done = m_log.Of(TR_UPLOADED);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].i64Pos, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(done[0].i64FileId, 4242);
    EXPECT_EQ(done[0].strFileIndex, "idx-" + std::to_string(srv.Port()));
    EXPECT_TRUE(m_log.Failures().empty());
    std::string transLog = ReadFile(s_dataDir->Path() + "Log/transfile.txt");
    EXPECT_NE(transLog.find("server return [type=0, result=1, range=0--3145805, id=4242"), std::string::npos);
}

TEST_F(FileTransThreadTest, SendsExactlyTheRangeTheServerAsksFor)
{
    // Resume: the server holds the first megabyte and wants the rest.
    std::string path = m_dir.File("resume.flv");
    std::string bytes = MakeSampleFile(path, 5000000, 3);
    SeenAnnounce seen;
    std::string got, extra;
    int64_t askStart = 1000000, askEnd = 5000000;
    CRawServer srv([&](CRawConn& c) {
        if (!c.ReadAnnounce(&seen))
            return;
        c.Write(MakeAnswer(0, 1, askStart, askEnd, seen.md5, 8));
        c.Read(&got, static_cast<size_t>(askEnd - askStart));
        extra = c.ReadRest(200);
        c.Write(MakeHead(0, 1, 1));
        c.ReadRest(2000);
    });
    _sTransTask t = Task(path, bytes, srv.Port());
    t.i64StartPos = 1000000;
    t.i64FileId = 8;
    RunOnce(t);
    EXPECT_EQ(seen.newFlag, 0u);
    EXPECT_EQ(seen.start, 1000000);
    EXPECT_EQ(seen.fileId, 8);
    EXPECT_TRUE(got == bytes.substr(1000000));
    EXPECT_TRUE(extra.empty());
    ASSERT_EQ(m_log.Of(TR_UPLOADED).size(), 1u);
    EXPECT_EQ(m_log.Of(TR_UPLOADED)[0].i64Pos, 5000000);

    // A range that ends before the file does: only that range goes out, nothing after it.
    m_log.Clear();
    askStart = 0;
    askEnd = 3000;
    t.i64StartPos = 0;
    RunOnce(t);
    EXPECT_TRUE(got == bytes.substr(0, 3000));
    EXPECT_TRUE(extra.empty()) << extra.size() << " bytes beyond the range";
    ASSERT_EQ(m_log.Of(TR_UPLOADED).size(), 1u);
    EXPECT_EQ(m_log.Of(TR_UPLOADED)[0].i64Pos, 3000);
}

TEST_F(FileTransThreadTest, AFileTheServerHoldsIsNotSentAgain)
{
    std::string path = m_dir.File("done.pdf");
    std::string bytes = MakeSampleFile(path, 10000, 4);
    std::string extra;
    CRawServer srv([&](CRawConn& c) {
        SeenAnnounce a;
        if (!c.ReadAnnounce(&a))
            return;
        c.Write(MakeAnswer(1, 1, 0, a.end, a.md5, 77));
        extra = c.ReadRest(300);
    });
    _sTransTask t = Task(path, bytes, srv.Port());
    t.nFileType = TRANS_PDF;
    RunOnce(t);
    EXPECT_TRUE(extra.empty());
    auto done = m_log.Of(TR_UPLOADED);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].i64Pos, 10000);
    EXPECT_EQ(done[0].i64FileId, 77);
}

TEST_F(FileTransThreadTest, EachServerResultGivesItsCode)
{
    std::string path = m_dir.File("codes.swf");
    std::string bytes = MakeSampleFile(path, 5000, 5);
    std::string answer;
    CRawServer srv([&](CRawConn& c) {
        SeenAnnounce a;
        if (!c.ReadAnnounce(&a))
            return;
        if (!answer.empty())
            c.Write(answer);
        c.ReadRest(3000); // until the client gives up and closes
    });
    const std::string md5 = RawMd5(bytes);
    const std::string otherMd5 = RawMd5("something else");
    struct Case
    {
        const char* what;
        std::string answer;
        int code;
    } cases[] = {
        {"result -4", MakeAnswer(0, -4, 0, 0, "", 0), TRANS_REFUSED_4},
        {"result -6", MakeHead(0, 0, -6), TRANS_REFUSED},
        {"result -30000", MakeAnswer(0, -30000, 0, 0, "", 0), TRANS_REFUSED},
        {"result 7", MakeAnswer(0, 7, 0, 0, "", 0), TRANS_OTHER_RESULT},
        {"other digest", MakeAnswer(0, 1, 0, 5000, otherMd5, 1), TRANS_BAD_ANSWER},
        {"empty range", MakeAnswer(0, 1, 5000, 5000, md5, 1), TRANS_BAD_ANSWER},
        {"negative range", MakeAnswer(0, 1, -1, 5000, md5, 1), TRANS_BAD_ANSWER},
        {"range beyond the file", MakeAnswer(0, 1, 0, 6000, md5, 1), TRANS_BAD_ANSWER},
        {"confirmation below 1", MakeAnswer(1, 0, 0, 5000, md5, 1), TRANS_BAD_ANSWER},
        {"confirmation, other digest", MakeAnswer(1, 1, 0, 5000, otherMd5, 1), TRANS_BAD_ANSWER},
        // Only a head: range, digest and id were never sent and must not be made up.
        {"head only", MakeHead(0, 0, 1), TRANS_BAD_ANSWER},
        {"unknown kind", MakeAnswer(9, 1, 0, 5000, md5, 1), TRANS_BAD_ANSWER},
        {"garbage", "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n", TRANS_BAD_ANSWER},
        {"too short", "\x05", TRANS_BAD_ANSWER},
        {"no answer", "", TRANS_NO_ANSWER}, // silence is told apart from a bad answer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        answer = c.answer;
        m_log.Clear();
        auto t0 = std::chrono::steady_clock::now();
        RunOnce(Task(path, bytes, srv.Port()), 5);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
        EXPECT_EQ(m_log.Failures(), std::vector<int>{c.code});
        EXPECT_TRUE(m_log.Of(TR_UPLOADED).empty());
    }
}

TEST_F(FileTransThreadTest, AMissingOrFailedConfirmationFails)
{
    std::string path = m_dir.File("confirm.flv");
    std::string bytes = MakeSampleFile(path, 200000, 6);
    std::string confirm;
    size_t readBeforeClose = 0;
    CRawServer srv([&](CRawConn& c) {
        SeenAnnounce a;
        if (!c.ReadAnnounce(&a))
            return;
        c.Write(MakeAnswer(0, 1, 0, a.end, a.md5, 3));
        std::string data;
        c.Read(&data, readBeforeClose ? readBeforeClose : static_cast<size_t>(a.end));
        if (readBeforeClose)
            return; // drops the connection part-way
        if (!confirm.empty())
            c.Write(confirm);
        c.ReadRest(3000);
    });
    struct Case
    {
        const char* what;
        std::string confirm;
        size_t dropAfter;
        int code;
    } cases[] = {
        {"result 0", MakeHead(0, 1, 0), 0, TRANS_NO_CONFIRM},
        {"negative low byte", MakeHead(0, 1, 0x1FF), 0, TRANS_NO_CONFIRM},
        {"kind 0", MakeHead(0, 0, 1), 0, TRANS_NO_CONFIRM},
        {"longer than 7 bytes", MakeAnswer(1, 1, 0, 200000, RawMd5(bytes), 3), 0, TRANS_NO_CONFIRM},
        {"none", "", 0, TRANS_NO_CONFIRM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        confirm = c.confirm;
        readBeforeClose = c.dropAfter;
        m_log.Clear();
        RunOnce(Task(path, bytes, srv.Port()), 5);
        EXPECT_EQ(m_log.Failures(), std::vector<int>{c.code});
    }

    // Dropped part-way through a file larger than the socket buffers: the sends fail.
    m_log.Clear();
    readBeforeClose = 70000;
    bytes = MakeSampleFile(path, 24 * 1048576, 6);
    RunOnce(Task(path, bytes, srv.Port()), 5);
    EXPECT_EQ(m_log.Failures(), std::vector<int>{TRANS_SHORT});
}

TEST_F(FileTransThreadTest, BadTasksAndDeadServersFailWithoutHanging)
{
    std::string path = m_dir.File("task.flv");
    std::string bytes = MakeSampleFile(path, 4000, 7);
    CRawServer srv([&](CRawConn& c) { c.ReadRest(500); });

    _sTransTask t = Task(path, bytes, srv.Port());
    t.i64FileId = -1;
    RunOnce(t);
    EXPECT_EQ(m_log.Failures(), std::vector<int>{TRANS_BAD_TASK});

    m_log.Clear();
    t = Task(path, bytes, srv.Port());
    t.strPath.clear();
    RunOnce(t);
    EXPECT_EQ(m_log.Failures(), std::vector<int>{TRANS_BAD_TASK});

    m_log.Clear();
    t = Task(path, bytes, srv.Port());
    t.strMd5.clear();
    RunOnce(t);
    EXPECT_EQ(m_log.Failures(), std::vector<int>{TRANS_NO_MD5});

    // The file grew after its digest was taken: refused before anything is announced.
    m_log.Clear();
    t = Task(path, bytes, srv.Port());
    MakeSampleFile(path, 4100, 7);
    RunOnce(t);
    EXPECT_EQ(m_log.Failures(), std::vector<int>{TRANS_SHORT});
    EXPECT_EQ(srv.Connections(), 0);

    m_log.Clear();
    t = Task(path, MakeSampleFile(path, 4000, 7), CRawServer::DeadPort());
    RunOnce(t);
    EXPECT_EQ(m_log.Failures(), std::vector<int>{TRANS_SOCKET});
}

TEST_F(FileTransThreadTest, ProgressIsAccountedAndAStopEndsTheRunQuietly)
{
    std::string path = m_dir.File("slow.flv");
    std::string bytes = MakeSampleFile(path, 10 * 1048576, 8);
    CRawServer srv(
        [&](CRawConn& c) {
            SeenAnnounce a;
            if (!c.ReadAnnounce(&a))
                return;
            c.Write(MakeAnswer(0, 1, 0, a.end, a.md5, 3));
            std::string part;
            for (int64_t n = 0; n < a.end; n += static_cast<int64_t>(part.size())) {
                if (!c.Read(&part, std::min<int64_t>(256 * 1024, a.end - n)))
                    return;
                CRawConn::Pause(100);
            }
            c.Write(MakeHead(0, 1, 1));
            c.ReadRest(2000);
        },
        128 * 1024);
    auto t0 = std::chrono::steady_clock::now();
    RunOnce(Task(path, bytes, srv.Port()), 50); // the server drains the socket buffers slowly
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    auto progress = m_log.Of(TR_PROGRESS);
    ASSERT_GE(progress.size(), 3u);
    EXPECT_LE(progress.size(), static_cast<size_t>(secs) + 2) << "more than one progress report a second";
    // Each report's position is where the previous one left off.
    for (size_t i = 2; i < progress.size(); ++i)
        EXPECT_EQ(progress[i].i64Pos, progress[i - 1].i64Pos + progress[i - 1].nInterval);
    EXPECT_EQ(m_log.Of(TR_UPLOADED).size(), 1u);

    // The same slow server, stopped part-way: the run ends at once and reports no failure.
    m_log.Clear();
    _sTransWorkerParam p;
    p.fnReport = [this](TransReportPtr r) { m_log.Add(*r); };
    CFileTransThread w(p, 2);
    w.SetTuning({10, 2000, 800});
    ASSERT_EQ(w.AssignTask(Task(path, bytes, srv.Port())), TRANS_ASSIGNED);
    EXPECT_EQ(w.AssignTask(Task(path, bytes, srv.Port())), TRANS_BUSY);
    EXPECT_EQ(w.GetFileIndex(), "idx-" + std::to_string(srv.Port()));
    ASSERT_TRUE(m_log.WaitFor([](const auto& v) { return v.size() >= 2; }, 5000));
    auto s0 = std::chrono::steady_clock::now();
    w.SetStop();
    ASSERT_TRUE(w.Join(3000));
    EXPECT_LT(std::chrono::steady_clock::now() - s0, std::chrono::milliseconds(1500));
    EXPECT_TRUE(m_log.Failures().empty());
    EXPECT_TRUE(m_log.Of(TR_UPLOADED).empty());
    EXPECT_EQ(m_log.All().back().nCode, TR_WORKER_DONE);
}

TEST_F(FileTransThreadTest, PositionsBeyondFourGibibytesTravelWhole)
{
    std::string path = m_dir.File("big.flv");
    const int64_t size = (4LL << 30) + 100; // sparse: costs no disk
    {
        CFile file;
        ASSERT_TRUE(file.Open(path, CFile::Mode::Write));
        ASSERT_TRUE(file.Truncate(size));
    }
    SeenAnnounce seen;
    std::string got;
    CRawServer srv([&](CRawConn& c) {
        if (!c.ReadAnnounce(&seen))
            return;
        c.Write(MakeAnswer(0, 1, size - 100, size, seen.md5, 1));
        c.Read(&got, 100);
        c.Write(MakeHead(0, 1, 1));
        c.ReadRest(2000);
    });
    _sTransTask t;
    t.strFileIndex = "big";
    t.i64ParentId = 1;
    t.strMd5 = std::string(16, '\x11');
    t.strPath = path;
    t.i64EndPos = size;
    t.strSvrHost = "127.0.0.1";
    t.usSvrPort = srv.Port();
    RunOnce(t);
    EXPECT_EQ(seen.end, size);
    EXPECT_EQ(got, std::string(100, '\0'));
    ASSERT_EQ(m_log.Of(TR_UPLOADED).size(), 1u);
    EXPECT_EQ(m_log.Of(TR_UPLOADED)[0].i64Pos, size);
}

} // namespace
} // namespace vx::test
