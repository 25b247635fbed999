#pragma once
// The worker that probes course files for the main window: it takes record copies from its
// queue, probes media files (documents are only measured) and posts each updated copy back as
// WM_MEDIAINFO_RESULT. Idle for about 30 s it ends itself and posts WM_CHECK_MEDIAINFO (1) so
// the window releases it; the window makes a new one when records need probing again. Records
// added are picked up at the next one-second tick.

#include "media/RecordWorker.h"

#include <atomic>

namespace vx {

class CMediaInfoThread : public CRecordWorker
{
public:
    CMediaInfoThread(CMessageLoop& loop, MsgTarget window);
    // Stops the thread (see Stop) and waits for it to return.
    ~CMediaInfoThread() override;

    // Cooperative stop: empties the queue, wakes the thread and waits up to 100 ms. A probe in
    // hand finishes but posts nothing. True when the thread had returned within the wait.
    bool Stop();

    // Knobs for tests: the wait between ticks and the idle time after which the thread ends.
    void SetTiming(int tickMs, int idleLimitMs)
    {
        m_nTickMs = tickMs;
        m_nIdleLimitMs = idleLimitMs;
    }

protected:
    void Process() override;

private:
    void GetMediaInfo();

    std::atomic<int> m_nIdleLimitMs{30000};
};

} // namespace vx
