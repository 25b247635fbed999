#include "unit/upload/UploadTestUtil.h"

#include "common/TestUtil.h"
#include "platform/Crypto.h"

namespace vx::test {

std::string MakeSampleFile(const std::string& path, int64_t size, uint32_t seed)
{
    std::string data(static_cast<size_t>(size), '\0');
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& c : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    WriteFile(path, data); // UTF-8 names arrive whole on Windows too
    return data;
}

std::string RawMd5(const std::string& bytes)
{
    Md5Digest d{};
    Md5Bytes(bytes.data(), bytes.size(), &d);
    return std::string(reinterpret_cast<const char*>(d.data()), d.size());
}

void CReportLog::Add(const _sTransReport& r)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reports.push_back(r);
    m_cv.notify_all();
}

void CReportLog::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reports.clear();
}

std::vector<_sTransReport> CReportLog::All() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reports;
}

std::vector<_sTransReport> CReportLog::Of(int code) const
{
    std::vector<_sTransReport> out;
    for (const auto& r : All())
        if (r.nCode == code)
            out.push_back(r);
    return out;
}

std::vector<int> CReportLog::Failures() const
{
    std::vector<int> out;
    for (const auto& r : All())
        if (r.nCode < 0)
            out.push_back(r.nCode);
    return out;
}

} // namespace vx::test
