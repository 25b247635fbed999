// `vexora run` as a user runs it: a folder tree with good and bad files, and runs killed with
// SIGKILL at several points and continued.

#include "PipelineFixture.h"

#include "integration/media/TestMedia.h"
#include "net/Session.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "store/LocalDb.h"

#include <csignal>
#include <set>
#include <thread>

using namespace vx;
using namespace vx::test;

namespace {

class RunCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        config = sim.WriteConfig(dir.Path());
        env = {"VEXORA_DATA_DIR=" + data.Path(), "VEXORA_USER=demo", "VEXORA_PASSWORD=demo123"};
        ASSERT_TRUE(media.Ok()) << media.Error();
        // The user's options: conversions into the test's folder, not the default one.
        auto cfg = LoggedIn();
        MakeDirs(data.Path() + "DB");
        CLocalDb db(data.Path() + "DB/vexora_v2.0.db");
        _sSetData options;
        options.strConvertPath = dir.File("converted");
        ASSERT_TRUE(db.UpDateSetData(options, cfg->m_i64UserId));
    }
    RunResult Run(std::vector<std::string> args, int timeoutMs = 240000)
    {
        args.insert(args.begin(), {"--config", config});
        return RunProgram("vexora", args, env, timeoutMs);
    }
    std::string Copy(const std::string& from, const std::string& rel)
    {
        std::string to = dir.File(rel);
        MakeDirs(to.substr(0, to.find_last_of('/')));
        EXPECT_TRUE(CopyFileReplace(from, to));
        return to;
    }
    // Folder name -> id below parent, and file name -> count in a folder, as the server has them.
    std::map<std::string, int64_t> Folders(CSpaceApi& api, int64_t parent)
    {
        std::vector<SpaceEntry> e;
        std::string err;
        api.RequestForDirList(parent, false, &e, &err);
        std::map<std::string, int64_t> out;
        for (const auto& f : e)
            out[f.strName] = f.i64Id;
        return out;
    }
    std::map<std::string, int> Files(CSpaceApi& api, int64_t parent)
    {
        std::vector<SpaceEntry> e;
        std::string err;
        api.RequestForDirList(parent, true, &e, &err);
        std::map<std::string, int> out;
        for (const auto& f : e)
            if (f.nType != SPACE_FOLDER)
                ++out[f.strName];
        return out;
    }
    std::unique_ptr<CAppConfig> LoggedIn()
    {
        auto cfg = std::make_unique<CAppConfig>(config);
        CSession s(*cfg);
        EXPECT_TRUE(s.Login({"demo", "demo123", false, false}));
        return cfg;
    }

    CSimProcess sim;
    CTempDir dir;
    CTempDir data;
    std::string config;
    std::vector<std::string> env;
    CTestMedia& media = CTestMedia::Get();
};

} // namespace

