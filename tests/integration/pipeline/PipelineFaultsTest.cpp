// The pipeline's handling of results, commands and settings on records placed in a known state:
// the rules a wrong branch would break quietly (a record stuck for ever, a machine kept awake,
// a size that drifts, a worker deleted under its work).

#include "PipelineFixture.h"

#include "media/GetFileMd5Thread.h"
#include "media/MediaInfoThread.h"
#include "media/MediaMessages.h"
#include "platform/Paths.h"
#include "store/DbTransaction.h"
#include "upload/FileTransThread.h"

#include <chrono>

using namespace vx;
using namespace vx::test;

TEST_F(PipelineRules, FailedProbesAreNotWorkAndReleaseTheKeepAwake)
{
    _sSetData o = cfg->m_setData;
    o.nUinfo |= kOptAutoShutdown;
    cfg->SetUserOptions(o);
    Put(Rec("a", CS_WAIT_MEDIAINFO));
    Put(Rec("b", CS_WAIT_MEDIAINFO));
    pipeline->CheckCourseIsWorkToTrans();
    EXPECT_TRUE(power.held);
    EXPECT_EQ(ui.shutdownOffers, 0);

    // One probe fails, one finds nothing to read (size 0): both end in 1, neither waits for ever.
    _sLCItemData copy = Rec("a", CS_MEDIA_FAILED);
    pipeline->OnMediaInfoResult(-3, std::move(copy));
    _sLCItemData empty = Rec("b", CS_WAIT_CONVERT);
    pipeline->OnMediaInfoResult(0, std::move(empty));
    EXPECT_EQ(courses.Find("a")->nStatus, CS_MEDIA_FAILED);
    EXPECT_EQ(courses.Find("b")->nStatus, CS_MEDIA_FAILED);
    EXPECT_EQ(courses.Find("b")->nMediaError, -1);
    EXPECT_FALSE(pipeline->IsCourseWorking());

    pipeline->CheckCourseIsWorkToTrans();
    EXPECT_FALSE(power.held) << "nothing works: the machine may sleep";
    EXPECT_EQ(ui.shutdownOffers, 1) << "the automatic shut-down is offered";
    std::vector<_sLCItemData> rows;
    db->GetCourseFile(cfg->m_i64UserId, &rows);
    for (const auto& r : rows)
        EXPECT_EQ(r.nStatus, CS_MEDIA_FAILED) << r.strFileIndex;
}

TEST_F(PipelineRules, ClearingTheShutdownOptionReleasesTheKeepAwakeWhateverElseChanged)
{
    _sSetData o = cfg->m_setData;
    o.nUinfo |= kOptAutoShutdown;
    cfg->SetUserOptions(o);
    Put(Rec("a", CS_CONVERT_STOPPED));
    pipeline->SetInfoData(0x02); // uploads changed, shut-down on
    EXPECT_TRUE(power.held);
    EXPECT_EQ(loop.NextTimerDueMs() >= 0, true) << "the work check runs";
    o.nUinfo &= ~kOptAutoShutdown;
    cfg->SetUserOptions(o);
    pipeline->SetInfoData(0x01); // conversion changed too, shut-down off
    EXPECT_FALSE(power.held);
    loop.PumpUntil([] { return false; }, 400);
    EXPECT_EQ(ui.shutdownOffers, 0) << "a cleared option never offers the shut-down";
}

TEST_F(PipelineRules, InProcessSizeFollowsTheRecordsAlsoOnDeletion)
{
    Put(Rec("probed", CS_WAIT_CONVERT, 2 * kGB));
    Put(Rec("digested", CS_WAIT_UPLOAD, 3 * kGB, kGB));
    Put(Rec("failed-probe", CS_MEDIA_FAILED, 5 * kGB));
    EXPECT_DOUBLE_EQ(pipeline->InProcessSize(), 3.0);
    pipeline->DeleteProcessItem({"probed"});
    EXPECT_DOUBLE_EQ(pipeline->InProcessSize(), 1.0);
    pipeline->DeleteDoneItem({"digested"});
    EXPECT_DOUBLE_EQ(pipeline->InProcessSize(), 0.0);
    std::vector<_sLCItemData> rows;
    db->GetCourseFile(cfg->m_i64UserId, &rows);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].strFileIndex, "failed-probe");
    EXPECT_EQ(converted.Find("digested"), nullptr);
}

