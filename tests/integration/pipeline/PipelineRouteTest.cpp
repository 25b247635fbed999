// Course files going the whole way against the simulator, the real workers and encoders.

#include "PipelineFixture.h"

#include "integration/media/TestMedia.h"
#include "media/ConvertMgr.h"
#include "platform/Paths.h"
#include "upload/FileTransMgr.h"
#include "upload/TestNetWorkThread.h"

#include <algorithm>
#include <optional>

using namespace vx;
using namespace vx::test;

namespace {

bool Contains(const std::vector<int32_t>& v, int32_t s)
{
    return std::find(v.begin(), v.end(), s) != v.end();
}

} // namespace

TEST_F(PipelineTest, DocumentGoesFromProbeToUploadWithoutAnEncoder)
{
    Boot();
    StartSession();
    std::string pdf = MakeFile("in/lecture notes.pdf", "%PDF-1.4\n" + std::string(5000, 'x'));
    CCourseIntake intake(*pipeline);
    ASSERT_EQ(intake.AddFileToProcess(std::vector<std::string>{pdf}), 1);
    const std::string idx = intake.Added().front();
    ASSERT_TRUE(RunUntilIdle());

    const _sLCItemData* r = Record(idx);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->nStatus, CS_UPLOADED);
    EXPECT_EQ(courses.Find(idx), nullptr) << "an uploaded record leaves the course list";
    // 2 -> 3 -> 8 -> 10 -> (12, 13) -> 15, never through the convert manager's 5 and 6.
    const auto& h = History(idx);
    EXPECT_EQ(h.front(), CS_WAIT_MEDIAINFO);
    EXPECT_TRUE(Contains(h, CS_WAIT_CONVERT) && Contains(h, CS_CONVERTED) && Contains(h, CS_WAIT_UPLOAD));
    EXPECT_FALSE(Contains(h, CS_CONVERT_QUEUED) || Contains(h, CS_CONVERTING));
    // The upload file is a copy named like the source in a folder named by the file index.
    EXPECT_EQ(r->strConvertPath, JoinPath(JoinPath(dir->File("converted"), idx), "lecture notes.pdf"));
    EXPECT_EQ(ReadFile(r->strConvertPath), ReadFile(pdf));
    EXPECT_EQ(RemoteFiles(root)["lecture notes.pdf"], FileSize(pdf));
    // The space list shows the folder, so the finished file appears there at once.
    ASSERT_EQ(space.entries.size(), 1u);
    EXPECT_EQ(space.entries[0].i64Id, r->i64FileId);
    // Stored as uploaded: a restart keeps it out of the course list.
    std::vector<_sLCItemData> rows;
    ASSERT_TRUE(db->GetCourseFile(cfg->m_i64UserId, &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].nStatus, CS_UPLOADED);
    EXPECT_DOUBLE_EQ(pipeline->InProcessSize(), 0.0);
}

TEST_F(PipelineTest, ClipIsConvertedDigestedAndUploadedWhileTheSpeedTestDecides)
{
    VX_SKIP_ON_WINDOWS(kNoEncoders);
    // A long speed test: the clip and the document are converted and digested while it measures,
    // and both land once the test has reported.
    Boot({}, 6000);
    StartSession();
    CTestMedia& media = CTestMedia::Get();
    ASSERT_TRUE(media.Ok()) << media.Error();
    std::string pdf = MakeFile("in/a.pdf", "%PDF-1.4\n" + std::string(3000, 'y'));
    CCourseIntake intake(*pipeline);
    ASSERT_EQ(intake.AddFileToProcess(std::vector<std::string>{pdf, media.Mp4()}), 2);
    const std::string doc = intake.Added()[0], clip = intake.Added()[1];
    ASSERT_TRUE(RunUntilIdle());
    EXPECT_EQ(Record(doc)->nStatus, CS_UPLOADED);
    EXPECT_EQ(Record(clip)->nStatus, CS_UPLOADED);
    EXPECT_TRUE(Contains(History(clip), CS_CONVERTING));
    auto files = RemoteFiles(root);
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(files.count("a.pdf"), 1u);
    // The choice of server is remembered per file for a resumed upload.
    std::string ip;
    int port = 0;
    db->GetFileServer(clip, &ip, &port);
    EXPECT_EQ(ip, "127.0.0.1");
}

