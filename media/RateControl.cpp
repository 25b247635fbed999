#include "media/RateControl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vx {

int TargetVideoBitRate(int width)
{
    if (width <= 352)
        return 307200;
    if (width <= 640)
        return 409600;
    if (width <= 1024)
        return 460800;
    if (width <= 1280)
        return 524288;
    return 614400;
}

int MiddleVideoBitRate(int width)
{
    if (width <= 352)
        return 1048576;
    if (width <= 640)
        return 2097152;
    if (width <= 1024)
        return 3145728;
    return 4194304;
}

int SampleStartSeconds(int videoDurationMs)
{
    if (videoDurationMs <= kWholePredictMs)
        return -1;
    return std::max(0, videoDurationMs / 1000 / 2 - 60);
}

CCrfSearch::CCrfSearch(int64_t sourceBitRate, int64_t targetBitRate)
    : m_i64Last(sourceBitRate), m_i64Target(targetBitRate)
{
}

CCrfSearch::EStep CCrfSearch::Measured(int64_t m, std::string* warning)
{
    const int64_t d = m_i64Target;
    if (m <= d)
        return FOUND;
    if (m_nIncrement == 0) {
        // First try: a big step when the sample came out at or above the source's own rate.
        m_nIncrement = m_i64Last <= m ? 6 : 2;
        m_i64Last = m;
        m_nCrf += m_nIncrement;
        ++m_nTries;
        return NEXT;
    }
    if (m_nCrf >= kMaxCrf)
        return AT_LIMIT;
    char buf[256];
    int inc = 1;
    if (m_i64Last > m) {
        double rate = static_cast<double>(m_i64Last - m) / m_nIncrement; // bit/s per CRF step
        double est = static_cast<double>(m - d) / rate + 0.999;
        inc = est > 1000 ? 1000 : static_cast<int>(est);
        if (inc < 1) {
            snprintf(
                buf, sizeof(buf),
                "Warning : Do Predict exception, time(%d), new_increment(%d), rate=%lf, last_bit_rate=%lld, "
                "cur_bit_rate=%lld, dst_bit_rate=%lld",
                m_nTries, inc, rate, static_cast<long long>(m_i64Last), static_cast<long long>(m),
                static_cast<long long>(d));
            if (warning)
                *warning = buf;
            inc = 1;
        }
    } else {
        snprintf(buf, sizeof(buf),
                 "Warning : Do Predict exception, time(%d), last_bit_rate=%lld, cur_bit_rate=%lld, "
                 "dst_bit_rate=%lld, cur_crf=%d, last_increment=%d",
                 m_nTries, static_cast<long long>(m_i64Last), static_cast<long long>(m),
                 static_cast<long long>(d), m_nCrf, m_nIncrement);
        if (warning)
            *warning = buf;
        inc = 1;
    }
    inc = std::min(inc, kMaxCrf - m_nCrf);
    m_nIncrement = inc;
    m_nCrf += inc;
    m_i64Last = m;
    ++m_nTries;
    return NEXT;
}

bool IsHighBitDepthProfile(const std::string& lowerProfile)
{
    for (const char* p :
         {"high10", "hi10p", "high422", "hi422p", "high444", "hi444p", "high 10", "high 4:2:2", "high 4:4:4"})
        if (lowerProfile.find(p) != std::string::npos)
            return true;
    return false;
}

bool DurationMatches(int srcMs, int outMs)
{
    if (srcMs <= 0)
        return true;
    if (outMs <= 0)
        return false;
    int tolerance = std::max(700, srcMs * 3 / 100);
    return std::abs(srcMs - outMs) <= tolerance;
}

} // namespace vx