TEST_F(PipelineRules, AStaleReleaseNeverDeletesANewerBusyWorker)
{
    std::string mp3 = MakeFile("in/x.mp3", std::string(100, 'm'));
    _sLCItemData r = Rec("p", CS_WAIT_MEDIAINFO);
    r.strFilePath = mp3;
    Put(r);
    pipeline->CheckMediaInfo(0);
    CMediaInfoThread* worker = pipeline->MediaThread();
    ASSERT_NE(worker, nullptr);
    // A release posted by an earlier thread arrives while this one is alive.
    pipeline->CheckMediaInfo(1);
    EXPECT_EQ(pipeline->MediaThread(), worker);
    // A second feed does not hand the same record over twice.
    pipeline->CheckMediaInfo(0);
    EXPECT_LE(worker->QueueLength(), 1u);

    _sLCItemData c = Rec("d", CS_CONVERTED, 10, 0);
    c.strConvertPath = MakeFile("converted/d/d.pdf", "%PDF");
    Put(c);
    pipeline->CheckFileMd5(0);
    ASSERT_NE(pipeline->Md5Thread(), nullptr);
    pipeline->CheckFileMd5(1); // a digest is still due: the thread stays
    EXPECT_NE(pipeline->Md5Thread(), nullptr);
    ASSERT_TRUE(loop.PumpUntil([&] { return courses.Find("d")->nStatus != CS_CONVERTED; }, 10000));
    pipeline->CheckFileMd5(1); // idle now
    EXPECT_EQ(pipeline->Md5Thread(), nullptr);
}

TEST_F(PipelineRules, DocumentCopyReportsAFailureWhenTheOutputFolderCannotBeMade)
{
    MakeFile("blocker", "a file where the convert folder should be");
    _sSetData o = cfg->m_setData;
    o.strConvertPath = dir->File("blocker/sub");
    cfg->SetUserOptions(o);
    _sLCItemData r = Rec("doc", CS_WAIT_CONVERT, 10);
    r.nFileType = 1;
    r.strFilePath = MakeFile("in/doc.pdf", "%PDF");
    Put(r);
    EXPECT_EQ(pipeline->DealUnVideoFiles("doc"), 1);
    ASSERT_TRUE(loop.PumpUntil([&] { return courses.Find("doc")->nStatus != CS_WAIT_CONVERT; }, 5000));
    EXPECT_EQ(courses.Find("doc")->nStatus, CS_CONVERT_FAILED);
    EXPECT_NE(courses.store.Tooltip("doc").find(cfg->GetText(2254)), std::string::npos);
}

TEST_F(PipelineRules, ConversionResultsTheirTextsAndLateReports)
{
    Put(Rec("zero", CS_CONVERTING));
    Put(Rec("five", CS_CONVERTING));
    Put(Rec("stopped", CS_CONVERT_STOPPED));
    pipeline->OnConvertResult({"zero", "", 0, 0, nullptr});
    pipeline->OnConvertResult({"five", "", -5, 0, nullptr});
    pipeline->OnConvertResult({"stopped", "/x/out.flv", 1, 100, nullptr});
    EXPECT_EQ(courses.Find("zero")->nStatus, CS_CONVERT_FAILED) << "0 is a failure, with the generic text";
    EXPECT_NE(courses.store.Tooltip("zero").find(cfg->GetText(kConvertFailedText)), std::string::npos);
    EXPECT_NE(courses.store.Tooltip("five").find(cfg->GetText(2254)), std::string::npos);
    EXPECT_EQ(courses.Find("stopped")->nStatus, CS_CONVERT_STOPPED) << "a stopped conversion stays stopped";
    EXPECT_EQ(converted.Find("stopped"), nullptr);
}

