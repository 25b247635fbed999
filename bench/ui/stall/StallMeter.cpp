#include "StallMeter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vx::bench {

CStallMeter::CStallMeter(QObject* parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { Beat(); });
    m_timer.start();
}

void CStallMeter::Begin()
{
    m_stalls.clear();
    m_start = m_last = Clock::now();
    m_bOn = true;
}

void CStallMeter::Beat()
{
    const Clock::time_point now = Clock::now();
    if (m_bOn) {
        const double gap = std::chrono::duration<double, std::milli>(now - m_last).count();
        m_stalls.push_back(std::max(0.0, gap - kPeriodMs));
        if (getenv("STALL_VERBOSE") && gap - kPeriodMs >= 40)
            fprintf(stderr, "stall of %.1f ms ending %.0f ms after the start\n", gap - kPeriodMs,
                    std::chrono::duration<double, std::milli>(now - m_start).count());
    }
    m_last = now;
}

StallFigures CStallMeter::End()
{
    // The stretch since the last beat counts too: a window that ends inside a stall reports it.
    Beat();
    m_bOn = false;
    StallFigures f;
    f.wallMs = std::chrono::duration<double, std::milli>(m_last - m_start).count();
    f.beats = m_stalls.size();
    if (m_stalls.empty())
        return f;
    std::vector<double> s = m_stalls;
    std::sort(s.begin(), s.end());
    f.longestMs = s.back();
    f.p99Ms = s[std::min(s.size() - 1, static_cast<size_t>(static_cast<double>(s.size()) * 0.99))];
    return f;
}

} // namespace vx::bench
