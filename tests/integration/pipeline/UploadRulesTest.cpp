// The upload stage against the simulator's refusals and the user's second thoughts: a full
// space, the same content on another connection, a record handed over twice, a conversion
// started again from an upload state, and records that wait for the user.

#include "PipelineFixture.h"

#include "integration/media/TestMedia.h"
#include "media/GetFileMd5Thread.h"
#include "platform/Paths.h"
#include "upload/FileTransMgr.h"
#include "upload/TestNetWorkThread.h"

using namespace vx;
using namespace vx::test;

namespace {

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class UploadRules : public PipelineRules
{
protected:
    void SetUp() override {}
    // The session against a simulator started with simArgs, once the speed test has ended (a
    // digested record then goes straight to the transfer manager).
    void Start(const std::vector<std::string>& simArgs = {})
    {
        Boot(simArgs);
        StartSession();
        ASSERT_TRUE(
            loop.PumpUntil([&] { return !pipeline->SpeedTest() || pipeline->SpeedTest()->IsDone(); }, 10000));
    }
    // A converted document waiting for its digest: source and upload file hold `bytes`.
    void Converted(const std::string& idx, const std::string& name, const std::string& bytes)
    {
        _sLCItemData r = Rec(idx, CS_CONVERTED, static_cast<int64_t>(bytes.size()));
        r.nFileType = 1;
        r.strFileName = name;
        r.strFilePath = MakeFile("in/" + idx + "/" + name, bytes);
        r.strConvertPath = MakeFile("converted/" + idx + "/" + name, bytes);
        r.i64DirId = root;
        Put(r);
    }
    int32_t Status(const std::string& idx)
    {
        const _sLCItemData* r = Record(idx);
        return r ? r->nStatus : -1;
    }
    bool UploadHeld(const std::string& idx)
    {
        return loop.PumpUntil([&] { return Status(idx) == CS_UPLOAD_QUEUED || Status(idx) == CS_UPLOADING; },
                              15000);
    }
};

} // namespace

// "Space full" is not a name clash: the upload ends at once with its cause, under its own name,
// and the space warning is shown once for the lot; the user's next attempt is told again.
TEST_F(UploadRules, AFullSpaceEndsTheUploadAtOnceWithItsCause)
{
    Start({"--quota-gb", "0"});
    Converted("full-1", "handout.pdf", "%PDF-1.4 " + std::string(3000, 'a'));
    Converted("full-2", "slides.pdf", "%PDF-1.4 " + std::string(4000, 'b'));
    pipeline->CheckFileMd5(0);
    ASSERT_TRUE(RunUntilIdle(20000)) << "status " << Status("full-1") << " " << Status("full-2");
    for (const char* idx : {"full-1", "full-2"}) {
        const _sLCItemData* r = courses.Find(idx);
        ASSERT_NE(r, nullptr) << idx;
        EXPECT_EQ(r->nStatus, CS_UPLOAD_FAILED) << idx;
        EXPECT_NE(courses.store.Tooltip(idx).find(cfg->GetText(kSpaceFullText)), std::string::npos)
            << courses.store.Tooltip(idx);
        EXPECT_EQ(r->strConvertPath, dir->File("converted/" + std::string(idx) + "/" + r->strFileName))
            << "not renamed";
    }
    EXPECT_EQ(Count(sim.LogText(), "announce -> -30000"), 2u) << "one refusal each, no retry";
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(ui.warnings[0].first, 0);

    pipeline->CourseUpLoadFile({"full-1"});
    ASSERT_TRUE(RunUntilIdle(20000));
    EXPECT_EQ(Status("full-1"), CS_UPLOAD_FAILED);
    EXPECT_TRUE(ui.boxes.empty()) << "tried again at once, while the refused run still closes";
    EXPECT_EQ(ui.warnings.size(), 2u);
}