TEST_F(PipelineRules, ServerAssignmentIsKeptOrLostAroundFortyPercent)
{
    for (const char* idx : {"slow", "late", "text", "renamed"}) {
        _sLCItemData r = Rec(idx, CS_UPLOADING, 1000, 1000);
        Put(r);
        db->SaveFileServer(idx, "127.0.0.1", 9);
    }
    auto report = [](const char* idx, int64_t pos, int8_t code) {
        _sTransReport t;
        t.strFileIndex = idx;
        t.i64FileId = 5;
        t.i64Pos = pos;
        t.nCode = code;
        return t;
    };
    pipeline->OnTransResult(report("slow", 300, -12)); // no text, below 40 %
    pipeline->OnTransResult(report("late", 600, -12)); // no text, above 40 %
    pipeline->OnTransResult(report("text", 600, TRANS_SHORT));
    std::string ip;
    int port = 0;
    EXPECT_FALSE(db->GetFileServer("slow", &ip, &port));
    EXPECT_TRUE(db->GetFileServer("late", &ip, &port));
    EXPECT_FALSE(db->GetFileServer("text", &ip, &port)) << "a failure with a cause always loses it";
    EXPECT_EQ(courses.Find("text")->nProgress, 0);
    EXPECT_EQ(courses.Find("late")->nStatus, CS_UPLOAD_FAILED);

    // -105 with a file to rename: status 10, tried anew, the assignment kept.
    std::string flv = MakeFile("converted/renamed/talk.asc.flv", "FLV");
    courses.Find("renamed")->strConvertPath = flv;
    courses.Find("renamed")->nTransTimes = 3;
    pipeline->OnTransResult(report("renamed", 200, TRANS_REFUSED));
    const _sLCItemData* r = courses.Find("renamed");
    EXPECT_EQ(r->nStatus, CS_WAIT_UPLOAD);
    EXPECT_EQ(r->nTransTimes, 0);
    EXPECT_NE(r->strConvertPath, flv);
    EXPECT_EQ(r->strConvertPath.substr(r->strConvertPath.size() - 8), ".asc.flv");
    EXPECT_TRUE(FileExists(r->strConvertPath));
    EXPECT_TRUE(db->GetFileServer("renamed", &ip, &port));

    // Both renames failing (the file is gone) ends in 11 with a text that says so.
    _sLCItemData g = Rec("gone", CS_UPLOADING, 1000, 1000);
    g.strConvertPath = dir->File("converted/gone/none.flv");
    Put(g);
    pipeline->OnTransResult(report("gone", 0, TRANS_REFUSED));
    EXPECT_EQ(courses.Find("gone")->nStatus, CS_UPLOAD_FAILED);
    EXPECT_NE(courses.store.Tooltip("gone").find(cfg->GetText(kRenameFailedText)), std::string::npos);
}

TEST_F(PipelineRules, UploadOfARecordWithoutDigestDigestsItFirst)
{
    _sLCItemData r = Rec("nodigest", CS_UPLOAD_FAILED, 10, 0);
    r.strConvertPath = MakeFile("converted/nodigest/n.pdf", "%PDF-1.4 n");
    Put(r);
    pipeline->CourseUpLoadFile({"nodigest"});
    EXPECT_EQ(courses.Find("nodigest")->nStatus, CS_CONVERTED);
    EXPECT_TRUE(ui.boxes.empty()) << "no failure is shown for it";
    ASSERT_TRUE(RunUntilIdle(30000)) << Record("nodigest")->nStatus << " "
                                     << courses.store.Tooltip("nodigest") << " timer "
                                     << loop.NextTimerDueMs();
    EXPECT_EQ(Record("nodigest")->nStatus, CS_UPLOADED);
}

TEST_F(PipelineRules, QuestionsInsideLoopsSurviveRecordsVanishing)
{
    Put(Rec("one", CS_WAIT_UPLOAD, 10, 10));
    Put(Rec("two", CS_WAIT_UPLOAD, 10, 10));
    // While the first question is open the user deletes the second record.
    ui.onQuestion = [&](const std::string&) {
        pipeline->DeleteProcessItem({"two"});
        return 0;
    };
    pipeline->CourseConvertFile({"one", "two"});
    EXPECT_EQ(courses.Find("two"), nullptr);
    EXPECT_EQ(courses.Find("one")->nStatus, CS_WAIT_UPLOAD) << "answered no";
    size_t questions = 0;
    for (const auto& b : ui.boxes)
        questions += b.type == MB_QUESTION;
    EXPECT_EQ(questions, 1u) << "the deleted record is not asked about";
}

