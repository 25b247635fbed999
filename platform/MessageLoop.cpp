#include "platform/MessageLoop.h"

#include <vector>

namespace vx {

CMessageLoop& CMessageLoop::Main()
{
    static CMessageLoop loop;
    return loop;
}

MsgTarget CMessageLoop::Register(IMsgHandler* handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    MsgTarget t = m_nextTarget++;
    m_targets[t] = handler;
    return t;
}

void CMessageLoop::Unregister(MsgTarget target)
{
    std::deque<Msg> dropped; // freed outside the lock
    std::lock_guard<std::mutex> lock(m_mutex);
    m_targets.erase(target);
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->target == target) {
            dropped.push_back(std::move(*it));
            it = m_queue.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = m_timers.begin(); it != m_timers.end();)
        it = it->first.first == target ? m_timers.erase(it) : std::next(it);
}

bool CMessageLoop::PostMsg(MsgTarget target, uint32_t id, uint64_t wParam,
                           std::unique_ptr<CMsgPayload> payload)
{
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_targets.count(target))
            return false;
        m_queue.push_back(Msg{target, id, wParam, std::move(payload)});
        hook = m_wakeHook;
    }
    m_cv.notify_one();
    if (hook)
        hook();
    return true;
}

bool CMessageLoop::SetTimer(MsgTarget target, uint32_t timerId, int ms)
{
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_targets.count(target))
            return false;
        if (ms < 1)
            ms = 1;
        m_timers[{target, timerId}] = Timer{ms, Clock::now() + std::chrono::milliseconds(ms)};
        hook = m_wakeHook;
    }
    m_cv.notify_one();
    if (hook)
        hook();
    return true;
}

bool CMessageLoop::KillTimer(MsgTarget target, uint32_t timerId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timers.erase({target, timerId}) > 0;
}

int CMessageLoop::NextTimerDueMs()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_timers.empty())
        return -1;
    auto first = Clock::time_point::max();
    for (auto& [key, t] : m_timers)
        first = std::min(first, t.due);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(first - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

int CMessageLoop::TimerDueMs(MsgTarget target, uint32_t timerId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_timers.find({target, timerId});
    if (it == m_timers.end())
        return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(it->second.due - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

int CMessageLoop::RunOnce(int maxWaitMs, int budgetMs)
{
    const auto started = Clock::now();
    std::vector<std::pair<MsgTarget, uint32_t>> dueTimers;
    std::deque<Msg> batch;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto now = Clock::now();
        auto wakeAt = now + std::chrono::milliseconds(maxWaitMs < 0 ? 0 : maxWaitMs);
        for (auto& [key, t] : m_timers)
            wakeAt = std::min(wakeAt, t.due);
        m_cv.wait_until(lock, wakeAt, [this] { return !m_queue.empty() || m_quit; });
        now = Clock::now();
        for (auto& [key, t] : m_timers) {
            if (t.due <= now) {
                dueTimers.push_back(key);
                t.due = now + std::chrono::milliseconds(t.periodMs);
            }
        }
        // Only what was queued before this round runs now; posts made by handlers wait for the
        // next round, so a handler that posts to itself cannot starve timers.
        batch.swap(m_queue);
    }
    int delivered = 0;
    for (auto m = batch.begin(); m != batch.end(); ++m) {
        if (budgetMs >= 0 && m != batch.begin() &&
            Clock::now() - started >= std::chrono::milliseconds(budgetMs)) {
            // Out of time: what is left goes back in front of anything posted meanwhile.
            std::function<void()> hook;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_queue.insert(m_queue.begin(), std::make_move_iterator(m),
                               std::make_move_iterator(batch.end()));
                hook = m_wakeHook;
            }
            batch.erase(m, batch.end());
            if (hook)
                hook();
            break;
        }
        IMsgHandler* h = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_targets.find(m->target);
            if (it != m_targets.end())
                h = it->second;
        }
        if (h) {
            h->OnMessage(m->id, m->wParam, std::move(m->payload));
            ++delivered;
        }
    }
    for (auto& key : dueTimers) {
        IMsgHandler* h = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_targets.find(key.first);
            // A handler may have killed this timer while earlier ones ran.
            if (it != m_targets.end() && m_timers.count(key))
                h = it->second;
        }
        if (h) {
            h->OnMessage(WM_TIMER, key.second, nullptr);
            ++delivered;
        }
    }
    return delivered;
}

bool CMessageLoop::PumpUntil(const std::function<bool()>& pred, int ms)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            return pred();
        RunOnce(static_cast<int>(std::min<long long>(left, 20)));
    }
    return true;
}

void CMessageLoop::Run()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = false;
    }
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_quit)
                return;
        }
        RunOnce(1000);
    }
}

void CMessageLoop::Quit()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_cv.notify_all();
}

void CMessageLoop::SetWakeHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wakeHook = std::move(hook);
}

} // namespace vx
