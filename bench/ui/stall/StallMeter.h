#pragma once
// Measures how long the GUI event loop stops answering: a 10 ms precise QTimer beats on the
// GUI thread, and every gap between two beats longer than the period is a stall of
// (gap - period). Only beats inside a measuring window (Begin .. End) count.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <vector>

namespace vx::bench {

struct StallFigures
{
    double longestMs = 0; // longest stall
    double p99Ms = 0;     // 99th percentile of the stalls of every beat (0 for a beat on time)
    double wallMs = 0;    // Begin .. End
    size_t beats = 0;
};

class CStallMeter : public QObject
{
public:
    static constexpr int kPeriodMs = 10;

    explicit CStallMeter(QObject* parent = nullptr);
    void Begin();
    StallFigures End();

private:
    using Clock = std::chrono::steady_clock;
    void Beat();

    QTimer m_timer;
    bool m_bOn = false;
    Clock::time_point m_start, m_last;
    std::vector<double> m_stalls;
};

} // namespace vx::bench