TEST_F(PipelineRules, StoppingAConversionOnlyStopsConversions)
{
    Put(Rec("waiting", CS_WAIT_UPLOAD, 10, 10));
    pipeline->CoursePauseConvertFile({"waiting"});
    EXPECT_EQ(courses.Find("waiting")->nStatus, CS_WAIT_UPLOAD);
}

TEST_F(PipelineRules, ARecordWhoseFileVanishedWaitsForTheUserWithNothingInFlight)
{
    ASSERT_TRUE(loop.PumpUntil([&] { return !pipeline->HasWorkInFlight(); }, 10000)) << "the speed test ends";
    _sLCItemData r = Rec("vanished", CS_WAIT_UPLOAD, 10, 10);
    r.strConvertPath = dir->File("converted/vanished/gone.flv");
    Put(r);
    EXPECT_EQ(pipeline->AddTransItem("vanished"), -1);
    EXPECT_EQ(courses.Find("vanished")->nStatus, CS_WAIT_UPLOAD) << "it keeps its status for the buttons";
    EXPECT_TRUE(pipeline->IsCourseWorking());
    EXPECT_FALSE(pipeline->HasWorkInFlight()) << "so a headless run can tell it will not move";
}

TEST_F(PipelineTest, SignOutCheckEndsTheSessionAndLateAnswersChangeNothing)
{
    std::vector<std::function<void(bool)>> asked;
    tune = [&](PipelineTuning& t) {
        t.sessionCheckMs = 40;
        t.checkSignOut = [&](std::function<void(bool)> done) { asked.push_back(std::move(done)); };
    };
    Boot();
    StartSession();
    ASSERT_TRUE(loop.PumpUntil([&] { return asked.size() == 1; }, 5000));
    // While an answer is due the timer asks no second time.
    loop.PumpUntil([] { return false; }, 200);
    EXPECT_EQ(asked.size(), 1u);
    asked[0](false);
    ASSERT_TRUE(loop.PumpUntil([&] { return asked.size() == 2; }, 5000));
    EXPECT_TRUE(pipeline->IsSessionRunning());
    EXPECT_EQ(ui.signedOut, 0);

    asked[1](true);
    ASSERT_TRUE(loop.PumpUntil([&] { return !pipeline->IsSessionRunning(); }, 5000));
    EXPECT_EQ(ui.signedOut, 1);

    // An answer for the ended session, arriving after a new one started, is not applied to it.
    auto stale = asked[1];
    StartSession();
    stale(true);
    loop.PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(pipeline->IsSessionRunning());
    EXPECT_EQ(ui.signedOut, 1);
}

// A bulk delete the database refuses (another program holds the file) is cancelled whole: every
// record stays listed and stored, and the user is told.
// Once the file is free the same delete lands whole, in both lists and the file.
TEST_F(PipelineRules, ABulkDeleteTheDatabaseRefusesChangesNothing)
{
    std::vector<std::string> all;
    for (int n = 0; n < 300; ++n) {
        const std::string idx = "bulk-" + std::to_string(n);
        Put(Rec(idx, n % 3 == 0 ? CS_WAIT_UPLOAD : CS_CONVERT_STOPPED, 10, n % 3 == 0 ? 10 : 0));
        all.push_back(idx);
    }
    const std::vector<std::string> half(all.begin(), all.begin() + 150);
    {
        DbOpenOptions o;
        o.strMountsFile = dir->File("no-mounts");
        o.nBusyTimeoutMs = 100;
        CLocalDb other(db->Path(), o);
        ASSERT_TRUE(other.IsOpen());
        CDbTransaction hold(other); // an exclusive hold on the file
        ASSERT_TRUE(hold.Started());
        ui.boxes.clear();
        pipeline->DeleteProcessItem(half);
        pipeline->DeleteDoneItem(half);
    }
    for (const std::string& idx : all)
        ASSERT_NE(courses.Find(idx), nullptr) << idx;
    EXPECT_EQ(converted.Indexes().size(), 100u);
    std::vector<_sLCItemData> rows;
    ASSERT_TRUE(db->GetCourseFile(cfg->m_i64UserId, &rows));
    EXPECT_EQ(rows.size(), 300u);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].type, MB_WARNING);
    EXPECT_NE(ui.boxes[0].text.find("Nothing was deleted"), std::string::npos) << ui.boxes[0].text;

    pipeline->DeleteProcessItem(half);
    ASSERT_TRUE(db->GetCourseFile(cfg->m_i64UserId, &rows));
    EXPECT_EQ(rows.size(), 150u);
    for (const _sLCItemData& r : rows)
        EXPECT_GE(std::stoi(r.strFileIndex.substr(5)), 150) << r.strFileIndex;
    EXPECT_EQ(courses.Indexes(), std::vector<std::string>(all.begin() + 150, all.end())) << "order kept";
    EXPECT_EQ(converted.Indexes().size(), 50u);
    for (const std::string& idx : converted.Indexes())
        EXPECT_GE(std::stoi(idx.substr(5)), 150) << idx;
}

