#pragma once
// The web server's connections each on a thread of their own: a pool of fixed size lets a few
// idle or half-sent connections hold every worker while a real login waits in the queue behind
// them. A generous ceiling keeps a flood of connections from starting unbounded threads; at the
// ceiling the next connection waits for a slot (idle ones give theirs back within seconds).

#include "sim/ConnThreads.h"

#include <condition_variable>
#include <functional>
#include <httplib.h>
#include <mutex>

namespace vx::sim {

class CConnTaskQueue : public httplib::TaskQueue
{
public:
    explicit CConnTaskQueue(int maxActive) : m_maxActive(maxActive) {}
    ~CConnTaskQueue() override { shutdown(); }

    void enqueue(std::function<void()> fn) override;
    void shutdown() override;

private:
    const int m_maxActive;
    std::mutex m_mutex;
    std::condition_variable m_slotFree;
    int m_active = 0;
    CConnThreads m_threads;
};

} // namespace vx::sim
