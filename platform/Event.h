#pragma once
// Manual-reset event: stays set until Reset, wakes every waiter. WaitAny waits on several.

#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace vx {

class CEvent
{
public:
    explicit CEvent(bool initiallySet = false) : m_set(initiallySet) {}
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;
    ~CEvent();

    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event is (or becomes) set within timeoutMs; a negative time-out waits forever.
    bool Wait(int timeoutMs);

    // Index of the first set event in events, waiting up to timeoutMs; -1 on time-out.
    static int WaitAny(const std::vector<CEvent*>& events, int timeoutMs);

private:
    struct Waiter
    {
        std::mutex m;
        std::condition_variable cv;
        bool woken = false;
    };
    void AddWaiter(Waiter* w);
    void RemoveWaiter(Waiter* w);

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set;
    std::vector<Waiter*> m_waiters;
};

} // namespace vx