// The stored records are read off the thread that runs the pipeline: a session that ends before
// they arrive never lists them, and the next one lists each record once.
TEST_F(PipelineRules, RecordsReadForAnEndedSessionAreNotListed)
{
    Put(Rec("kept-1", CS_UPLOAD_PAUSED, kGB, kGB));
    Put(Rec("kept-2", CS_WAIT_CONVERT, kGB));
    pipeline->ReleaseTaskS();
    courses.RemoveRecords(courses.Indexes());
    converted.RemoveRecords(converted.Indexes());

    pipeline->StartSession(); // the read starts on the database's thread
    pipeline->ReleaseTaskS(); // signed out before its answer is handled
    db->WaitForBackground();  // the answer waits in the loop now
    loop.PumpUntil([] { return false; }, 200);
    EXPECT_FALSE(pipeline->IsSessionRunning());
    EXPECT_TRUE(courses.Indexes().empty());

    pipeline->StartSession();
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->IsSessionRunning(); }, 10000));
    EXPECT_EQ(courses.Indexes().size(), 2u);
    EXPECT_EQ(converted.Indexes().size(), 1u);
}

namespace {

class RestoreInChunks : public PipelineTest
{
protected:
    void SetUp() override
    {
        tune = [](PipelineTuning& t) { t.restoreChunk = 2; };
        Boot();
        StartSession();
    }
};

} // namespace

// A session start lists the stored records a chunk per turn, in the stored order, the converted
// list first; a sign-out between two chunks lists nothing more.
TEST_F(RestoreInChunks, StoredOrderIsKeptAndASignOutBetweenChunksListsNothingMore)
{
    std::vector<_sLCItemData> rows;
    const int32_t statuses[] = {CS_UPLOADED, CS_UPLOAD_PAUSED, CS_WAIT_CONVERT};
    for (int i = 0; i < 7; ++i)
        rows.push_back(Rec("r" + std::to_string(i), statuses[i % 3], kGB, kGB));
    ASSERT_TRUE(db->SaveCourseFiles(rows, cfg->m_i64UserId));
    pipeline->ReleaseTaskS();

    pipeline->StartSession();
    ASSERT_TRUE(loop.PumpUntil([&] { return !converted.Indexes().empty(); }, 10000));
    EXPECT_EQ(converted.Indexes(), (std::vector<std::string>{"r0", "r1"}));
    EXPECT_TRUE(courses.Indexes().empty());
    pipeline->ReleaseTaskS();
    loop.PumpUntil([] { return false; }, 200);
    EXPECT_EQ(converted.Indexes().size(), 2u);
    EXPECT_FALSE(pipeline->IsSessionRunning());

    converted.RemoveRecords(converted.Indexes());
    pipeline->StartSession();
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->IsSessionRunning(); }, 10000));
    EXPECT_EQ(converted.Indexes(), (std::vector<std::string>{"r0", "r1", "r3", "r4", "r6"}));
    EXPECT_EQ(courses.Indexes(), (std::vector<std::string>{"r1", "r2", "r4", "r5"}));
}