TEST_F(PipelineTest, DocumentsUploadWhileTheSpeedTestMeasuresOnePerFreeSlot)
{
    // One upload at a time and every answer of the simulator slowed, so an upload lasts most of
    // a second and the speed test (6 s over two file servers) ends with documents still waiting.
    // Meanwhile the first server that answered the test takes the documents one per free slot;
    // the rest wait (-4) and go to the server the test chose once it reports.
    Boot({}, 6000);
    _sSetData options;
    ASSERT_TRUE(db->GetSetData(options, cfg->m_i64UserId));
    options.nUploadMax = 1;
    ASSERT_TRUE(db->UpDateSetData(options, cfg->m_i64UserId));
    std::map<std::string, bool> handedDuringTest;
    auto base = courses.onChanged;
    courses.onChanged = [&, base](const std::string& idx, const _sLCItemData* r) {
        base(idx, r);
        if (r && r->nStatus == CS_UPLOAD_QUEUED && !handedDuringTest.count(idx))
            handedDuringTest[idx] = pipeline->ProvisionalServer().has_value();
    };
    StartSession();
    ASSERT_TRUE(sim.SetFault("delay", "400"));
    std::vector<std::string> pdfs;
    for (int i = 0; i < 10; ++i)
        pdfs.push_back(MakeFile("in/slide" + std::to_string(i) + ".pdf",
                                "%PDF-1.4\n" + std::string(2000 + i, static_cast<char>('a' + i))));
    CCourseIntake intake(*pipeline);
    ASSERT_EQ(intake.AddFileToProcess(pdfs), 10);
    std::optional<FileServerChoice> first;
    bool uploadedDuringTest = false;
    size_t mostQueued = 0;
    ASSERT_TRUE(loop.PumpUntil(
        [&] {
            if (auto p = pipeline->ProvisionalServer()) {
                first = p;
                mostQueued = std::max(mostQueued, pipeline->TransMgr()->QueuedCount());
                for (const std::string& idx : intake.Added())
                    uploadedDuringTest = uploadedDuringTest || Record(idx)->nStatus == CS_UPLOADED;
            }
            return !pipeline->IsCourseWorking() && loop.NextTimerDueMs() < 0;
        },
        120000));
    ASSERT_TRUE(sim.SetFault("delay", "0"));
    ASSERT_TRUE(first.has_value()) << "no server answered the speed test";
    EXPECT_TRUE(uploadedDuringTest) << "the uploads waited for the speed test";
    // Nothing piles up in the transfer manager's queue: at most the next file, waiting for the
    // slot the last one is leaving.
    EXPECT_LE(mostQueued, 1u) << "the documents were all handed to the first server at once";
    ASSERT_TRUE(pipeline->SpeedTest()->IsDone());
    EXPECT_FALSE(pipeline->ProvisionalServer().has_value());
    const uint16_t chosen = cfg->m_usFileSvrPort;
    size_t during = 0, after = 0;
    for (const std::string& idx : intake.Added()) {
        EXPECT_EQ(Record(idx)->nStatus, CS_UPLOADED);
        ASSERT_TRUE(handedDuringTest.count(idx));
        std::string ip;
        int port = 0;
        ASSERT_TRUE(db->GetFileServer(idx, &ip, &port));
        EXPECT_EQ(port, handedDuringTest[idx] ? first->usPort : chosen) << idx;
        ++(handedDuringTest[idx] ? during : after);
    }
    EXPECT_GT(during, 0u);
    EXPECT_GT(after, 0u) << "every upload finished before the test ended: nothing went to its choice";
    EXPECT_EQ(RemoteFiles(root).size(), 10u);
}

