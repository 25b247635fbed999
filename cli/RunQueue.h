#pragma once
// `vexora run` and the queue of the data folder, which one program at a time works (the window
// or a run): taking it before the session, or waiting for it with --wait, and working on while
// other programs keep adding records.

#include "pipeline/CoursePipeline.h"
#include "platform/FileLock.h"

#include <functional>
#include <memory>
#include <string>

namespace vx::cli {

// The queue's lock of the process's database, and what this run writes into it.
std::shared_ptr<CFileLock> RunQueueLock();
std::string RunQueueOwner();

// Takes the queue before the run logs in. Held by another program: with wait, waits for it
// (Ctrl-C or SIGTERM end the wait); with paths to add, goes on (the files are added for the
// holder); otherwise says who holds it. False: *exitCode holds the status to return.
bool TakeRunQueue(CFileLock& lock, bool wait, bool addingFiles, int* exitCode);

// The run found nothing left to do: true when it has more after all (records that other
// programs stored meanwhile, or the queue taken again and read anew), once the session runs.
bool KeepWorkingQueue(CCoursePipeline& pipeline, CMessageLoop& loop, const std::function<bool()>& stop);

// This run only added files while another program works the queue: takes the queue over if
// that one has finished meanwhile (true, once the session runs again). Otherwise says who
// uploads them and returns false.
bool WorkQueueAfterAdding(CCoursePipeline& pipeline, CMessageLoop& loop, size_t added,
                          const std::function<bool()>& stop);

} // namespace vx::cli