// A row the user deletes while the restore still lists its chunks does not come back with a
// later chunk (a paused upload is listed in both lists, the converted one first).
TEST_F(RestoreInChunks, ARowDeletedBeforeItsLaterChunkStaysDeleted)
{
    std::vector<_sLCItemData> rows;
    for (int i = 0; i < 6; ++i)
        rows.push_back(Rec("p" + std::to_string(i), CS_UPLOAD_PAUSED, kGB, kGB));
    ASSERT_TRUE(db->SaveCourseFiles(rows, cfg->m_i64UserId));
    pipeline->ReleaseTaskS();

    pipeline->StartSession();
    ASSERT_TRUE(loop.PumpUntil([&] { return converted.Find("p1") != nullptr; }, 10000));
    ASSERT_EQ(courses.Find("p1"), nullptr) << "its course row is in a later chunk";
    pipeline->DeleteDoneItem({"p1"});
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->IsSessionRunning(); }, 10000));
    EXPECT_EQ(courses.Find("p1"), nullptr);
    EXPECT_EQ(converted.Find("p1"), nullptr);
    EXPECT_EQ(courses.Indexes().size(), 5u);
    std::vector<_sLCItemData> stored;
    ASSERT_TRUE(db->GetCourseFile(cfg->m_i64UserId, &stored));
    EXPECT_EQ(stored.size(), 5u);
}

// The session start asks the server off the pipeline's thread: with every answer slowed down,
// the loop goes on meanwhile; answers that arrive after a sign-out are not applied.
TEST_F(PipelineTest, SessionStartRequestsNeverHoldTheLoop)
{
    Boot();
    ASSERT_TRUE(sim.SetFault("delay", "1500"));
    const auto t0 = std::chrono::steady_clock::now();
    pipeline->OnFileServerList();
    // Two requests of 1.5 s each: waiting for them would take 3 s.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000))
        << "OnFileServerList waited for the server";
    EXPECT_FALSE(pipeline->IsSessionRunning());

    // Signed out before the answers: they change nothing.
    pipeline->ReleaseTaskS();
    loop.PumpUntil([] { return false; }, 4000);
    EXPECT_FALSE(pipeline->IsSessionRunning());
    EXPECT_EQ(pipeline->RootFolder(), 0) << "the tree of an ended session stays empty";

    // The next start runs through, slow answers and all.
    pipeline->OnFileServerList();
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->IsSessionRunning(); }, 30000));
    EXPECT_GT(pipeline->RootFolder(), 0);
    ASSERT_TRUE(sim.SetFault("delay", "0"));
}

// Signing out and in again while the first start's requests still wait for a slow server: the
// new start goes ahead at once, the old requests end on their own and change nothing.
TEST_F(PipelineTest, SigningInAgainNeverWaitsForTheEarlierStartsRequests)
{
    Boot();
    ASSERT_TRUE(sim.SetFault("delay", "1500"));
    pipeline->OnFileServerList();
    pipeline->ReleaseTaskS(); // signed out at once
    const auto t0 = std::chrono::steady_clock::now();
    pipeline->OnFileServerList();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000))
        << "the new start waited for the old one's requests";
    EXPECT_GE(pipeline->SessionRequestsRunning(), 1u);
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->IsSessionRunning(); }, 30000));
    EXPECT_GT(pipeline->RootFolder(), 0);
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->SessionRequestsRunning() == 0; }, 10000));
    ASSERT_TRUE(sim.SetFault("delay", "0"));
}

// A file server preset in the shipped defaults holds for the session start's own configuration
// too: the platform's list is not asked for.
TEST_F(PipelineTest, AFileServerPresetInTheShippedDefaultsHoldsForTheSessionStart)
{
    shippedDefaults = [&] {
        return "[pre]\nFileServerIP=127.0.0.1:" + std::to_string(sim.FilePorts()[0]) + "\n";
    };
    Boot();
    ASSERT_EQ(cfg->m_strPreFileSvrHost, "127.0.0.1");
    StartSession();
    EXPECT_EQ(sim.LogText().find("/ajax/getVexoraServerIpList"), std::string::npos);
}

