// The queue's one worker: taking the queue at the session start (or waiting for it), listing
// what other programs stored for the worker, and letting the queue go.

#include "pipeline/CoursePipeline.h"

#include "app/LogFile.h"
#include "platform/FileLock.h"
#include "upload/TestNetWorkThread.h"

#include <cstdint>

namespace vx {

std::string QueueLockPath(const std::string& dbPath)
{
    const size_t slash = dbPath.find_last_of('/');
    return (slash == std::string::npos ? std::string() : dbPath.substr(0, slash + 1)) + "queue.lock";
}

void CCoursePipeline::OnQueueHeld(uint64_t session, const std::string& holder)
{
    if (session != *m_sessionToken || m_bSession)
        return;
    m_strQueueHolder = holder;
    if (!m_bQueueWaitTold) {
        m_bQueueWaitTold = true;
        Log(g_log, "Info : %s works the queue; the session waits for it", holder.c_str());
        ShowMessageAsync(Text(2300) + " " + (holder.empty() ? Text(2302) : holder) + " " + Text(2301));
    }
    m_deps.loop.SetTimer(m_target, TIMER_QUEUE_WAIT, m_tuning.queueRetryMs);
}

void CCoursePipeline::PickUpStored()
{
    // A cheap look first: the read and its listing run only when something waits.
    if (!m_bSession || !m_bWorksQueue || m_bPickUpDue || !m_deps.db.HasQueueInbox(UserId()))
        return;
    m_bPickUpDue = true;
    CMessageLoop* loop = &m_deps.loop;
    const MsgTarget target = m_target;
    const uint64_t session = *m_sessionToken;
    const int64_t user = UserId();
    m_deps.db.RunInBackground([loop, target, session, user](CLocalDb& db) {
        LoadedRecords picked;
        picked.session = session;
        picked.ok = db.TakeQueueInbox(user, &picked.rows);
        const bool ok = picked.ok;
        loop->PostMsg(target, WM_RECORDS_PICKED_UP, 0, MakePayload(std::move(picked)));
        return ok;
    });
}

bool CCoursePipeline::PickUpStoredNow()
{
    if (!m_bSession || !m_bWorksQueue || !m_deps.db.HasQueueInbox(UserId()))
        return false;
    std::vector<_sLCItemData> rows;
    return m_deps.db.TakeQueueInbox(UserId(), &rows) && ListPickedUp(std::move(rows)) > 0;
}

size_t CCoursePipeline::ListPickedUp(std::vector<_sLCItemData> rows)
{
    // A record already listed (stored by this program before it became the worker) stays as
    // it is.
    std::vector<_sLCItemData> fresh;
    for (_sLCItemData& r : rows)
        if (!m_deps.courseList.Find(r.strFileIndex) && !m_deps.convertedList.Find(r.strFileIndex))
            fresh.push_back(std::move(r));
    if (fresh.empty())
        return 0;
    const size_t n = fresh.size();
    Log(g_log, "Info : %zu course files stored by another program join the queue", n);
    RestoreRecords(std::move(fresh));
    m_deps.loop.PostMsg(m_target, WM_CHECK_FILEMD5, 0);
    OnFilesAdded();
    return n;
}

void CCoursePipeline::ReloadQueue()
{
    // The worker that had the queue meanwhile has changed records this session listed: read
    // them all again, as a session start does.
    StopWorkers();
    m_deps.loop.KillTimer(m_target, TIMER_QUEUE_PICKUP);
    for (const std::string& idx : m_deps.convertedList.Indexes())
        m_deps.convertedList.Remove(idx);
    for (const std::string& idx : m_deps.courseList.Indexes())
        m_deps.courseList.Remove(idx);
    m_bSession = false;
    m_bPickUpDue = false;
    LoadRecords();
    // The speed test has reported already: the waiting uploads are handed over as its report
    // does (the timer repeats until the transfer manager is back).
    if (!m_pTestNetWork || m_pTestNetWork->IsDone())
        m_deps.loop.SetTimer(m_target, TIMER_TRANS_PENDING, kTransPendingMs);
}

bool CCoursePipeline::TakeOverQueue()
{
    if (!m_tuning.queueLock || m_bWorksQueue)
        return m_bWorksQueue;
    std::string holder;
    if (!m_tuning.queueLock->TryLock(m_tuning.queueOwner, &holder)) {
        m_strQueueHolder = holder;
        return false;
    }
    Log(g_log, "Info : the queue was let go by %s; this session works it now", m_strQueueHolder.c_str());
    ReloadQueue();
    return true;
}

bool CCoursePipeline::HandOverQueue()
{
    if (!m_tuning.queueLock || !m_bWorksQueue || !m_bSession)
        return false;
    if (PickUpStoredNow())
        return true;
    m_tuning.queueLock->Unlock();
    m_bWorksQueue = false;
    m_strQueueHolder.clear();
    // A program that stored records just before the line above saw the queue taken and left
    // them to us; whoever holds the queue now has read them.
    if (!m_deps.db.HasQueueInbox(UserId()))
        return false;
    return TakeOverQueue();
}

void CCoursePipeline::ReleaseQueue()
{
    if (!m_tuning.queueLock)
        return;
    m_deps.db.RunInBackground([lock = m_tuning.queueLock](CLocalDb&) {
        lock->Unlock();
        return true;
    });
}

} // namespace vx
