// One worker per queue, as users meet it: two `vexora run` on one data folder, a run adding files
// while another works, a run waiting for the queue, and the window's start-up next to a working
// conversion. Real programs against the simulator, real encoders.

#include "common/SimHarness.h"
#include "integration/media/TestMedia.h"
#include "net/Session.h"
#include "net/SpaceApi.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "store/LocalDb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace vx;
using namespace vx::test;

namespace {

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    return names;
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        if (done())
            return true;
    return done();
}

// Our encoders (the build's codecs/) working in folder, told apart by their working directory.
std::vector<ProcessId> EncodersIn(const std::string& folder)
{
    std::vector<ProcessId> found;
#ifdef _WIN32
    (void)folder; // no encoders there (the cases that need them skip)
#else
    for (const char* name : {"ffmpeg", "mencoder", "Yamdi-Extend"})
        for (ProcessId pid : FindProcessesStartedFrom(BinDir() + "codecs/" + name)) {
            char buf[4096];
            ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/cwd").c_str(), buf, sizeof(buf) - 1);
            if (n > 0 && std::string(buf, static_cast<size_t>(n)) + "/" == folder)
                found.push_back(pid);
        }
#endif
    return found;
}

// Waits for encoders at work on a file of the conversion folder `out` (each file has a folder of
// its own there).
std::vector<ProcessId> WaitForEncoders(const std::string& out)
{
    std::vector<ProcessId> encoders;
    WaitFor(
        [&] {
            for (const std::string& sub : ListFolder(out))
                for (ProcessId pid : EncodersIn(out + sub + "/"))
                    encoders.push_back(pid);
            return !encoders.empty();
        },
        120000);
    return encoders;
}

class RunQueue : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VX_SKIP_LISTED_ON_WINDOWS();
        ASSERT_TRUE(sim.Start());
        config = sim.WriteConfig(dir.Path());
        env = {"VEXORA_DATA_DIR=" + data.Path(), "VEXORA_USER=demo", "VEXORA_PASSWORD=demo123",
               "VEXORA_CONFIG=" + config};
        auto cfg = LoggedIn();
        MakeDirs(data.Path() + "DB");
        CLocalDb db(DbPath());
        _sSetData options;
        options.strConvertPath = dir.File("converted");
        ASSERT_TRUE(db.UpDateSetData(options, cfg->m_i64UserId));
        user = cfg->m_i64UserId;
    }
    RunResult Run(std::vector<std::string> args, int timeoutMs = 240000)
    {
        return RunProgram("vexora", args, env, timeoutMs);
    }
    std::unique_ptr<CAppConfig> LoggedIn()
    {
        auto cfg = std::make_unique<CAppConfig>(config);
        CSession s(*cfg);
        EXPECT_TRUE(s.Login({"demo", "demo123", false, false}));
        return cfg;
    }
    std::string DbPath() const { return data.Path() + "DB/vexora_v2.0.db"; }
    std::vector<_sLCItemData> Records()
    {
        DbOpenOptions o;
        o.bReadOnly = true;
        CLocalDb db(DbPath(), o);
        std::vector<_sLCItemData> rows;
        db.GetCourseFile(user, &rows);
        return rows;
    }
    // A clip that keeps an encoder busy for a while.
    std::string LongClip(const std::string& rel, int seconds)
    {
        std::string clip = dir.File(rel);
        MakeDirs(clip.substr(0, clip.find_last_of('/')));
        RunResult made = RunProgram("/usr/bin/ffmpeg", {"-v",      "error",
                                                        "-f",      "lavfi",
                                                        "-i",      "testsrc=size=640x360:rate=25",
                                                        "-f",      "lavfi",
                                                        "-i",      "sine=frequency=300",
                                                        "-t",      std::to_string(seconds),
                                                        "-c:v",    "libx264",
                                                        "-preset", "ultrafast",
                                                        "-c:a",    "aac",
                                                        "-y",      clip});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return clip;
    }
    // Files in the user's root folder and below, name -> how many times the server has it.
    std::map<std::string, int> RemoteFiles()
    {
        auto cfg = LoggedIn();
        CSpaceApi api(*cfg);
        std::map<std::string, int> files;
        std::vector<int64_t> folders;
        std::vector<SpaceEntry> top;
        std::string err;
        api.RequestForDirList(0, false, &top, &err);
        for (const SpaceEntry& e : top)
            if (e.i64OwnId == user)
                folders.push_back(e.i64Id);
        while (!folders.empty()) {
            int64_t id = folders.back();
            folders.pop_back();
            std::vector<SpaceEntry> entries;
            api.RequestForDirList(id, true, &entries, &err);
            for (const SpaceEntry& e : entries)
                e.nType == SPACE_FOLDER ? folders.push_back(e.i64Id) : void(++files[e.strName]);
        }
        return files;
    }

    CSimProcess sim;
    CTempDir dir;
    CTempDir data;
    std::string config;
    std::vector<std::string> env;
    int64_t user = 0;
};

} // namespace

