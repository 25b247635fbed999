// vexora run [--dir ID] [--out DIR] [--test-ms MS] [--check-ms MS] [--retries N] [--wait] [PATH...]: the
// whole course pipeline without windows. With paths the files (and folder trees, mirrored remotely in one
// batch) are added to folder ID (default: the user's root folder, created when missing); without paths the
// user's queue in the local database continues. The pipeline then runs until nothing is working: probe,
// conversion (documents are copied), digest and upload, overlapping, every status change stored, so an
// interrupted run (Ctrl-C, or even kill -9) is continued by the next one. Uploads that fail for a passing
// cause go again after a growing pause; queued files that cannot get further until the user acts are left
// alone. One program at a time works the queue of a data folder; --wait waits for the one that does
// (RunQueue.h).

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/CliSession.h"
#include "cli/JsonOut.h"
#include "cli/RunQueue.h"
#include "cli/RunView.h"
#include "cli/StuckRecords.h"
#include "net/SpaceApi.h"
#include "pipeline/CourseIntake.h"
#include "pipeline/CoursePipeline.h"
#include "pipeline/MemoryModels.h"
#include "platform/FileCheck.h"
#include "platform/Paths.h"
#include "platform/PowerRequest.h"
#include "platform/Terminal.h"
#include "store/LocalDb.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <deque>
#include <map>
#include <set>

namespace vx::cli {
namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnStopSignal(int)
{
    g_stop = true;
}

std::string Absolute(const std::string& path)
{
    return MakeAbsolute(path);
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

// Whether path is one of the run's inputs or lies inside one of its folders.
bool NamedByInputs(const std::string& path, const std::vector<std::string>& inputs)
{
    for (const std::string& in : inputs) {
        std::string folder = in;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (path == folder || path.compare(0, folder.size() + 1, folder + "/") == 0)
            return true;
    }
    return false;
}

// The user's queued records that cannot get further until the user acts, with why; those the
// run's paths name again are tried again instead (naming a file is acting on it).
std::map<std::string, std::string> BlockedRecords(CLocalDb& db, int64_t userId,
                                                  const std::vector<std::string>& inputs)
{
    std::map<std::string, std::string> blocked;
    std::vector<_sLCItemData> stored;
    if (!db.GetCourseFile(userId, &stored))
        return blocked;
    for (const _sLCItemData& r : stored)
        if (std::string why = BlockedCause(r); !why.empty() && !NamedByInputs(r.strFilePath, inputs))
            blocked.emplace(r.strFileIndex, why);
    return blocked;
}

int RunPipeline(CCliArgs& args)
{
    long long dirArg = 0;
    bool haveDir = false;
    if (!args.TakeInt64("--dir", &dirArg, &haveDir))
        return UsageError(args, args.Error());
    auto testMsText = args.TakeOption("--test-ms");
    auto checkMsText = args.TakeOption("--check-ms");
    auto outDir = args.TakePathOption("--out");
    auto retriesText = args.TakeOption("--retries");
    const bool waitForQueue = args.TakeFlag("--wait");
    std::vector<std::string> paths;
    if (!args.PathPositionals(&paths))
        return UsageError(args, args.Error());
    if (haveDir && dirArg <= 0)
        return UsageError(args, "--dir needs the id of a remote folder (above 0)");
    int testMs = 10000;
    if (!ParseBounded(testMsText, 100, 600000, &testMs))
        return UsageError(args, "--test-ms takes milliseconds from 100 to 600000");
    int checkMs = kSessionCheckMs;
    if (!ParseBounded(checkMsText, 100, 3600000, &checkMs))
        return UsageError(args, "--check-ms takes milliseconds from 100 to 3600000");
    int retries = 6;
    if (!ParseBounded(retriesText, 0, 20, &retries))
        return UsageError(args, "--retries takes a count from 0 to 20");
    int failedPaths = 0;
    std::vector<std::string> inputs;
    for (const std::string& p : paths) {
        std::string abs = Absolute(p);
        // A folder, or a file this user can read; anything else is named with its cause.
        int err = 0;
        const FileProblem problem = DirExists(abs) ? FileProblem::None : CheckInputFile(abs, &err);
        if (problem != FileProblem::None) {
            Fail("run " + p + ": " + DescribeFileProblem(problem, err, abs));
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
    tuning.uploadRetries = retries;
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

    // Read as stored, before the session folds them back and feeds them to the workers.
    const std::map<std::string, std::string> blocked = BlockedRecords(db, cfg.m_i64UserId, inputs);

    signal(SIGINT, OnStopSignal);
    signal(SIGTERM, OnStopSignal);
    auto stopped = [] { return g_stop.load(); };
    pipeline.OnFileServerList(); // the list and the speed test; posts the session start
    loop.PumpUntil([&] { return pipeline.IsSessionRunning() || g_stop.load(); }, 60000);
    if (!pipeline.IsSessionRunning())
        return Fail(g_stop ? "run interrupted before the session started; nothing was changed"
                           : "run: the session did not start");
    // The session's first feeds are still on their way: the records go to no worker.
    std::set<std::string> held;
    for (const auto& [idx, why] : blocked)
        if (pipeline.HoldRecord(idx, why))
            held.insert(idx);

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
        intake.SetCancelFlag(&g_stop); // a tree of a million entries takes a while to scan
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
    size_t skipped = 0;
    for (const std::string& idx : runFiles) {
        const _sLCItemData* r = courses.Find(idx);
        std::string tip = courses.store.Tooltip(idx);
        if (!r)
            r = converted.Find(idx);
        if (!r)
            continue;
        const std::string label = StatusLabel(r->nStatus);
        const bool wasHeld = held.count(idx) > 0;
        std::string error;
        if (wasHeld) {
            // Left alone, not failed again: the user decides.
            ++skipped;
            error = "skipped: " + tip;
            Fail("run " + r->strFilePath + ": skipped until you act: " + OneLine(tip) + "; vexora run " +
                 r->strFilePath + " tries it again, vexora queue --remove " + idx + " drops it");
        } else if (r->nStatus != CS_UPLOADED) {
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
            o.Int("retries", pipeline.UploadRetries(idx));
            o.Bool("skipped", wasHeld);
            PrintJsonLine(o);
        } else {
            printf("%s\t%lld\t%s\n", PlainText(wasHeld ? "skipped" : label).c_str(),
                   static_cast<long long>(r->i64FileId), PlainText(r->strFilePath).c_str());
        }
    }
    if (skipped > 0)
        Fail(std::to_string(skipped) + " queued course files were left alone: they cannot get further until "
                                       "you act (vexora queue lists them)");
    if (pipeline.UploadRetries() > 0) {
        size_t files = 0;
        for (const std::string& idx : runFiles)
            files += pipeline.UploadRetries(idx) > 0 ? 1 : 0;
        fprintf(stderr, "vexora: %d upload retries after passing failures (%zu files)\n",
                pipeline.UploadRetries(), files);
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

VX_CLI_COMMAND("run",
               "run [--dir ID] [--out DIR] [--test-ms MS] [--check-ms MS] [--retries N] [--wait] [PATH...]",
               "the whole pipeline: add files and folder trees, probe, convert, digest, upload (resumable)",
               RunPipeline);

} // namespace vx::cli
