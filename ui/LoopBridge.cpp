#include "ui/LoopBridge.h"

#include <QMetaObject>

namespace vx {

CQtLoopBridge::CQtLoopBridge(CMessageLoop& loop, QObject* parent)
    : QObject(parent), m_loop(loop), m_shared(std::make_shared<Shared>())
{
    m_shared->bridge = this;
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CQtLoopBridge::Pump);
    std::shared_ptr<Shared> shared = m_shared;
    m_loop.SetWakeHook([shared] { Wake(shared); });
    m_bInstalled = true;
    // Whatever was posted or armed before the bridge existed is picked up by the first pump.
    Wake(m_shared);
}

CQtLoopBridge::~CQtLoopBridge()
{
    Uninstall();
}

void CQtLoopBridge::Uninstall()
{
    if (!m_bInstalled)
        return;
    m_bInstalled = false;
    m_loop.SetWakeHook(nullptr);
    {
        // A worker inside Wake holds the mutex until its queued call is placed; after this
        // block no hook call can reach the bridge any more.
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->bridge = nullptr;
    }
    m_timer.stop();
}

void CQtLoopBridge::Wake(const std::shared_ptr<Shared>& shared)
{
    if (shared->pumpQueued.exchange(true))
        return; // a pump is already on its way and will take this post along
    std::lock_guard<std::mutex> lock(shared->mutex);
    CQtLoopBridge* bridge = shared->bridge;
    if (!bridge)
        return;
    ++shared->queuedCalls;
    // The bridge is the context: the call runs on its (the GUI) thread and is dropped if the
    // bridge is destroyed first.
    QMetaObject::invokeMethod(
        bridge, [bridge] { bridge->Pump(); }, Qt::QueuedConnection);
}

void CQtLoopBridge::Pump()
{
    // Cleared before delivering, so a post made while handlers run schedules a fresh pump.
    m_shared->pumpQueued.store(false);
    if (!m_bInstalled)
        return;
    if (m_bDelivering) {
        // Called from a nested event loop (a modal dialog inside a handler): deliver nothing now.
        m_bDeferred = true;
        ++m_uDeferred;
        return;
    }
    m_bDelivering = true;
    ++m_uPumps;
    // A slice at a time: a burst of worker results (thousands after a big drop) must not keep
    // Qt from painting and taking input; the rest follows in the next queued pump.
    m_loop.RunOnce(0, kPumpBudgetMs);
    m_bDelivering = false;
    if (m_bDeferred) {
        m_bDeferred = false;
        Wake(m_shared);
    }
    RearmTimer();
}

void CQtLoopBridge::RearmTimer()
{
    if (!m_bInstalled)
        return;
    const int due = m_loop.NextTimerDueMs();
    if (due < 0)
        m_timer.stop();
    else
        m_timer.start(due);
}

} // namespace vx
