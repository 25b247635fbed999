#include "sim/ConnTaskQueue.h"

namespace vx::sim {

void CConnTaskQueue::enqueue(std::function<void()> fn)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_slotFree.wait(lock, [this] { return m_active < m_maxActive; });
        ++m_active;
    }
    m_threads.Spawn([this, fn = std::move(fn)] {
        fn();
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_active;
        m_slotFree.notify_one();
    });
}

void CConnTaskQueue::shutdown()
{
    m_threads.JoinAll();
}

} // namespace vx::sim
