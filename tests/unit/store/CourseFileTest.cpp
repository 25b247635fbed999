// Course files in table coursefile: the mapping both ways, restarts, batches that land whole or
// not at all (also when the process is killed in the middle), and a file held by another process.

#include "StoreFixture.h"

#include <chrono>
#include <csignal>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace vx;
using vx::test::StoreTest;

namespace {

_sLCItemData Course(int n, const std::string& name)
{
    _sLCItemData r;
    r.strFileIndex = "0000" + std::to_string(1000 + n) + "-aaaa-bbbb-0123456789abcdef";
    r.strFileName = name;
    r.strFilePath = "/home/t/课程/" + name;
    r.strConvertPath = "/tmp/VexoraTemp/" + r.strFileIndex + "/" + name + ".flv";
    r.i64FileId = 0;
    r.i64DirId = 1000 + n;
    r.i64FileSize = (5LL << 30) + n; // over 4 GiB
    r.i64FileStart = 3LL << 31;
    r.i64FileEnd = (6LL << 30) + n;
    r.nFileBits = 1200;
    r.nFileType = n % 2;
    r.nStatus = CS_WAIT_MEDIAINFO;
    r.nWidth = 1280;
    r.nHeight = 720;
    r.strMd5 = "d41d8cd98f00b204e9800998ecf8427e";
    return r;
}

// What a reload gives back: only the stored fields.
_sLCItemData Stored(const _sLCItemData& r)
{
    _sLCItemData s = r;
    s.nSpeed = s.nProgress = s.nMediaError = s.nTransTimes = 0;
    s.strConvertName.clear();
    s.strModifyTime.clear(); // not written by the insert
    s.miData = MiData{};
    s.miData.nBitRate[MI_GENERAL] = r.miData.nBitRate[MI_GENERAL];
    s.miData.nDuration[MI_GENERAL] = r.miData.nDuration[MI_GENERAL];
    return s;
}

const char* kAwkwardNames[] = {"O'Neil's lecture.mp4", "say \"hi\".avi", "第一课 导论.flv", "100% done.pdf",
                               "a'';drop table coursefile;--.mp3"};

} // namespace

TEST_F(StoreTest, CourseFilesSurviveARestartWithAwkwardNamesAndHugeSizes)
{
    std::vector<_sLCItemData> saved;
    for (int i = 0; i < 5; ++i)
        saved.push_back(Course(i, kAwkwardNames[i]));
    {
        CLocalDb db(m_dbPath);
        ASSERT_TRUE(db.SaveCourseFiles(saved, 77));
        EXPECT_TRUE(db.CheckFile(saved[0].strFileIndex, 77));
        EXPECT_FALSE(db.CheckFile(saved[0].strFileIndex, 78));
    }
    EXPECT_EQ(Raw("select filename_old||'|'||filepath_s||'|'||modifytime||'|'||orgid from coursefile where "
                  "fileindex='" +
                  saved[0].strFileIndex + "'"),
              "O'Neil's lecture.mp4|||0");
    CLocalDb db(m_dbPath);
    std::vector<_sLCItemData> back;
    ASSERT_TRUE(db.GetCourseFile(77, &back));
    ASSERT_EQ(back.size(), saved.size());
    for (size_t i = 0; i < saved.size(); ++i)
        EXPECT_EQ(back[i], Stored(saved[i])) << kAwkwardNames[i];
    ASSERT_TRUE(db.GetCourseFile(78, &back));
    EXPECT_TRUE(back.empty());
    std::vector<int64_t> users;
    ASSERT_TRUE(db.GetCourseUsers(&users));
    EXPECT_EQ(users, std::vector<int64_t>{77});
}

