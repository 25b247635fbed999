#include "sim/ConnThreads.h"

#include <cstdint>

namespace vx::sim {

void CConnThreads::ReapLocked()
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

void CConnThreads::Spawn(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ReapLocked();
    auto e = std::make_unique<Entry>();
    Entry* raw = e.get();
    raw->thread = std::thread([raw, fn = std::move(fn)] {
        fn();
        raw->done = true;
    });
    m_entries.push_back(std::move(e));
}

void CConnThreads::JoinAll()
{
    std::list<std::unique_ptr<Entry>> all;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        all.swap(m_entries);
    }
    for (auto& e : all)
        if (e->thread.joinable())
            e->thread.join();
}

bool RecvExact(CSocket& s, void* buf, size_t len, int timeoutMs, const std::atomic<bool>* stop)
{
    auto* p = static_cast<uint8_t*>(buf);
    size_t got = 0;
    int waited = 0;
    while (got < len) {
        if (stop && *stop)
            return false;
        if (!s.WaitReadable(200)) {
            waited += 200;
            if (waited >= timeoutMs)
                return false;
            continue;
        }
        long n = s.ReceiveOnce(p + got, len - got);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
        waited = 0;
    }
    return true;
}

bool SendExact(CSocket& s, const void* buf, size_t len)
{
    return s.SendAll(buf, len, 10000) == SockResult::Ok;
}

} // namespace vx::sim
