// `vexora run` as a user runs it: a folder tree with good and bad files, and runs killed with
// SIGKILL at several points and continued.

#include "PipelineFixture.h"

#include "integration/media/TestMedia.h"
#include "net/Session.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "store/LocalDb.h"

#include <future>
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
        VX_SKIP_LISTED_ON_WINDOWS();
        ASSERT_TRUE(sim.Start());
        config = sim.WriteConfig(dir.Path());
        env = {"VEXORA_DATA_DIR=" + data.Path(), "VEXORA_USER=demo", "VEXORA_PASSWORD=demo123"};
        if (EncodersAvailable()) {
            ASSERT_TRUE(media.Ok()) << media.Error();
        }
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
        cfg->Language().Load(BinDir() + "Language/SimpleChinese"); // the texts the program prints
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

VX_NOT_ON_WINDOWS(RunCli, FolderTreeWithGoodAndBadFiles, kNoEncoders);
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

VX_NOT_ON_WINDOWS(RunCli, SignedInElsewhereStopsTheRunAndKeepsItsRecords, kNoEncoders);
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
    // enough to be caught uploading. Without encoders (Windows) the documents alone go through
    // the stages they have: digesting and uploading.
    const bool withMedia = EncodersAvailable();
    std::string clip = dir.File("kill/long.mp4");
    MakeDirs(dir.File("kill"));
    RunResult made = !withMedia ? RunResult{0, "", ""}
                                : RunProgram("/usr/bin/ffmpeg", {"-v",      "error",
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
    if (withMedia)
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
    // Starts a run and kills it at once (SIGKILL; TerminateProcess) once a record is stored in one
    // of `stage`.
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
        p.Kill();
    };
    std::vector<std::set<int>> stages = {{CS_CONVERTED}, {CS_UPLOADING}}; // digesting, uploading
    if (withMedia)
        stages.insert(stages.begin(),
                      {{CS_WAIT_CONVERT, CS_CONVERT_QUEUED}, {CS_CONVERTING}}); // probing, converting
    for (size_t i = 0; i < stages.size(); ++i)
        runAndKill(i == 0 ? std::vector<std::string>{"run", "--test-ms", "300", dir.File("kill")}
                          : std::vector<std::string>{"run", "--test-ms", "300"},
                   stages[i]);
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
    const size_t kFiles = withMedia ? 4 : 2;
    EXPECT_EQ(files.size(), kFiles);
    for (const auto& [name, count] : files)
        EXPECT_EQ(count, 1) << name << " uploaded more than once";

    // Byte-identical: the server's copy of each file is the local upload file.
    DbOpenOptions o;
    o.bReadOnly = true;
    CLocalDb db(dbPath, o);
    std::vector<_sLCItemData> rows;
    ASSERT_TRUE(db.GetCourseFile(cfg->m_i64UserId, &rows));
    ASSERT_EQ(rows.size(), kFiles);
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

// A dropped tree with `self -> .` and `sub/up -> ..` used to be scanned without end (memory and
// log growing until the kernel ended the run, Ctrl-C ignored); named pipes inside it are left
// out quietly, and paths that are no file or folder are named with their real cause.
VX_NOT_ON_WINDOWS(RunCli, LinkLoopsInADroppedTreeEndAndEveryFileGoesOnce, kNoSymlinks);
TEST_F(RunCli, LinkLoopsInADroppedTreeEndAndEveryFileGoesOnce)
{
    const std::string top = dir.File("looped");
    MakeDirs(dir.File("looped/sub"));
    WriteFile(dir.File("looped/a.pdf"), "%PDF-1.4 a");
    WriteFile(dir.File("looped/sub/b.pdf"), "%PDF-1.4 b");
    ASSERT_TRUE(MakeSymlink(".", top + "/self"));
    ASSERT_TRUE(MakeSymlink("..", top + "/sub/up"));
    ASSERT_TRUE(MakeFifo(top + "/sub/pipe.mp4"));
    ASSERT_TRUE(MakeFifo(dir.File("lone.mp4")));
    ASSERT_TRUE(MakeSymlink(dir.File("ring-b"), dir.File("ring-a")));
    ASSERT_TRUE(MakeSymlink(dir.File("ring-a"), dir.File("ring-b")));

    RunResult r = Run(
        {"run", "--test-ms", "300", top, dir.File("lone.mp4"), dir.File("ring-a"), dir.File("missing.pdf")},
        120000);
    EXPECT_EQ(r.exitCode, 1) << r.err << r.out;
    EXPECT_NE(r.err.find("run " + dir.File("lone.mp4") + ": not a regular file (a named pipe)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("run " + dir.File("ring-a") + ": too many levels of symbolic links"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("run " + dir.File("missing.pdf") + ": no such file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(top + "/self: skipped: a link to the folder " + top + " that holds it"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(top + "/sub/up: skipped: a link to the folder " + top + " that holds it"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("pipe.mp4"), std::string::npos) << "a pipe inside the tree goes quietly";

    auto cfg = LoggedIn();
    CSpaceApi api(*cfg);
    const int64_t rootId = Folders(api, 0).begin()->second;
    const int64_t looped = Folders(api, rootId)["looped"];
    ASSERT_GT(looped, 0);
    auto sub = Folders(api, looped);
    EXPECT_EQ(sub.size(), 1u) << "only sub, no 'self'";
    EXPECT_TRUE(Folders(api, sub["sub"]).empty()) << "no 'up'";
    auto top1 = Files(api, looped), in = Files(api, sub["sub"]);
    EXPECT_EQ(top1["a.pdf"], 1) << r.err << r.out;
    EXPECT_EQ(top1.size(), 1u);
    EXPECT_EQ(in["b.pdf"], 1);
    EXPECT_EQ(in.size(), 1u);
    // The log holds a line per real entry at most, not one per visit.
    EXPECT_LT(ReadFile(data.Path() + "Log/log.txt").size(), 256u * 1024);
}

// Names from files are printed escaped: a line feed or tab in a name cannot forge a line or a
// column of the summary. Files that failed for a reason only the user can mend are then left
// alone by the next runs instead of failing them again, until `vexora queue` removes them.
VX_NOT_ON_WINDOWS(RunCli, NamesAreEscapedAndBlockedRecordsWaitForTheUser, kNoEncoders);
TEST_F(RunCli, NamesAreEscapedAndBlockedRecordsWaitForTheUser)
{
    MakeDirs(dir.File("odd"));
    WriteFile(dir.File("odd/line\nfeed.pdf"), "%PDF-1.4 lf");
    WriteFile(dir.File("odd/tab\there.pdf"), "%PDF-1.4 tab");
    Copy(media.TextAsMp4(), "odd/notes.mp4");
    RunResult first = Run({"run", "--test-ms", "300", dir.File("odd")});
    EXPECT_EQ(first.exitCode, 1) << first.err << first.out;
    size_t lines = 0;
    for (char c : first.out)
        lines += c == '\n' ? 1 : 0;
    EXPECT_EQ(lines, 3u) << first.out;
    EXPECT_NE(first.out.find("odd/line\\nfeed.pdf\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("odd/tab\\there.pdf\n"), std::string::npos) << first.out;
    EXPECT_EQ(first.err.find("line\nfeed"), std::string::npos) << "the status lines escape too";
    EXPECT_EQ(first.err.find("tab\there"), std::string::npos);

    // A queued file whose source went before this run.
    auto cfg = LoggedIn();
    {
        CLocalDb db(data.Path() + "DB/vexora_v2.0.db");
        _sLCItemData gone;
        gone.strFileIndex = "gone-before-the-rerun";
        gone.strFilePath = dir.File("odd/gone.pdf");
        gone.strFileName = "gone.pdf";
        gone.nFileType = 1;
        gone.nStatus = CS_CONVERTING;
        ASSERT_TRUE(db.InsertNewCourseFiles({gone}, cfg->m_i64UserId));
    }
    RunResult again = Run({"run", "--test-ms", "300"});
    EXPECT_EQ(again.exitCode, 0) << again.err << again.out;
    EXPECT_NE(again.err.find("notes.mp4: skipped until you act: its probe failed"), std::string::npos)
        << again.err;
    EXPECT_NE(again.err.find("gone.pdf: skipped until you act: its source cannot be read: no such file"),
              std::string::npos)
        << again.err;
    EXPECT_NE(again.out.find("skipped\t0\t" + dir.File("odd/notes.mp4")), std::string::npos) << again.out;

    // Naming the file again is acting on it: it is tried again (and fails again).
    RunResult named = Run({"run", "--test-ms", "300", dir.File("odd/notes.mp4")});
    EXPECT_EQ(named.exitCode, 1) << named.err;
    EXPECT_EQ(named.err.find("skipped until you act"), std::string::npos) << named.err;

    const std::vector<std::string> queueEnv = env;
    RunResult listed = RunProgram("vexora", {"queue"}, queueEnv);
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.err.find("2 course files cannot get further until you act"), std::string::npos)
        << listed.err;
    EXPECT_EQ(RunProgram("vexora", {"queue", "--remove", "no-such-index"}, queueEnv).exitCode, 1);
    EXPECT_EQ(RunProgram("vexora", {"queue", "--remove"}, queueEnv).exitCode, 2);
    RunResult removed = RunProgram("vexora", {"queue", "--remove-failed"}, queueEnv);
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_NE(removed.out.find("gone-before-the-rerun"), std::string::npos) << removed.out;
    EXPECT_NE(removed.out.find("notes.mp4"), std::string::npos) << removed.out;
    RunResult after = RunProgram("vexora", {"queue"}, queueEnv);
    EXPECT_EQ(after.out.find("notes.mp4"), std::string::npos) << after.out;
    EXPECT_EQ(after.err.find("cannot get further"), std::string::npos) << after.err;
    EXPECT_NE(after.out.find("feed.pdf"), std::string::npos) << "uploaded records stay";
}

// The platform restarted while a file was uploading: the run waits and tries again instead of
// failing every file within a second, and says how many attempts it made.
TEST_F(RunCli, ABriefServerOutageIsRiddenOut)
{
    // The same ports after the restart, as a real server has.
    const std::string filePorts =
        std::to_string(sim.FilePorts()[0]) + "," + std::to_string(sim.FilePorts()[1]);
    const std::vector<std::string> samePorts = {"--web-port",     std::to_string(sim.WebPort()),
                                                "--file-ports",   filePorts,
                                                "--version-port", std::to_string(sim.VersionPort())};
    ASSERT_TRUE(sim.Start(samePorts));
    MakeDirs(dir.File("outage"));
    WriteFile(dir.File("outage/big.pdf"), "%PDF-1.4\n" + PatternBytes(24 << 20, 11));
    WriteFile(dir.File("outage/small.pdf"), "%PDF-1.4 small");

    auto run = std::async(std::launch::async, [&] {
        return Run({"run", "--test-ms", "300", dir.File("outage")});
    });
    // Down as soon as anything is on its way to the file server, up again two seconds later.
    const int64_t user = LoggedIn()->m_i64UserId;
    const std::string dbPath = data.Path() + "DB/vexora_v2.0.db";
    bool uploading = false;
    for (int i = 0; i < 6000 && !uploading; ++i) {
        DbOpenOptions o;
        o.bReadOnly = true;
        CLocalDb db(dbPath, o);
        std::vector<_sLCItemData> rows;
        if (db.IsOpen() && db.GetCourseFile(user, &rows))
            for (const auto& r : rows)
                uploading = uploading || r.nStatus == CS_UPLOADING;
        if (!uploading)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(uploading);
    sim.Stop();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_TRUE(sim.Start(samePorts));
    RunResult r = run.get();
    EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_NE(r.err.find("upload retries after passing failures"), std::string::npos) << r.err;
    auto cfg = LoggedIn();
    CSpaceApi api(*cfg);
    const int64_t outage = Folders(api, Folders(api, 0).begin()->second)["outage"];
    auto files = Files(api, outage);
    EXPECT_EQ(files["big.pdf"], 1);
    EXPECT_EQ(files["small.pdf"], 1);
}

// The disk that holds the conversions fills up: the run says so rather than that the conversion
// "stopped or failed". A small file system of its own is mounted for the run in a namespace of
// its own (skipped where that is not allowed).
VX_NOT_ON_WINDOWS(RunCli, ADiskFullWhileConvertingIsNamed, kNoEncoders);
TEST_F(RunCli, ADiskFullWhileConvertingIsNamed)
{
    if (RunProgram("/usr/bin/unshare", {"-rm", "/bin/true"}).exitCode != 0)
        GTEST_SKIP() << "no user and mount namespaces here";
    const std::string out = dir.File("tiny");
    MakeDirs(out);
    Copy(media.Mp4(), "full/clip.mp4");
    std::vector<std::string> args = {"-rm",
                                     "/bin/sh",
                                     "-c",
                                     "mount -t tmpfs -o size=4k vexora-test \"$1\" && shift && exec \"$@\"",
                                     "sh",
                                     out,
                                     BinDir() + "vexora",
                                     "--config",
                                     config,
                                     "run",
                                     "--test-ms",
                                     "300",
                                     "--out",
                                     out,
                                     dir.File("full/clip.mp4")};
    RunResult r = RunProgram("/usr/bin/unshare", args, env, 240000);
    EXPECT_EQ(r.exitCode, 1) << r.err << r.out;
    auto cfg = LoggedIn();
    ASSERT_FALSE(cfg->GetText(2293).empty());
    EXPECT_NE(r.err.find(cfg->GetText(2293)), std::string::npos) << r.err;
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