TEST_F(StoreTest, SavingAKnownFileUpdatesOnlyItsProgressFields)
{
    CLocalDb db(m_dbPath);
    _sLCItemData r = Course(1, "a.mp4");
    ASSERT_TRUE(db.SaveCourseFiles({r}, 1));
    _sLCItemData changed = r;
    changed.i64FileId = 555;
    changed.strFilePath = "/new/a.mp4";
    changed.strConvertPath = "/new/a.flv";
    changed.nStatus = CS_WAIT_UPLOAD;
    changed.i64FileStart = 12;
    changed.strMd5 = "00";
    changed.i64FileSize = 1; // not part of this update
    changed.nWidth = 1;
    ASSERT_TRUE(db.SaveCourseFiles({changed}, 1));
    std::vector<_sLCItemData> back;
    ASSERT_TRUE(db.GetCourseFile(1, &back));
    ASSERT_EQ(back.size(), 1u);
    _sLCItemData expect = Stored(r);
    expect.i64FileId = 555;
    expect.strFilePath = "/new/a.mp4";
    expect.strConvertPath = "/new/a.flv";
    expect.nStatus = CS_WAIT_UPLOAD;
    expect.i64FileStart = 12;
    expect.strMd5 = "00";
    EXPECT_EQ(back[0], expect);
}

TEST_F(StoreTest, UpdateVariantsWriteTheUploadLengthAndTheConversionFigures)
{
    CLocalDb db(m_dbPath);
    _sLCItemData r = Course(2, "b.mp4");
    ASSERT_TRUE(db.SaveCourseFiles({r}, 1));

    // Without a modification time: every field, and fileend is the upload length, not the size.
    r.nStatus = CS_CONVERTED;
    r.i64FileEnd = 7LL << 32;
    r.i64FileSize = 9LL << 32;
    r.nFileBits = 64;
    ASSERT_TRUE(db.UpdateCourseFile(r, 1));
    EXPECT_EQ(Raw("select fileend||','||filesize||','||status from coursefile"), "30064771072,38654705664,8");

    // Conversion figures only (the record has finished converting).
    r.strModifyTime = "2024- 1-02  3:04:05";
    r.miData.nBitRate[MI_GENERAL] = 800000;
    r.miData.nDuration[MI_GENERAL] = 61000;
    r.nStatus = CS_UPLOADED; // must not be written by this variant
    r.i64FileId = 42;
    ASSERT_TRUE(db.UpdateCourseFile(r, 1, true));
    EXPECT_EQ(Raw("select cvrfileBits||','||cvrfiletime||','||status||','||fileid||','||modifytime from "
                  "coursefile"),
              "800000,61000,8,42,");

    // With a modification time: everything including the time.
    r.i64FileEnd = 123;
    ASSERT_TRUE(db.UpdateCourseFile(r, 1));
    std::vector<_sLCItemData> back;
    ASSERT_TRUE(db.GetCourseFile(1, &back));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].strModifyTime, r.strModifyTime);
    EXPECT_EQ(back[0].i64FileEnd, 123);
    EXPECT_EQ(back[0].nStatus, CS_UPLOADED);
    EXPECT_EQ(back[0].miData.nBitRate[MI_GENERAL], 800000);
    EXPECT_EQ(back[0].miData.nDuration[MI_GENERAL], 61000);

    // Several at once, then deletion.
    _sLCItemData s = Course(3, "c.mp4");
    ASSERT_TRUE(db.SaveCourseFiles({s}, 1));
    r.nStatus = CS_UPLOAD_FAILED;
    s.nStatus = CS_WAIT_UPLOAD;
    s.strModifyTime = "2024- 1-03  1:00:00";
    s.i64FileEnd = 99;
    ASSERT_TRUE(db.UpdateCourseFiles({r, s}, 1));
    ASSERT_TRUE(db.GetCourseFile(1, &back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].nStatus, CS_UPLOAD_FAILED);
    EXPECT_EQ(back[1].nStatus, CS_WAIT_UPLOAD);
    EXPECT_EQ(back[1].i64FileEnd, 99);
    ASSERT_TRUE(db.DeleteCourseFile({r}, 1));
    ASSERT_TRUE(db.GetCourseFile(1, &back));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].strFileIndex, s.strFileIndex);
}

