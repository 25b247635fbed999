#include "space/SpaceRequestQueue.h"

#include "space/SpaceMessages.h"

#include <algorithm>

namespace vx {

CSpaceRequestQueue::CSpaceRequestQueue(CMessageLoop& loop, std::function<void(bool)> busyChanged)
    : m_loop(loop), m_busyChanged(std::move(busyChanged))
{
    m_target = m_loop.Register(this);
    m_worker = std::thread([this] { WorkerMain(); });
}

CSpaceRequestQueue::~CSpaceRequestQueue()
{
    // No result is delivered after this point; a request still on the wire ends within its
    // time-outs and its post goes nowhere.
    m_loop.Unregister(m_target);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cv.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void CSpaceRequestQueue::WorkerMain()
{
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [this] { return m_bStop || m_work; });
            if (m_bStop)
                return;
            work = std::move(m_work);
            m_work = nullptr;
        }
        work();
        m_loop.PostMsg(m_target, WM_SPACE_REQUEST_DONE);
    }
}

void CSpaceRequestQueue::Push(SpaceJob job)
{
    if (!job.key.empty()) {
        auto same = std::find_if(m_waiting.begin(), m_waiting.end(),
                                 [&job](const SpaceJob& j) { return j.key == job.key; });
        if (same != m_waiting.end()) {
            *same = std::move(job);
            return;
        }
    }
    m_waiting.push_back(std::move(job));
    StartNext();
}

void CSpaceRequestQueue::DropWaiting()
{
    m_waiting.clear();
    // The request on the wire belongs to the session that ends: it finishes, and its result is
    // dropped rather than applied to the next one.
    m_current.apply = nullptr;
    if (!m_bInFlight)
        SetBusy(false);
}

void CSpaceRequestQueue::StartNext()
{
    // prepare and apply may queue more jobs; the outer call picks them up.
    if (m_bStarting)
        return;
    m_bStarting = true;
    while (!m_bInFlight && !m_waiting.empty()) {
        SpaceJob job = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (job.prepare && !job.prepare())
            continue;
        if (!job.work) {
            if (job.apply)
                job.apply();
            continue;
        }
        SetBusy(true);
        m_current = std::move(job);
        m_bInFlight = true;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_work = std::move(m_current.work);
        }
        m_cv.notify_all();
    }
    m_bStarting = false;
    if (!m_bInFlight && m_waiting.empty())
        SetBusy(false);
}

void CSpaceRequestQueue::OnMessage(uint32_t id, uint64_t, std::unique_ptr<CMsgPayload>)
{
    if (id != WM_SPACE_REQUEST_DONE || !m_bInFlight)
        return;
    SpaceJob done = std::move(m_current);
    m_current = SpaceJob();
    m_bInFlight = false;
    if (done.apply)
        done.apply();
    StartNext();
}

void CSpaceRequestQueue::SetBusy(bool busy)
{
    if (busy == m_bBusy)
        return;
    m_bBusy = busy;
    if (m_busyChanged)
        m_busyChanged(busy);
}

} // namespace vx