TEST_F(RunCli, FolderTreeWithGoodAndBadFiles)
{
    Copy(media.Mp4(), "lesson/clip.mp4");
    Copy(media.Mp3(), "lesson/audio/talk.mp3");
    Copy(media.Flv(), "lesson/audio/old.flv");
    MakeDirs(dir.File("lesson/docs"));
    WriteFile(dir.File("lesson/docs/handout.pdf"), "%PDF-1.4\n" + std::string(4000, 'p'));
    WriteFile(dir.File("lesson/docs/-\"quoted\" 'name'.swf"), "FWS" + std::string(3000, 's'));
    Copy(media.TextAsMp4(), "lesson/docs/notes.mp4");
    RunResult r = Run({"--json", "run", "--test-ms", "300", dir.File("lesson")});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    // The bad file, and only it, is named with its cause.
    EXPECT_NE(r.err.find("notes.mp4"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("handout.pdf:"), std::string::npos) << r.err;
    size_t objects = 0, uploaded = 0;
    for (size_t at = r.out.find("\"strFileIndex\""); at != std::string::npos;
         at = r.out.find("\"strFileIndex\"", at + 1))
        ++objects;
    for (size_t at = r.out.find("\"nStatus\": 15"); at != std::string::npos;
         at = r.out.find("\"nStatus\": 15", at + 1))
        ++uploaded;
    EXPECT_EQ(objects, 6u) << r.out;
    EXPECT_EQ(uploaded, 5u) << r.out;
    EXPECT_NE(r.out.find(dir.File("converted/")), std::string::npos) << "the user's convert folder is used";

    auto cfg = LoggedIn();
    CSpaceApi api(*cfg);
    auto top = Folders(api, 0);
    int64_t root = top.begin()->second;
    int64_t lesson = Folders(api, root)["lesson"];
    ASSERT_GT(lesson, 0);
    int64_t audio = Folders(api, lesson)["audio"], docs = Folders(api, lesson)["docs"];
    auto inLesson = Files(api, lesson), inAudio = Files(api, audio), inDocs = Files(api, docs);
    EXPECT_EQ(inLesson.size(), 1u);
    EXPECT_EQ(inAudio.size(), 2u);
    EXPECT_EQ(inDocs["handout.pdf"], 1);
    EXPECT_EQ(inDocs["-\"quoted\" 'name'.swf"], 1);
    EXPECT_EQ(inDocs.size(), 2u);

    // A wrong command line is 2.
    EXPECT_EQ(Run({"run", "--dir", "abc"}).exitCode, 2);
    EXPECT_EQ(Run({"run", "--bogus"}).exitCode, 2);
}

TEST_F(RunCli, SignedInElsewhereStopsTheRunAndKeepsItsRecords)
{
    Copy(media.Mp4(), "away/clip.mp4");
    WriteFile(dir.File("away/handout.pdf"), "%PDF-1.4\n" + std::string(4000, 'p'));
    ASSERT_TRUE(sim.SetFault("signed-out", "on"));
    RunResult r = Run({"run", "--test-ms", "300", "--check-ms", "100", dir.File("away")});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err.find("signed in elsewhere"), std::string::npos) << r.err;
    EXPECT_EQ(Run({"run", "--check-ms", "50"}).exitCode, 2) << "below the smallest interval";

    // The records stayed: the next run continues them to the end.
    ASSERT_TRUE(sim.SetFault("signed-out", "off"));
    RunResult again = Run({"run", "--test-ms", "300"});
    EXPECT_EQ(again.exitCode, 0) << again.err << again.out;
    EXPECT_NE(again.out.find("clip.mp4"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("handout.pdf"), std::string::npos) << again.out;
}

TEST_F(RunCli, KilledAtEveryStageThenContinuedEndsWithEachFileOnce)
{
    // Enough to catch each stage: a clip that takes a while to convert, a document large
    // enough to be caught uploading.
    std::string clip = dir.File("kill/long.mp4");
    MakeDirs(dir.File("kill"));
    RunResult made = RunProgram("/usr/bin/ffmpeg", {"-v",      "error",
                                                    "-f",      "lavfi",
                                                    "-i",      "testsrc=size=640x360:rate=25",
                                                    "-f",      "lavfi",
                                                    "-i",      "sine=frequency=300",
                                                    "-t",      "20",
                                                    "-c:v",    "libx264",
                                                    "-preset", "ultrafast",
                                                    "-c:a",    "aac",
                                                    "-y",      clip});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    Copy(media.Mp3(), "kill/talk.mp3");
    std::string big = PatternBytes(24 << 20, 7);
    WriteFile(dir.File("kill/big.pdf"), "%PDF-1.4\n" + big);
    WriteFile(dir.File("kill/small.pdf"), "%PDF-1.4 small");

    const std::string dbPath = data.Path() + "DB/vexora_v2.0.db";
    auto statuses = [&] {
        std::set<int> s;
        DbOpenOptions o;
        o.bReadOnly = true;
        CLocalDb db(dbPath, o);
        std::vector<int64_t> users;
        if (!db.IsOpen() || !db.GetCourseUsers(&users))
            return s;
        for (int64_t u : users) {
            std::vector<_sLCItemData> rows;
            db.GetCourseFile(u, &rows);
            for (const auto& r : rows)
                s.insert(r.nStatus);
        }
        return s;
    };
    // Starts a run and kills it with SIGKILL once a record is stored in one of `stage`.
    auto runAndKill = [&](std::vector<std::string> args, std::set<int> stage) {
        std::vector<std::string> full = {"--config", config};
        full.insert(full.end(), args.begin(), args.end());
        std::vector<std::string> procEnv = env;
        CProcess p;
        ProcessOptions opt;
        opt.env = procEnv;
        ASSERT_TRUE(p.Start(BinDir() + "vexora", full, opt));
        bool hit = false;
        for (int i = 0; i < 3000 && !hit; ++i) {
            for (int s : statuses())
                hit = hit || stage.count(s);
            int code = 0;
            if (!hit && p.TryWait(&code))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(p.Pid(), SIGKILL);
        int code = 0;
        p.Wait(10000, &code);
        return;
    };
    runAndKill({"run", "--test-ms", "300", dir.File("kill")},
               {CS_WAIT_CONVERT, CS_CONVERT_QUEUED});         // probing
    runAndKill({"run", "--test-ms", "300"}, {CS_CONVERTING}); // converting
    runAndKill({"run", "--test-ms", "300"}, {CS_CONVERTED});  // digesting
    runAndKill({"run", "--test-ms", "300"}, {CS_UPLOADING});  // uploading
    RunResult last = Run({"run", "--test-ms", "300"});
    ASSERT_EQ(last.exitCode, 0) << last.err << last.out;
    // A second continuation finds nothing left to do and still succeeds.
    EXPECT_EQ(Run({"run", "--test-ms", "300"}).exitCode, 0);

    auto cfg = LoggedIn();
    CSpaceApi api(*cfg);
    int64_t root = Folders(api, 0).begin()->second;
    int64_t kill = Folders(api, root)["kill"];
    ASSERT_GT(kill, 0);
    EXPECT_EQ(Folders(api, root).size(), 2u) << "the tree is mirrored once (demo has 'Lessons')";
    auto files = Files(api, kill);
    EXPECT_EQ(files.size(), 4u);
    for (const auto& [name, count] : files)
        EXPECT_EQ(count, 1) << name << " uploaded more than once";

    // Byte-identical: the server's copy of each file is the local upload file.
    DbOpenOptions o;
    o.bReadOnly = true;
    CLocalDb db(dbPath, o);
    std::vector<_sLCItemData> rows;
    ASSERT_TRUE(db.GetCourseFile(cfg->m_i64UserId, &rows));
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& r : rows) {
        EXPECT_EQ(r.nStatus, CS_UPLOADED) << r.strFilePath;
        std::string blob = sim.RootDir() + "files/" + std::to_string(cfg->m_i64OrgId) + "_" + r.strMd5 + "_" +
                           std::to_string(r.i64FileEnd);
        EXPECT_TRUE(ReadFile(blob) == ReadFile(r.strConvertPath)) << r.strFilePath;
    }
    // Each file was stored by the server once, whatever the kills interrupted.
    std::string log = sim.LogText();
    size_t stored = 0;
    for (size_t at = log.find("upload of big.pdf stored"); at != std::string::npos;
         at = log.find("upload of big.pdf stored", at + 1))
        ++stored;
    EXPECT_EQ(stored, 1u) << log;
}

// The file server's "space full" reaches the user as such: the record ends failed with that
// cause on the first refusal, under its own name (no renaming), and the run ends 1.
TEST_F(RunCli, AFullSpaceEndsTheUploadWithItsCause)
{
    const std::string doc = dir.File("full/handout.pdf");
    MakeDirs(dir.File("full"));
    WriteFile(doc, "%PDF-1.4\n" + std::string(5000, 'h'));
    // First the file server answers garbage: the record waits in the queue, failed.
    ASSERT_TRUE(sim.SetFault("garbage", "file"));
    EXPECT_EQ(Run({"run", "--test-ms", "300", doc}).exitCode, 1);
    // Then the space is full.
    sim.Stop();
    ASSERT_TRUE(sim.Start({"--quota-gb", "0"}));
    config = sim.WriteConfig(dir.Path());
    RunResult r = Run({"run", "--test-ms", "300"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    auto cfg = LoggedIn();
    EXPECT_NE(r.err.find(cfg->GetText(kSpaceFullText)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("handout.pdf"), std::string::npos) << r.err;
    const std::string log = sim.LogText();
    size_t refusals = 0;
    for (size_t at = log.find("announce -> -30000"); at != std::string::npos;
         at = log.find("announce -> -30000", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 1u) << "refused once, never renamed and tried again";
    DbOpenOptions o;
    o.bReadOnly = true;
    CLocalDb db(data.Path() + "DB/vexora_v2.0.db", o);
    std::vector<_sLCItemData> rows;
    ASSERT_TRUE(db.GetCourseFile(cfg->m_i64UserId, &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].nStatus, CS_UPLOAD_FAILED);
    EXPECT_EQ(rows[0].strConvertPath.substr(rows[0].strConvertPath.find_last_of('/') + 1), "handout.pdf");
}

// Two copies of one file in one run: the server answers the second "busy" while it takes the
// first; the second is tried again and both are uploaded.
TEST_F(RunCli, TwoCopiesOfOneFileAreBothUploaded)
{
    const std::string bytes = "%PDF-1.4\n" + PatternBytes(400000, 9);
    MakeDirs(dir.File("pair"));
    WriteFile(dir.File("pair/first.pdf"), bytes);
    WriteFile(dir.File("pair/second.pdf"), bytes);
    ASSERT_TRUE(sim.SetFault("delay", "1500"));
    RunResult r = Run({"run", "--test-ms", "300", dir.File("pair")});
    ASSERT_TRUE(sim.SetFault("delay", "0"));
    EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_NE(sim.LogText().find("announce -> -5 "), std::string::npos) << "the copies never met";
    auto cfg = LoggedIn();
    CSpaceApi api(*cfg);
    int64_t root = Folders(api, 0).begin()->second;
    auto files = Files(api, Folders(api, root)["pair"]);
    EXPECT_EQ(files["first.pdf"], 1);
    EXPECT_EQ(files["second.pdf"], 1);
}