// A named pipe and MediaInfo's verdicts.
VX_NOT_ON_WINDOWS(PipelineRules, AFailedProbeOrAMissingSourceNamesTheFilesOwnTrouble, kNoEncoders);
TEST_F(PipelineRules, AFailedProbeOrAMissingSourceNamesTheFilesOwnTrouble)
{
    cfg->Language().Load(BinDir() + "Language/SimpleChinese"); // texts to tell apart
    const std::string pipe = dir->File("pipe.mp4");
    ASSERT_TRUE(MakeFifo(pipe));
    _sLCItemData fifo = Rec("pipe", CS_WAIT_MEDIAINFO);
    fifo.strFilePath = pipe;
    Put(fifo);
    Put(Rec("gone", CS_WAIT_MEDIAINFO)); // deleted before this session
    _sLCItemData bad = Rec("bad", CS_WAIT_MEDIAINFO);
    bad.strFilePath = MakeFile("bad.mp4", "no media in here");
    Put(bad);
    pipeline->CheckMediaInfo(0);
    ASSERT_TRUE(loop.PumpUntil(
        [&] {
            for (const char* idx : {"pipe", "gone", "bad"})
                if (courses.Find(idx)->nStatus != CS_MEDIA_FAILED)
                    return false;
            return true;
        },
        30000));
    ASSERT_FALSE(cfg->GetText(2255).empty());
    EXPECT_EQ(courses.store.Tooltip("gone"), cfg->GetText(2255));
    EXPECT_EQ(courses.store.Tooltip("pipe"), cfg->GetText(2291));
    const std::string unreadable = courses.store.Tooltip("bad");
    EXPECT_TRUE(unreadable == cfg->GetText(2025) || unreadable == cfg->GetText(2277)) << unreadable;

    // Gone between the probe and the conversion: it fails saying so, instead of waiting for a
    // conversion that can never start.
    Put(Rec("moved", CS_WAIT_CONVERT));
    pipeline->OnMediaInfoResult(1, Rec("any", CS_WAIT_CONVERT));
    EXPECT_EQ(courses.Find("moved")->nStatus, CS_CONVERT_FAILED);
    EXPECT_NE(courses.store.Tooltip("moved").find(cfg->GetText(2255)), std::string::npos);
}

// An upload that fails for a passing cause goes again after a pause, a bounded number of times;
// once the cause has passed it ends uploaded.
TEST_F(PipelineTest, PassingUploadFailuresAreTriedAgainAFewTimes)
{
    tune = [](PipelineTuning& t) {
        t.uploadRetries = 2;
        t.retryFirstMs = 100;
    };
    Boot();
    cfg->Language().Load(BinDir() + "Language/SimpleChinese");
    StartSession();
    ASSERT_TRUE(loop.PumpUntil([&] { return !pipeline->HasWorkInFlight(); }, 10000)) << "the speed test ends";
    ASSERT_TRUE(sim.SetFault("drop-after", "1")); // every connection lost after a byte
    CCourseIntake intake(*pipeline);
    ASSERT_EQ(intake.AddFileToProcess(std::vector<std::string>{MakeFile("lost.pdf", "%PDF-1.4 lost")}), 1);
    const std::string lost = intake.Added().front();
    ASSERT_TRUE(RunUntilIdle(60000));
    EXPECT_EQ(courses.Find(lost)->nStatus, CS_UPLOAD_FAILED);
    EXPECT_EQ(pipeline->UploadRetries(lost), 2) << "no more than allowed";
    // The small file was sent whole before the connection went: its digest was never confirmed.
    EXPECT_NE(courses.store.Tooltip(lost).find(cfg->GetText(2267)), std::string::npos)
        << courses.store.Tooltip(lost);

    ASSERT_EQ(intake.AddFileToProcess(std::vector<std::string>{MakeFile("back.pdf", "%PDF-1.4 back")}), 1);
    const std::string back = intake.Added().front();
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->UploadRetries(back) == 1; }, 60000));
    ASSERT_TRUE(sim.SetFault("drop-after", "off"));
    ASSERT_TRUE(RunUntilIdle(60000));
    EXPECT_EQ(courses.Find(back), nullptr) << "uploaded";
    EXPECT_EQ(RemoteFiles(root).count("back.pdf"), 1u);
    EXPECT_EQ(pipeline->UploadRetries(), 3);
}
