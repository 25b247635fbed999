#include "platform/Event.h"

#include <algorithm>
#include <chrono>

namespace vx {

CEvent::~CEvent()
{
    // Waiters must be gone before the event is destroyed; wake any stragglers regardless.
    Set();
}

void CEvent::Set()
{
    // Waiters are woken under the event's lock, so a WaitAny that has already unregistered
    // (and destroyed its waiter) can never be touched here. Lock order: event, then waiter.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
    m_cv.notify_all();
    for (Waiter* w : m_waiters) {
        std::lock_guard<std::mutex> wl(w->m);
        w->woken = true;
        w->cv.notify_all();
    }
}

void CEvent::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

bool CEvent::IsSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_set;
}

bool CEvent::Wait(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs < 0) {
        m_cv.wait(lock, [this] { return m_set; });
        return true;
    }
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_set; });
}

void CEvent::AddWaiter(Waiter* w)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waiters.push_back(w);
}

void CEvent::RemoveWaiter(Waiter* w)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waiters.erase(std::remove(m_waiters.begin(), m_waiters.end(), w), m_waiters.end());
}

int CEvent::WaitAny(const std::vector<CEvent*>& events, int timeoutMs)
{
    Waiter w;
    for (CEvent* e : events)
        e->AddWaiter(&w);
    auto firstSet = [&events]() -> int {
        for (size_t i = 0; i < events.size(); ++i)
            if (events[i]->IsSet())
                return static_cast<int>(i);
        return -1;
    };
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int found = firstSet();
    while (found < 0) {
        std::unique_lock<std::mutex> lock(w.m);
        if (!w.woken) {
            if (timeoutMs < 0)
                w.cv.wait(lock, [&w] { return w.woken; });
            else if (!w.cv.wait_until(lock, deadline, [&w] { return w.woken; }))
                break;
        }
        w.woken = false;
        lock.unlock();
        found = firstSet();
    }
    if (found < 0)
        found = firstSet();
    for (CEvent* e : events)
        e->RemoveWaiter(&w);
    return found;
}

} // namespace vx
