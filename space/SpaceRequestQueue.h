#pragma once
// Runs the space page's requests off the owner's thread, one after the other. A job has three
// steps: prepare on the owner's thread when its turn comes (it reads the models as the jobs
// before it left them, and may drop the job), the request on the worker thread, then apply on
// the owner's thread through the message loop. Jobs finish in the order they were queued, so a
// second action on a folder always sees the first one's result.

#include "platform/MessageLoop.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vx {

struct SpaceJob
{
    std::function<bool()> prepare; // owner thread; false drops the job
    std::function<void()> work;    // worker thread; may be empty
    std::function<void()> apply;   // owner thread, after work
    // A waiting job with the same non-empty key is replaced by the newer one (a folder clicked
    // twice is listed once).
    std::string key;
};

class CSpaceRequestQueue : public IMsgHandler
{
public:
    // busyChanged(true) when work starts, (false) when the queue has run dry.
    CSpaceRequestQueue(CMessageLoop& loop, std::function<void(bool)> busyChanged);
    ~CSpaceRequestQueue() override; // waits for a request in flight (bounded by its time-outs)
    CSpaceRequestQueue(const CSpaceRequestQueue&) = delete;
    CSpaceRequestQueue& operator=(const CSpaceRequestQueue&) = delete;

    void Push(SpaceJob job);
    // Drops the jobs that have not started (sign-out); a running one finishes unapplied.
    void DropWaiting();
    bool IsBusy() const { return m_bInFlight || !m_waiting.empty(); }

    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override;

private:
    void StartNext();
    void SetBusy(bool busy);
    void WorkerMain();

    CMessageLoop& m_loop;
    MsgTarget m_target = 0;
    std::function<void(bool)> m_busyChanged;
    bool m_bBusy = false;

    // Owner thread only.
    std::deque<SpaceJob> m_waiting;
    SpaceJob m_current;
    bool m_bInFlight = false;
    bool m_bStarting = false;

    // Shared with the worker.
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::function<void()> m_work;
    bool m_bStop = false;
    std::thread m_worker;
};

} // namespace vx