TEST_F(StoreTest, LoadReturnsEnabledRowsInRangeFoldedBack)
{
    {
        CLocalDb db(m_dbPath);
        std::vector<_sLCItemData> all;
        for (int status = -1; status <= 16; ++status) {
            _sLCItemData r = Course(status + 10, "s" + std::to_string(status));
            r.nStatus = status;
            all.push_back(r);
        }
        _sLCItemData disabled = Course(40, "disabled");
        disabled.nEnabled = 1;
        all.push_back(disabled);
        ASSERT_TRUE(db.SaveCourseFiles(all, 4));
    }
    CLocalDb db(m_dbPath);
    std::vector<_sLCItemData> raw, loaded;
    ASSERT_TRUE(db.GetCourseFile(4, &raw));
    ASSERT_TRUE(db.LoadCourseFiles(4, &loaded));
    ASSERT_EQ(raw.size(), 17u); // -1..15, not 16, not the disabled one
    ASSERT_EQ(loaded.size(), raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        const int stored = raw[i].nStatus;
        EXPECT_EQ(stored, static_cast<int>(i) - 1);
        const int expect = stored < CS_CONVERTED  ? CS_WAIT_MEDIAINFO
                           : stored < CS_UPLOADED ? CS_CONVERTED
                                                  : CS_UPLOADED;
        EXPECT_EQ(loaded[i].nStatus, expect) << "stored " << stored;
        EXPECT_EQ(loaded[i].nProgress, 0);
    }
}

TEST_F(StoreTest, AFailedBatchStoresNothingAndSaysSo)
{
    CLocalDb db(m_dbPath);
    ASSERT_TRUE(db.SaveCourseFiles({Course(1, "before.mp4")}, 1));
    Raw("create trigger refuse before insert on coursefile when new.filename='bad.mp4' begin select "
        "raise(abort,'disk says no'); end");
    std::vector<_sLCItemData> batch = {Course(2, "ok1.mp4"), Course(3, "bad.mp4"), Course(4, "ok2.mp4")};
    EXPECT_FALSE(db.SaveCourseFiles(batch, 1));
    EXPECT_EQ(Raw("select group_concat(filename) from coursefile"), "before.mp4");
    EXPECT_NE(
        LogText().find("insert  : coursefile  Failed! name = bad.mp4, id =0, direcid = 1003, userid = 1. "
                       "Error msg is : disk says no"),
        std::string::npos);
    // The same holds for batch updates and deletions.
    _sLCItemData before = Course(1, "before.mp4");
    Raw("create trigger refuse2 before delete on coursefile begin select raise(abort,'kept'); end");
    EXPECT_FALSE(db.DeleteCourseFile({before}, 1));
    EXPECT_EQ(Raw("select count(*) from coursefile"), "1");
}

TEST_F(StoreTest, ALockHeldByAnotherProcessMakesABatchFailAfterTheBusyTimeOut)
{
    DbOpenOptions opts;
    opts.nBusyTimeoutMs = 200;
    CLocalDb db(m_dbPath, opts);
    ASSERT_TRUE(db.IsOpen());
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_dbPath.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, "BEGIN EXCLUSIVE; insert into appoptions values('x')", nullptr, nullptr, nullptr),
        SQLITE_OK);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(db.SaveCourseFiles({Course(1, "a.mp4")}, 1));
    const auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_NE(LogText().find("database is locked"), std::string::npos);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // Once the other writer is done, the same batch goes through.
    EXPECT_TRUE(db.SaveCourseFiles({Course(1, "a.mp4")}, 1));
}

