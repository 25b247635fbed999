#pragma once
// The frame of the workers that serve the main window from a queue of record copies (the probe
// and the digest workers): the queue, the stop flag and the wake event, the wait loop with its
// one-second tick, the cooperative stop and the posting of results. What a worker does with a
// record, and what it does at a tick, stay in the worker.

#include "media/RecordQueue.h"
#include "media/Thread.h"
#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "store/LCItemData.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vx {

class CRecordWorker : public CThread
{
public:
    // Appends copies of the records; false (nothing added) once the thread has ended or been
    // stopped: the caller replaces it and adds them to the new one.
    bool AddFiles(const std::vector<_sLCItemData>& records);
    // Drops queued entries with one of these file indexes (the user deleted the files); returns
    // how many went (an entry the thread has taken already is not among them).
    size_t RemoveFiles(const std::vector<std::string>& fileIndexes) { return m_vFile.Remove(fileIndexes); }
    size_t QueueLength() const { return m_vFile.Size(); }

    // True from construction until the thread has ended (or was stopped): while false the
    // window must replace the thread instead of feeding it.
    bool IsActive() const { return m_bRunning.load(); }

protected:
    // name: the class name the loop's logs carry; resultMsg: the message of each result.
    CRecordWorker(CMessageLoop& loop, MsgTarget window, const char* name, uint32_t resultMsg);

    // The first half of a stop: sets the stop flag, closes the queue and empties it; returns how
    // many records were dropped.
    size_t DropQueue();
    // The second half: wakes the thread at once instead of at the next tick and waits up to
    // 100 ms for it; logs joinedText or timedOutText. True when the thread had returned.
    bool WakeAndJoin(const std::string& joinedText, const std::string& timedOutText);

    // Posts a record copy back to the window as the result message.
    void Post(int64_t code, _sLCItemData&& record);

    // Waits on the event tick by tick until the stop flag is seen. onWake handles a wake-up,
    // onTick a tick that passed without one (with the queue's length); either ends the loop by
    // returning false.
    void RunLoop(const std::function<bool()>& onWake, const std::function<bool(size_t queued)>& onTick);

    static int64_t NowMs();

    CMessageLoop& m_loop;
    const MsgTarget m_window;
    std::atomic<bool> m_bTerminate{false};
    std::atomic<bool> m_bRunning{true};
    CEvent m_hEvent;
    CRecordQueue<_sLCItemData> m_vFile;
    std::atomic<int> m_nTickMs{1000};

private:
    const char* const m_pszName;
    const uint32_t m_uResultMsg;
};

} // namespace vx