// Two copies of one file in one addition: the server takes the first and answers the second
// "busy" (-5) while it does. The second waits and is tried again, and both end uploaded.
TEST_F(UploadRules, IdenticalContentOnAnotherConnectionIsTriedAgainLater)
{
    Start();
    ASSERT_TRUE(sim.SetFault("delay", "1500"));
    const std::string bytes = "%PDF-1.4 " + PatternBytes(300000, 11);
    Converted("twin-a", "a.pdf", bytes);
    Converted("twin-b", "b.pdf", bytes);
    pipeline->CheckFileMd5(0);
    ASSERT_TRUE(RunUntilIdle(60000)) << Status("twin-a") << " " << Status("twin-b");
    EXPECT_GE(Count(sim.LogText(), "announce -> -5 "), 1u) << "the pair never met";
    EXPECT_EQ(Status("twin-a"), CS_UPLOADED) << courses.store.Tooltip("twin-a");
    EXPECT_EQ(Status("twin-b"), CS_UPLOADED) << courses.store.Tooltip("twin-b");
    ASSERT_TRUE(sim.SetFault("delay", "0"));
    auto remote = RemoteFiles(root);
    EXPECT_EQ(remote.count("a.pdf"), 1u);
    EXPECT_EQ(remote.count("b.pdf"), 1u);
}

// The user's "upload" on a record the transfer manager holds already changes nothing: no
// second task, no refusal shown.
TEST_F(UploadRules, ARecordQueuedForUploadIsHandedOverOnce)
{
    Start();
    ASSERT_TRUE(sim.SetFault("delay", "1000"));
    Converted("once", "once.pdf", "%PDF-1.4 " + PatternBytes(100000, 2));
    pipeline->CheckFileMd5(0);
    ASSERT_TRUE(loop.PumpUntil([&] { return Status("once") == CS_UPLOAD_QUEUED; }, 10000));
    ui.boxes.clear();
    pipeline->CourseUpLoadFile({"once"});
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    EXPECT_EQ(pipeline->TransMgr()->QueuedCount() + pipeline->TransMgr()->BusyCount(), 1u);
    ASSERT_TRUE(RunUntilIdle(30000));
    EXPECT_EQ(Status("once"), CS_UPLOADED);
    ASSERT_TRUE(sim.SetFault("delay", "0"));
    EXPECT_EQ(Count(sim.LogText(), "name=once.pdf"), 1u);
}

// Converting again from an upload state: a conversion that is refused (the source has gone)
// leaves the upload running to its end.
TEST_F(UploadRules, ARefusedConversionLeavesTheUploadAsItWas)
{
    Start();
    ASSERT_TRUE(sim.SetFault("delay", "800"));
    _sLCItemData r = Rec("kept", CS_CONVERTED, 5000);
    r.strConvertPath = MakeFile("converted/kept/kept.flv", PatternBytes(60000, 5));
    r.miData.i64FileSize = 5000; // probed once: no new probe
    r.i64DirId = root;
    Put(r);
    pipeline->CheckFileMd5(0);
    ASSERT_TRUE(UploadHeld("kept"));
    ui.boxes.clear();
    pipeline->CourseConvertFile({"kept"});
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes.back().text.find(cfg->GetText(2077)), std::string::npos) << ui.boxes.back().text;
    EXPECT_TRUE(Status("kept") == CS_UPLOAD_QUEUED || Status("kept") == CS_UPLOADING) << Status("kept");
    ASSERT_TRUE(RunUntilIdle(30000)) << Status("kept");
    EXPECT_EQ(Status("kept"), CS_UPLOADED);
    ASSERT_TRUE(sim.SetFault("delay", "0"));
}

