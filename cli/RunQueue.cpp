#include "cli/RunQueue.h"

#include "cli/CliCommand.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "store/LocalDb.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace vx::cli {
namespace {

std::atomic<bool> g_waitStopped{false};

extern "C" void OnWaitSignal(int)
{
    g_waitStopped = true;
}

std::string Holder(const std::string& text)
{
    return text.empty() ? "another program" : text;
}

} // namespace

std::shared_ptr<CFileLock> RunQueueLock()
{
    const std::string path = QueueLockPath(CLocalDb::DefaultPath());
    MakeDirs(path.substr(0, path.find_last_of('/'))); // a first run: the database is made later
    return std::make_shared<CFileLock>(path);
}

std::string RunQueueOwner()
{
    return "vexora run (pid " + std::to_string(CurrentProcessId()) + ")";
}

bool TakeRunQueue(CFileLock& lock, bool wait, bool addingFiles, int* exitCode)
{
    std::string holder;
    if (lock.TryLock(RunQueueOwner(), &holder))
        return true;
    if (!wait) {
        if (addingFiles)
            return true;
        *exitCode = Fail("run: the queue is being worked by " + Holder(holder) +
                         "; run again when it has finished, or add --wait");
        return false;
    }
    fprintf(stderr, "vexora: run: waiting for %s to finish with the queue\n", Holder(holder).c_str());
    g_waitStopped = false;
    signal(SIGINT, OnWaitSignal);
    signal(SIGTERM, OnWaitSignal);
    bool taken = false;
    while (!taken && !g_waitStopped) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        taken = lock.TryLock(RunQueueOwner(), &holder);
    }
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    if (!taken)
        *exitCode = Fail("run interrupted while waiting for the queue");
    return taken;
}

bool KeepWorkingQueue(CCoursePipeline& pipeline, CMessageLoop& loop, const std::function<bool()>& stop)
{
    if (stop() || !pipeline.HandOverQueue())
        return false;
    loop.PumpUntil([&] { return pipeline.IsSessionRunning() || stop(); }, 60000);
    return pipeline.IsSessionRunning() && !stop();
}

bool WorkQueueAfterAdding(CCoursePipeline& pipeline, CMessageLoop& loop, size_t added,
                          const std::function<bool()>& stop)
{
    if (pipeline.WorksQueue())
        return true;
    if (pipeline.TakeOverQueue()) {
        loop.PumpUntil([&] { return pipeline.IsSessionRunning() || stop(); }, 60000);
        return pipeline.IsSessionRunning();
    }
    Fail("run: " + std::to_string(added) + (added == 1 ? " file was" : " files were") +
         " added to the queue, which " + Holder(pipeline.QueueHolder()) + " is working: it uploads them");
    return false;
}

} // namespace vx::cli