// A process killed in the middle of a big batch leaves a file that opens, passes its integrity
// check and holds either the whole batch or none of it.
// (It needs fork(): no Windows counterpart.)
#ifndef _WIN32
TEST_F(StoreTest, KillDuringABatchSaveLeavesAllOrNone)
{
    constexpr int kBatch = 20000;
    std::vector<_sLCItemData> batch;
    batch.reserve(kBatch);
    for (int i = 0; i < kBatch; ++i)
        batch.push_back(Course(i, "file " + std::to_string(i) + ".mp4"));
    {
        CLocalDb db(m_dbPath);
        ASSERT_TRUE(db.SaveCourseFiles({Course(-1, "already there.mp4")}, 2));
    }
    // Kill at growing depths of the transaction, measured by what it has already spilled into the
    // write-ahead log (it is far bigger than SQLite's page cache, so it spills long before COMMIT).
    int killedMidway = 0;
    const int64_t walBytes[] = {0, 256 << 10, 1 << 20, 3 << 20};
    for (int round = 0; round < 4; ++round) {
        int toParent[2];
        ASSERT_EQ(pipe(toParent), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(toParent[0]);
            CLocalDb db(m_dbPath);
            std::vector<_sLCItemData> mine = batch;
            for (_sLCItemData& r : mine)
                r.strFileIndex += "-" + std::to_string(round);
            char c = 's';
            (void)!write(toParent[1], &c, 1);
            const bool ok = db.SaveCourseFiles(mine, 2);
            c = ok ? 'd' : 'f';
            (void)!write(toParent[1], &c, 1);
            pause();
            _exit(0);
        }
        close(toParent[1]);
        char c = 0;
        ASSERT_EQ(read(toParent[0], &c, 1), 1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (FileSize(m_dbPath + "-wal") < walBytes[round] && std::chrono::steady_clock::now() < deadline)
            usleep(200);
        const bool spilled = FileSize(m_dbPath + "-wal") > 0;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
        const bool finished = read(toParent[0], &c, 1) == 1;
        close(toParent[0]);

        CLocalDb db(m_dbPath);
        ASSERT_TRUE(db.IsOpen());
        EXPECT_EQ(Raw("pragma integrity_check"), "ok");
        const std::string suffix = "-" + std::to_string(round);
        const int n =
            std::stoi(Raw("select count(*) from coursefile where fileindex like '%" + suffix + "'"));
        EXPECT_TRUE(n == 0 || n == kBatch) << "round " << round << ": " << n << " rows";
        if (!finished && spilled)
            killedMidway += n == 0;
        std::vector<_sLCItemData> back;
        ASSERT_TRUE(db.GetCourseFile(2, &back));
        EXPECT_EQ(back.front().strFileName, "already there.mp4");
    }
    // At least one kill must have landed inside the transaction for the test to mean anything.
    EXPECT_GE(killedMidway, 1);
}
#endif

TEST_F(StoreTest, StatusTransitionsAndLoadAgreeOnAReloadedUpload)
{
    // A record closed during its upload comes back at the digest and may be queued again.
    CLocalDb db(m_dbPath);
    _sLCItemData r = Course(5, "up.mp4");
    r.nStatus = CS_UPLOADING;
    ASSERT_TRUE(db.SaveCourseFiles({r}, 1));
    std::vector<_sLCItemData> back;
    ASSERT_TRUE(db.LoadCourseFiles(1, &back));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].nStatus, CS_CONVERTED);
    EXPECT_TRUE(CanChangeStatus(back[0].nStatus, CS_WAIT_UPLOAD));
}

// Background jobs (a sign-out's write-back, a session start's read) run in the order they were
// given, and whatever the owner does with course files next sees their result.
TEST_F(StoreTest, BackgroundJobsRunInOrderAndLaterCallsSeeTheirResult)
{
    CLocalDb db(m_dbPath);
    std::vector<_sLCItemData> rows;
    for (int n = 0; n < 300; ++n)
        rows.push_back(Course(n, "课 " + std::to_string(n) + ".mp4"));
    ASSERT_TRUE(db.SaveCourseFiles(rows, 1));
    for (_sLCItemData& r : rows) {
        r.nStatus = CS_UPLOAD_PAUSED;
        r.i64FileStart = 4096;
    }
    db.UpdateCourseFilesInBackground(rows, 1);
    // A read queued behind the write sees it whole.
    std::vector<_sLCItemData> readBehind;
    db.RunInBackground([&](CLocalDb& own) { return own.LoadCourseFiles(1, &readBehind); });
    // A call on the owner's connection waits for both.
    std::vector<_sLCItemData> loaded;
    ASSERT_TRUE(db.LoadCourseFiles(1, &loaded));
    ASSERT_EQ(loaded.size(), rows.size());
    ASSERT_EQ(readBehind.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(loaded[i].i64FileStart, 4096);
        EXPECT_EQ(readBehind[i].i64FileStart, 4096);
    }

    // A failed job is reported by the wait and logged.
    Raw("create trigger refuse before update on coursefile begin select raise(abort,'disk says no'); end");
    db.UpdateCourseFilesInBackground({rows[0]}, 1);
    EXPECT_FALSE(db.WaitForBackground());
    EXPECT_NE(LogText().find("disk says no"), std::string::npos);
    EXPECT_TRUE(db.WaitForBackground()) << "nothing left to wait for";
}