// Converting again a record whose earlier upload got a file id and an offset, while the digest
// worker is still reading the old upload file: the new file starts without the old id, offset
// and digest, the old file's digest is dropped when it comes, and the new file is uploaded.
TEST_F(UploadRules, AConversionAcceptedStartsTheUploadAfresh)
{
    Start();
    _sLCItemData r = Rec("doc", CS_CONVERTED, 20);
    r.nFileType = 1;
    r.strFileName = "doc.pdf";
    r.strFilePath = MakeFile("in/doc.pdf", "%PDF-1.4 the new one");
    // The old upload file: another name, and large enough to be read for a while.
    r.strConvertPath = MakeFile("converted/doc/doc-old.pdf", "");
    ASSERT_TRUE(WriteSparseFile(r.strConvertPath, 768LL << 20));
    r.i64FileId = 777;
    r.i64FileStart = 1000;
    r.strMd5 = "0123456789abcdef0123456789abcdef";
    r.i64FileEnd = 768LL << 20;
    r.i64DirId = root;
    Put(r);

    _sLCItemData atConverted;
    auto history = courses.onChanged;
    courses.onChanged = [&](const std::string& idx, const _sLCItemData* rec) {
        history(idx, rec);
        if (rec && rec->nStatus == CS_CONVERTED && rec->strConvertPath != r.strConvertPath)
            atConverted = *rec;
    };
    pipeline->CheckFileMd5(0);
    ASSERT_NE(pipeline->Md5Thread(), nullptr);
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->Md5Thread()->QueueLength() == 0; }, 5000));
    ASSERT_EQ(Status("doc"), CS_CONVERTED) << "the old file's digest is still being taken";
    pipeline->CourseConvertFile({"doc"});
    ASSERT_TRUE(RunUntilIdle(60000)) << Status("doc");
    EXPECT_EQ(atConverted.strFileIndex, "doc") << "the new file was never converted";
    EXPECT_EQ(atConverted.i64FileId, 0);
    EXPECT_EQ(atConverted.i64FileStart, 0);
    EXPECT_TRUE(atConverted.strMd5.empty()) << atConverted.strMd5;
    const _sLCItemData* done = Record("doc");
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->nStatus, CS_UPLOADED) << courses.store.Tooltip("doc");
    EXPECT_EQ(done->i64FileEnd, FileSize(dir->File("converted/doc/doc.pdf")));
    EXPECT_EQ(RemoteFiles(root)["doc.pdf"], done->i64FileEnd);
}

// Records that only the user can move on (an upload paused, a file that vanished between
// stages) neither keep the computer awake nor hold back the shut-down; work that moves on by
// itself does both again.
TEST_F(UploadRules, RecordsWaitingForTheUserDoNotKeepTheComputerAwake)
{
    Start();
    ASSERT_TRUE(loop.PumpUntil([&] { return !pipeline->HasWorkInFlight(); }, 10000)) << "the first hand-over";
    _sSetData o = cfg->m_setData;
    o.nUinfo |= kOptAutoShutdown;
    cfg->SetUserOptions(o);
    Put(Rec("paused", CS_UPLOAD_PAUSED, 10, 10));
    Put(Rec("source-gone", CS_WAIT_CONVERT, 10));
    EXPECT_EQ(pipeline->AddConvertItem("source-gone"), -1);
    _sLCItemData up = Rec("upload-gone", CS_WAIT_UPLOAD, 10, 10);
    up.strConvertPath = dir->File("converted/upload-gone/none.flv");
    Put(up);
    EXPECT_EQ(pipeline->AddTransItem("upload-gone"), -1);
    ASSERT_TRUE(pipeline->IsCourseWorking());

    pipeline->SetInfoData(0); // the options saved with the shut-down on
    EXPECT_FALSE(power.held);
    pipeline->CheckCourseIsWorkToTrans();
    EXPECT_FALSE(power.held);
    EXPECT_EQ(ui.shutdownOffers, 1);

    // A file added: it waits for the probe, which comes by itself.
    Put(Rec("fresh", CS_WAIT_MEDIAINFO));
    pipeline->SetInfoData(0);
    EXPECT_TRUE(power.held);
    EXPECT_GE(loop.TimerDueMs(pipeline->Target(), TIMER_WORK_CHECK), 0) << "the check runs again";
}