VX_NOT_ON_WINDOWS(RunQueue, TwoRunsNeverWorkTheSameRecordsAndAHeldQueueGetsTheFilesAdded, kNoEncoders);
TEST_F(RunQueue, TwoRunsNeverWorkTheSameRecordsAndAHeldQueueGetsTheFilesAdded)
{
    LongClip("lesson/clip.mp4", 12);
    MakeDirs(dir.File("lesson/docs"));
    WriteFile(dir.File("lesson/docs/handout.pdf"), "%PDF-1.4\n" + std::string(6000, 'p'));
    WriteFile(dir.File("lesson/docs/slides.swf"), "FWS" + std::string(5000, 's'));

    // Another program works the queue: a run without files says who and leaves; one with files
    // adds them for it and says so.
    {
        CFileLock window(data.Path() + "DB/queue.lock");
        ASSERT_TRUE(window.TryLock("VexoraV2 (pid 4242)"));
        RunResult alone = Run({"run", "--test-ms", "300"});
        EXPECT_EQ(alone.exitCode, 1);
        EXPECT_NE(alone.err.find("being worked by VexoraV2 (pid 4242)"), std::string::npos) << alone.err;
        RunResult adding = Run({"run", "--test-ms", "300", dir.File("lesson")});
        EXPECT_EQ(adding.exitCode, 1) << adding.out;
        EXPECT_NE(adding.err.find("3 files were added to the queue, which VexoraV2 (pid 4242) is working"),
                  std::string::npos)
            << adding.err;
        std::vector<_sLCItemData> rows = Records();
        ASSERT_EQ(rows.size(), 3u);
        for (const auto& r : rows)
            EXPECT_EQ(r.nStatus, CS_WAIT_MEDIAINFO)
                << r.strFilePath << ": worked by a program not holding the queue";
    }

    // Two runs at once on that queue: one works it, the other says so and leaves.
    RunResult first, second;
    std::thread a([&] { first = Run({"run", "--test-ms", "300"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::thread b([&] { second = Run({"run", "--test-ms", "300"}); });
    a.join();
    b.join();
    RunResult& worker = first.exitCode == 0 ? first : second;
    RunResult& other = first.exitCode == 0 ? second : first;
    EXPECT_EQ(worker.exitCode, 0) << first.err << second.err;
    EXPECT_EQ(other.exitCode, 1) << other.out;
    EXPECT_NE(other.err.find("the queue is being worked by vexora run (pid "), std::string::npos)
        << other.err;

    for (const auto& r : Records())
        EXPECT_EQ(r.nStatus, CS_UPLOADED) << r.strFilePath;
    auto files = RemoteFiles();
    EXPECT_EQ(files.size(), 3u);
    for (const auto& [name, count] : files)
        EXPECT_EQ(count, 1) << name << " uploaded more than once";
}

VX_NOT_ON_WINDOWS(RunQueue, FilesAddedWhileARunWorksAreUploadedByIt, kNoEncoders);
TEST_F(RunQueue, FilesAddedWhileARunWorksAreUploadedByIt)
{
    LongClip("long/clip.mp4", 20);
    MakeDirs(dir.File("later"));
    WriteFile(dir.File("later/notes.pdf"), "%PDF-1.4\n" + std::string(7000, 'n'));
    RunResult worker;
    std::thread a([&] { worker = Run({"run", "--test-ms", "300", dir.File("long")}); });
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const auto& r : Records())
                if (r.nStatus == CS_CONVERTING)
                    return true;
            return false;
        },
        120000));
    RunResult adding = Run({"run", "--test-ms", "300", dir.File("later")});
    a.join();
    EXPECT_EQ(adding.exitCode, 1) << adding.out;
    EXPECT_NE(adding.err.find("1 file was added to the queue, which vexora run (pid "), std::string::npos)
        << adding.err;
    EXPECT_EQ(worker.exitCode, 0) << worker.err;
    std::vector<_sLCItemData> rows = Records();
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& r : rows)
        EXPECT_EQ(r.nStatus, CS_UPLOADED) << r.strFilePath;
    auto files = RemoteFiles();
    EXPECT_EQ(files["notes.pdf"], 1);
    EXPECT_EQ(files.size(), 2u);
}

