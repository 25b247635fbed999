#pragma once
// The worker that probes course files for the main window: it takes record copies from its
// queue, probes media files (documents are only measured) and posts each updated copy back as
// WM_MEDIAINFO_RESULT. Idle for about 30 s it ends itself and posts WM_CHECK_MEDIAINFO (1) so
// the window releases it; the window makes a new one when records need probing again.

#include "media/RecordQueue.h"
#include "media/Thread.h"
#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "store/LCItemData.h"

#include <atomic>
#include <string>
#include <vector>

namespace vx {

class CMediaInfoThread : public CThread
{
public:
    CMediaInfoThread(CMessageLoop& loop, MsgTarget window);
    // Stops the thread (see Stop) and waits for it to return.
    ~CMediaInfoThread() override;

    // Appends copies of the records; they are picked up at the next one-second tick. False when
    // the thread has already ended: the caller replaces it and adds them to the new one.
    bool AddFiles(const std::vector<_sLCItemData>& records);
    // Drops queued entries with one of these file indexes (the user deleted the files).
    void RemoveFiles(const std::vector<std::string>& fileIndexes);
    size_t QueueLength() const { return m_vFile.Size(); }

    // True from construction until the thread has ended (or was stopped): while false the
    // window must replace the thread instead of feeding it.
    bool IsActive() const { return m_bRunning.load(); }

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
    void Post(int64_t code, _sLCItemData&& record);

    CMessageLoop& m_loop;
    MsgTarget m_window;
    std::atomic<bool> m_bTerminate{false};
    std::atomic<bool> m_bRunning{true};
    CEvent m_hEvent;
    CRecordQueue<_sLCItemData> m_vFile;
    std::atomic<int> m_nTickMs{1000};
    std::atomic<int> m_nIdleLimitMs{30000};
};

} // namespace vx