TEST_F(PipelineTest, UploadIntoADeletedFolderGoesToTheRootFolder)
{
    Boot();
    StartSession();
    int64_t gone = 0;
    std::string err;
    ASSERT_TRUE(api->RequestForCreateDirectroy(root, "soon gone", &gone, &err));
    ASSERT_TRUE(api->RequestForDeleteDir({gone}, &err));
    std::string pdf = MakeFile("in/moved.pdf", "%PDF-1.4\n" + std::string(2000, 'z'));
    space.Show(gone);
    CCourseIntake intake(*pipeline);
    ASSERT_EQ(intake.AddFileToProcess(std::vector<std::string>{pdf}), 1);
    const std::string idx = intake.Added().front();
    EXPECT_EQ(courses.Find(idx)->i64DirId, gone);
    ASSERT_TRUE(RunUntilIdle());
    const _sLCItemData* r = Record(idx);
    EXPECT_EQ(r->nStatus, CS_UPLOADED);
    EXPECT_EQ(r->i64DirId, root);
    EXPECT_EQ(RemoteFiles(root).count("moved.pdf"), 1u);
    // The user is told where it went.
    EXPECT_NE(courses.store.Tooltip(idx).find(cfg->GetText(2274)), std::string::npos);
}

TEST_F(PipelineTest, ClosingDuringAConversionAsksFirst)
{
    VX_SKIP_ON_WINDOWS(kNoEncoders);
    Boot();
    StartSession();
    // A clip long enough to be caught converting.
    std::string clip = dir->File("in/long.mp4");
    MakeDirs(dir->File("in"));
    RunResult made =
        RunProgram("/usr/bin/ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=640x480:rate=25",
                                       "-t", "40", "-c:v", "libx264", "-preset", "ultrafast", "-y", clip});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    CCourseIntake intake(*pipeline);
    ASSERT_EQ(intake.AddFileToProcess(std::vector<std::string>{clip}), 1);
    const std::string idx = intake.Added().front();
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->ConvertMgr()->BusyCount() > 0; }, 30000));

    ui.answer = 0; // "no": keep converting
    EXPECT_FALSE(pipeline->OnClose());
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().type, MB_QUESTION);
    EXPECT_NE(ui.boxes.back().text.find(cfg->GetText(2050)), std::string::npos);
    EXPECT_TRUE(pipeline->IsSessionRunning());
    EXPECT_EQ(pipeline->ConvertMgr()->BusyCount(), 1u);

    ui.answer = 1;
    EXPECT_TRUE(pipeline->OnClose());
    EXPECT_FALSE(pipeline->IsSessionRunning());
    EXPECT_EQ(pipeline->ConvertMgr(), nullptr);
    // The record stays for the next start, which probes it again.
    std::vector<_sLCItemData> rows;
    ASSERT_TRUE(db->LoadCourseFiles(cfg->m_i64UserId, &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].nStatus, CS_WAIT_MEDIAINFO);
}

TEST_F(PipelineTest, RestartFoldsBackAndFinishesWhatWasLeft)
{
    VX_SKIP_ON_WINDOWS(kNoEncoders);
    Boot();
    // Records as an interrupted earlier session left them: one converted (its upload file
    // there), one in the middle of its conversion.
    std::string flv = MakeFile("converted/idx-a/talk.flv", "FLV" + std::string(4000, 'f'));
    CTestMedia& media = CTestMedia::Get();
    ASSERT_TRUE(media.Ok());
    _sLCItemData a, b;
    a.strFileIndex = "idx-a";
    a.strFilePath = media.Flv();
    a.strFileName = "clip.flv";
    a.strConvertPath = flv;
    a.nStatus = CS_UPLOADING;
    a.i64FileSize = 4003;
    b.strFileIndex = "idx-b";
    b.strFilePath = media.Mp3();
    b.strFileName = "audio.mp3";
    b.nStatus = CS_CONVERTING;
    b.i64FileSize = FileSize(media.Mp3());
    ASSERT_TRUE(db->SaveCourseFiles({a, b}, cfg->m_i64UserId));
    StartSession();
    // Converted and not uploaded goes back to the digest; the rest back to probing.
    EXPECT_NE(converted.Find("idx-a"), nullptr);
    EXPECT_EQ(converted.Find("idx-b"), nullptr);
    EXPECT_EQ(courses.Find("idx-a")->i64DirId, root) << "a record without a folder goes to the root folder";
    ASSERT_TRUE(RunUntilIdle());
    EXPECT_EQ(Record("idx-a")->nStatus, CS_UPLOADED);
    EXPECT_EQ(Record("idx-b")->nStatus, CS_UPLOADED);
    EXPECT_EQ(History("idx-b").front(), CS_WAIT_MEDIAINFO);
    EXPECT_EQ(RemoteFiles(root).size(), 2u);
}
