#pragma once
// Threads serving accepted connections: started per connection, reaped when finished and
// joined at shutdown, so a stop never leaves a thread running behind the program's back.

#include "platform/Socket.h"

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace vx::sim {

class CConnThreads
{
public:
    ~CConnThreads() { JoinAll(); }
    void Spawn(std::function<void()> fn);
    void JoinAll();

private:
    struct Entry
    {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void ReapLocked();
    std::mutex m_mutex;
    std::list<std::unique_ptr<Entry>> m_entries;
};

// Exactly len bytes, each wait bounded by timeoutMs; stop ends the wait early.
bool RecvExact(CSocket& s, void* buf, size_t len, int timeoutMs, const std::atomic<bool>* stop);
bool SendExact(CSocket& s, const void* buf, size_t len);

} // namespace vx::sim