TEST_F(RunQueue, WaitTakesTheQueueWhenItsHolderLetsGo)
{
    MakeDirs(dir.File("docs"));
    WriteFile(dir.File("docs/a.pdf"), "%PDF-1.4\n" + std::string(3000, 'a'));
    auto window = std::make_unique<CFileLock>(data.Path() + "DB/queue.lock");
    ASSERT_TRUE(window->TryLock("VexoraV2 (pid 4242)"));
    CProcess run;
    ProcessOptions opt;
    opt.env = env;
    opt.captureStdout = true;
    opt.captureStderr = true;
    ASSERT_TRUE(run.Start(BinDir() + "vexora", {"run", "--wait", "--test-ms", "300", dir.File("docs")}, opt));
    std::string out, err;
    auto read = [&] {
        run.ReadStdout(&out);
        run.ReadStderr(&err);
    };
    // However long the program takes to start (Wine is slow at it), it says whom it waits for.
    EXPECT_TRUE(WaitFor(
        [&] {
            read();
            return err.find("waiting for VexoraV2 (pid 4242) to finish with the queue") != std::string::npos;
        },
        60000))
        << err;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(Records().empty()) << "nothing is added before the queue is ours";
    window.reset();
    int code = -1;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::minutes(4);
         !run.TryWait(&code) && std::chrono::steady_clock::now() < end;)
        if (run.WaitOutput(100))
            read();
    read();
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(RemoteFiles()["a.pdf"], 1);
}

VX_NOT_ON_WINDOWS(RunQueue, WindowStartLeavesAWorkingConversionsEncoderAlone, kNoWindowProgram);
TEST_F(RunQueue, WindowStartLeavesAWorkingConversionsEncoderAlone)
{
    std::string clip = LongClip("sweep/clip.mp4", 40);
    std::string out = dir.File("sweep-out/");
    MakeDirs(out);
    RunResult converted;
    std::thread c([&] { converted = Run({"convert", "--out", out, clip}); });
    const std::vector<ProcessId> encoders = WaitForEncoders(out);
    ASSERT_FALSE(encoders.empty());

    // The window starts (headless: the start-up without the windows) and sweeps leftovers.
    RunResult started = RunProgram("VexoraV2", {"--headless"}, env, 60000);
    EXPECT_EQ(started.exitCode, 0) << started.err;
    c.join();
    EXPECT_EQ(converted.exitCode, 0) << converted.err;
    const std::string log = ReadFile(data.Path() + "Log/log.txt");
    for (ProcessId pid : encoders)
        EXPECT_EQ(log.find("ended leftover encoder process " + std::to_string(pid) + "\n"), std::string::npos)
            << "the window ended encoder " << pid << " of a conversion that was working";
}

VX_NOT_ON_WINDOWS(RunQueue, AKilledRunLeavesNoEncoderBehind, kNoWindowProgram);
TEST_F(RunQueue, AKilledRunLeavesNoEncoderBehind)
{
    LongClip("killed/clip.mp4", 40);
    CProcess run;
    ProcessOptions opt;
    opt.env = env;
    ASSERT_TRUE(run.Start(BinDir() + "vexora", {"run", "--test-ms", "300", dir.File("killed")}, opt));
    const std::vector<ProcessId> encoders = WaitForEncoders(dir.File("converted/"));
    ASSERT_FALSE(encoders.empty());
    run.Kill();
    for (ProcessId pid : encoders)
        EXPECT_TRUE(WaitFor([&] { return !ProcessRunning(pid); }, 3000))
            << "encoder " << pid << " outlived its run";
    // Nothing of it is left to end when the window starts.
    RunResult started = RunProgram("VexoraV2", {"--headless"}, env, 60000);
    EXPECT_EQ(started.exitCode, 0) << started.err;
    EXPECT_EQ(ReadFile(data.Path() + "Log/log.txt").find("ended leftover encoder process"),
              std::string::npos);
}
