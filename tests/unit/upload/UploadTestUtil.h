#pragma once
// Helpers shared by the upload tests: sample files with known bytes, their raw digests, and a
// collector for the reports a worker or the manager's window receives.

#include "store/TransRecords.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vx::test {

// size bytes of a fixed pseudo-random pattern (seeded), written to path.
std::string MakeSampleFile(const std::string& path, int64_t size, uint32_t seed = 1);
// The raw 16-byte MD5 of a byte string.
std::string RawMd5(const std::string& bytes);

class CReportLog
{
public:
    void Add(const _sTransReport& r);
    void Clear();
    std::vector<_sTransReport> All() const;
    // Reports of one code.
    std::vector<_sTransReport> Of(int code) const;
    // The negative codes seen, in order.
    std::vector<int> Failures() const;
    // Waits until pred(all reports) holds; false after timeoutMs.
    template <typename Pred> bool WaitFor(Pred pred, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pred(m_reports); });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<_sTransReport> m_reports;
};

} // namespace vx::test
