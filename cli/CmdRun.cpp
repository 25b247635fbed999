// vexora run [--dir ID] [--out DIR] [--test-ms MS] [--check-ms MS] [PATH...]: the whole course pipeline
// without windows. With paths the files (and folder trees, mirrored remotely in one batch) are added to
// folder ID (default: the user's root folder, created when missing); without paths the user's queue in the
// local database continues. The pipeline then runs until nothing is working: probe, conversion (documents are
// copied), digest and upload, overlapping, every status change stored, so an interrupted run (Ctrl-C, or even
// kill -9) is continued by the next one. One program at a time works the queue of a data folder; --wait waits
// for the one that does (RunQueue.h).

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/CliSession.h"
#include "cli/JsonOut.h"
#include "cli/RunQueue.h"
#include "cli/RunView.h"
#include "net/SpaceApi.h"
#include "pipeline/CourseIntake.h"
#include "pipeline/CoursePipeline.h"
#include "pipeline/MemoryModels.h"
#include "platform/Paths.h"
#include "platform/PowerRequest.h"
#include "platform/Terminal.h"
#include "store/LocalDb.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <deque>

namespace vx::cli {
namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnStopSignal(int)
{
    g_stop = true;
}

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? JoinPath(cwd, path) : path;
}

std::string OneLine(std::string s)
{
    for (char& c : s)
        if (c == '\n' || c == '\r')
            c = ' ';
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// The folder the files go to: --dir when given (looked up below the top-level folders so its
// owner is known), else the user's root folder, created when missing. 0 when it cannot be had.
int64_t TargetFolder(CCoursePipeline& pipeline, CMemFolderTree& tree, CSpaceApi& api, bool haveDir,
                     int64_t dir, std::string* error)
{
    if (!haveDir) {
        int64_t root = pipeline.RootFolder();
        if (root > 0)
            return root;
        const std::string name = CAppConfig::Instance().m_strAccountName.empty()
                                     ? CAppConfig::Instance().m_strLoginName
                                     : CAppConfig::Instance().m_strAccountName;
        int64_t id = 0;
        std::string err;
        if (!api.RequestForCreateDirectroy(0, name, &id, &err) || id <= 0) {
            *error = "the root folder could not be created: " + (err.empty() ? api.GetFailureCause() : err);
            return 0;
        }
        SpaceRow row;
        row.i64Id = id;
        row.i64OwnId = pipeline.UserId();
        row.nLevel = 0;
        row.strName = name;
        tree.AddFolder(row);
        return id;
    }
    // Breadth first below the top level, a bounded number of requests.
    std::deque<int64_t> queue;
    if (tree.Find(dir))
        return dir;
    std::vector<SpaceEntry> top;
    std::string err;
    if (api.RequestForDirList(0, false, &top, &err))
        for (const SpaceEntry& e : top)
            queue.push_back(e.i64Id);
    for (int requests = 0; !queue.empty() && requests < 500 && !tree.Find(dir); ++requests) {
        int64_t parent = queue.front();
        queue.pop_front();
        std::vector<SpaceEntry> children;
        if (!api.RequestForDirList(parent, false, &children, &err))
            continue;
        for (SpaceEntry& c : children) {
            tree.AddFolder(c);
            queue.push_back(c.i64Id);
        }
    }
    if (tree.Find(dir))
        return dir;
    *error = "folder " + std::to_string(dir) + " was not found in the organisation's space";
    return 0;
}

int RunPipeline(CCliArgs& args)
{
    long long dirArg = 0;
    bool haveDir = false;
    if (!args.TakeInt64("--dir", &dirArg, &haveDir))
        return UsageError(args, args.Error());
    auto testMsText = args.TakeOption("--test-ms");
    auto checkMsText = args.TakeOption("--check-ms");
    auto outDir = args.TakeOption("--out");
    const bool waitForQueue = args.TakeFlag("--wait");
    std::vector<std::string> paths;
    if (!args.Positionals(&paths))
        return UsageError(args, args.Error());
    if (haveDir && dirArg <= 0)
        return UsageError(args, "--dir needs the id of a remote folder (above 0)");
    int testMs = 10000;
    if (testMsText) {
        char* end = nullptr;
        long v = strtol(testMsText->c_str(), &end, 10);
        if (testMsText->empty() || *end != '\0' || v < 100 || v > 600000)
            return UsageError(args, "--test-ms takes milliseconds from 100 to 600000");
        testMs = static_cast<int>(v);
    }
    int checkMs = kSessionCheckMs;
    if (checkMsText) {
        char* end = nullptr;
        long v = strtol(checkMsText->c_str(), &end, 10);
        if (checkMsText->empty() || *end != '\0' || v < 100 || v > 3600000)
            return UsageError(args, "--check-ms takes milliseconds from 100 to 3600000");
        checkMs = static_cast<int>(v);
    }
    int failedPaths = 0;
    std::vector<std::string> inputs;
    for (const std::string& p : paths) {
        std::string abs = Absolute(p);
        if (!FileExists(abs) && !DirExists(abs)) {
            Fail("run " + p + ": no such file or folder");
            ++failedPaths;
            continue;
        }
        inputs.push_back(abs);
    }
    if (!paths.empty() && inputs.empty())
        return kExitFailed;

    int rc = kExitOk;
    std::shared_ptr<CFileLock> queueLock = RunQueueLock();
    if (!TakeRunQueue(*queueLock, waitForQueue, !inputs.empty(), &rc))
        return rc;
    if (!LoginForCommand(args, &rc))
        return rc;
    CAppConfig& cfg = CAppConfig::Instance();
    CLocalDb& db = CLocalDb::Instance();
    if (!db.IsOpen())
        return Fail("the local database " + db.Path() + " cannot be opened: " + db.LastError());

    CMemCourseList courses;
    CMemConvertedList converted;
    CMemFolderTree tree;
    CMemSpaceList space;
    const bool tty = IsTerminal(StdStream::Err) && !args.Json();
    CRunView view(courses, tty);
    courses.onChanged = [&view](const std::string& idx, const _sLCItemData* r) { view.OnChanged(idx, r); };
    CPowerInhibitor power;
    CSpaceApi api(cfg);
    CMessageLoop& loop = CMessageLoop::Main();
    PipelineTuning tuning;
    tuning.speedTestMs = testMs;
    tuning.keepAwakeWhileWorking = true;
    tuning.queueLock = queueLock;
    tuning.queueOwner = RunQueueOwner();
    tuning.waitForQueue = false; // held by another: the files are added for it
    if (outDir) {
        tuning.strConvertPath = Absolute(*outDir);
        if (!DirExists(tuning.strConvertPath) && !MakeDirs(tuning.strConvertPath))
            return Fail("run: the output folder " + tuning.strConvertPath + " cannot be created");
    }
    CCoursePipeline pipeline(PipelineDeps{loop, cfg, db, api, courses, converted, tree, space, view, power},
                             tuning);

    signal(SIGINT, OnStopSignal);
    signal(SIGTERM, OnStopSignal);
    auto stopped = [] { return g_stop.load(); };
    pipeline.OnFileServerList(); // the list and the speed test; posts the session start
    loop.PumpUntil([&] { return pipeline.IsSessionRunning() || g_stop.load(); }, 60000);
    if (!pipeline.IsSessionRunning())
        return Fail("run: the session did not start");

    // The files of this run: the ones added now, or the whole queue.
    std::vector<std::string> runFiles;
    std::vector<std::pair<std::string, std::string>> refused;
    if (!inputs.empty()) {
        std::string error;
        int64_t dir = TargetFolder(pipeline, tree, api, haveDir, dirArg, &error);
        if (dir <= 0) {
            pipeline.ReleaseTaskS();
            return Fail("run: " + error);
        }
        tree.Select(dir);
        space.Show(dir);
        const SpaceRow* row = tree.Find(dir);
        CCourseIntake intake(pipeline);
        intake.OnDropFiles(inputs, dir, row ? row->nLevel + 1 : -1);
        runFiles = intake.Added();
        for (const auto& [path, cause] : intake.Refused()) {
            // A file already waiting in the queue is part of this run, not a refusal.
            bool queued = false;
            for (const std::string& idx : courses.Indexes())
                if (const _sLCItemData* r = courses.Find(idx); r && r->strFilePath == path) {
                    runFiles.push_back(idx);
                    queued = true;
                }
            if (!queued)
                refused.emplace_back(path, cause);
        }
        if (runFiles.empty() && refused.empty() && !intake.Error().empty())
            refused.emplace_back(inputs.front(), intake.Error());
        if (!WorkQueueAfterAdding(pipeline, loop, intake.Added().size(), stopped)) {
            pipeline.ReleaseTaskS();
            for (const auto& [path, cause] : refused)
                Fail("run " + path + ": " + OneLine(cause));
            return kExitFailed;
        }
    } else {
        runFiles = courses.Indexes();
    }
    for (const std::string& idx : runFiles) {
        view.Watch(idx);
        view.OnChanged(idx, courses.Find(idx));
    }

    // Until nothing is working. The speed test and the retries of timer 103 keep records in
    // status 10 (working) while they wait, so the loop waits for them too.
    // A record that still counts as working while no worker has anything (its file vanished
    // between stages) would wait for a user who is not there: after a quiet spell the run ends
    // and reports it.
    // The sign-out check runs here rather than on the pipeline's timer, whose repeating would
    // keep the loop below from ever seeing the timers run dry. Nobody waits on this thread.
    auto quietSince = std::chrono::steady_clock::now();
    auto nextCheck = quietSince + std::chrono::milliseconds(checkMs);
    auto nextPickUp = quietSince;
    while (!g_stop && !view.SignedOutElsewhere() &&
           (pipeline.IsCourseWorking() || loop.NextTimerDueMs() >= 0 ||
            KeepWorkingQueue(pipeline, loop, stopped))) {
        loop.RunOnce(200);
        view.Draw(false);
        if (std::chrono::steady_clock::now() >= nextCheck) {
            CSession session(cfg);
            if (session.CheckSignOut() == SignOutCheck::SignedOut)
                loop.PostMsg(pipeline.Target(), WM_ACCOUNT_CHECK_OUT);
            nextCheck = std::chrono::steady_clock::now() + std::chrono::milliseconds(checkMs);
        }
        if (std::chrono::steady_clock::now() >= nextPickUp) {
            pipeline.PickUpStored(); // records other programs added meanwhile
            nextPickUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        }
        if (pipeline.HasWorkInFlight() || loop.NextTimerDueMs() >= 0)
            quietSince = std::chrono::steady_clock::now();
        else if (std::chrono::steady_clock::now() - quietSince > std::chrono::seconds(3)) {
            if (!KeepWorkingQueue(pipeline, loop, stopped))
                break;
            quietSince = std::chrono::steady_clock::now();
        }
    }
    const bool interrupted = g_stop.load() || view.SignedOutElsewhere();
    pipeline.ReleaseTaskS();
    loop.PumpUntil([] { return false; }, 50); // reports that were on their way
    view.Draw(true);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);

    int failed = failedPaths;
    for (const auto& [path, cause] : refused) {
        ++failed;
        Fail("run " + path + ": " + OneLine(cause));
    }
    for (const std::string& idx : runFiles) {
        const _sLCItemData* r = courses.Find(idx);
        std::string tip = courses.store.Tooltip(idx);
        if (!r)
            r = converted.Find(idx);
        if (!r)
            continue;
        const std::string label = StatusLabel(r->nStatus);
        std::string error;
        if (r->nStatus != CS_UPLOADED) {
            ++failed;
            error =
                tip.empty() ? (interrupted ? "interrupted; vexora run continues it" : label) : OneLine(tip);
            Fail("run " + r->strFilePath + ": " + error + " (status " + std::to_string(r->nStatus) + ")");
        }
        if (args.Json()) {
            CJsonOut o;
            o.Text("strFileIndex", r->strFileIndex);
            o.Text("strFilePath", r->strFilePath);
            o.Int("nStatus", r->nStatus);
            o.Text("statusText", label);
            o.Int("i64FileId", r->i64FileId);
            o.Int("i64DirId", r->i64DirId);
            o.Text("strConvertPath", r->strConvertPath);
            o.Text("error", error);
            PrintJsonLine(o);
        } else {
            printf("%s\t%lld\t%s\n", label.c_str(), static_cast<long long>(r->i64FileId),
                   r->strFilePath.c_str());
        }
    }
    fflush(stdout);
    if (view.SignedOutElsewhere())
        Fail("run stopped: the account was signed in elsewhere; the records are kept and the next vexora run "
             "continues them");
    else if (interrupted)
        Fail("run interrupted; the records are kept and the next vexora run continues them");
    return failed == 0 && !interrupted ? kExitOk : kExitFailed;
}

} // namespace

VX_CLI_COMMAND("run", "run [--dir ID] [--out DIR] [--test-ms MS] [--check-ms MS] [--wait] [PATH...]",
               "the whole pipeline: add files and folder trees, probe, convert, digest, upload (resumable)",
               RunPipeline);

} // namespace vx::cli
