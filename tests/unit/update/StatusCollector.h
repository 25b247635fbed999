#pragma once
// Collects the status reports of a download (posted from its thread) for a test to wait on.

#include "updater/DownloadStatus.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace vx::test {

class CStatusCollector
{
public:
    void operator()(int status, uint32_t value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.emplace_back(status, value);
        m_cv.notify_all();
    }
    // Waits for the final report (a failure, or "installed"); false on time-out.
    bool WaitFinal(int timeoutMs, std::pair<int, uint32_t>* final)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        bool ok = m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return !m_reports.empty() && IsFinal(m_reports.back()); });
        if (ok)
            *final = m_reports.back();
        return ok;
    }
    std::vector<std::pair<int, uint32_t>> Reports()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports;
    }
    static bool IsFinal(const std::pair<int, uint32_t>& r)
    {
        return r.first != DS_NONE || r.second == kDownloadDone;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::pair<int, uint32_t>> m_reports;
};

} // namespace vx::test
