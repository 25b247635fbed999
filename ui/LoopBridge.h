#pragma once
// Drives the program's message loop (CMessageLoop) from Qt's event loop on the GUI thread.
//
// - Posts from any thread call the loop's wake hook; the first post of a burst schedules one
//   queued pump on the GUI thread, later posts of the same burst only join the queue.
// - The loop's timers drive one single-shot QTimer, re-armed after every pump for the next
//   due timer (NextTimerDueMs).
// - Delivery never nests: when a handler opens a modal dialog, Qt's nested event loop may call
//   the pump again; that call only notes that work is waiting and returns. The handler's
//   messages keep their order and the rest is delivered once the handler has returned.
//
// Install the bridge after QApplication exists and before the workers start; destroy it (which
// uninstalls the wake hook) only after every worker that posts to the loop has been joined.
// A post that races with uninstalling is still safe: it finds the bridge gone and does nothing.

#include "platform/MessageLoop.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace vx {

class CQtLoopBridge : public QObject
{
    Q_OBJECT

public:
    // Longest a pump keeps delivering before it lets Qt's own events run.
    static constexpr int kPumpBudgetMs = 8;

    explicit CQtLoopBridge(CMessageLoop& loop = CMessageLoop::Main(), QObject* parent = nullptr);
    ~CQtLoopBridge() override;

    // Removes the wake hook and stops the timer; idempotent.
    void Uninstall();

    // True while a message handler runs (a pump asked for now is deferred).
    bool IsDelivering() const { return m_bDelivering; }

    // Figures for tests and diagnostics.
    uint64_t QueuedPumpCount() const { return m_shared->queuedCalls.load(); }
    uint64_t PumpCount() const { return m_uPumps; }
    uint64_t DeferredCount() const { return m_uDeferred; }

private:
    // What the wake hook reaches; outlives the bridge while a worker still holds the hook.
    struct Shared
    {
        std::mutex mutex;
        CQtLoopBridge* bridge = nullptr;
        std::atomic<bool> pumpQueued{false};
        std::atomic<uint64_t> queuedCalls{0};
    };

    static void Wake(const std::shared_ptr<Shared>& shared);
    void Pump();
    void RearmTimer();

    CMessageLoop& m_loop;
    std::shared_ptr<Shared> m_shared;
    QTimer m_timer;
    bool m_bInstalled = false;
    bool m_bDelivering = false;
    bool m_bDeferred = false;
    uint64_t m_uPumps = 0;
    uint64_t m_uDeferred = 0;
};

} // namespace vx
