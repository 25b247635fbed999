#pragma once
// Window-message stand-in: targets register with a loop and receive posted messages and timer
// ticks on the loop's thread. PostMsg is thread-safe; everything else runs on the loop thread.
// A message for a target that is gone is dropped and its payload freed.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace vx {

constexpr uint32_t WM_USER = 1024;
constexpr uint32_t WM_TIMER = 0x0113;

// Base of everything a message carries. Wrap any value with MakePayload.
struct CMsgPayload
{
    virtual ~CMsgPayload() = default;
};

template <typename T> struct CTypedPayload : CMsgPayload
{
    explicit CTypedPayload(T v) : value(std::move(v)) {}
    T value;
};

template <typename T> std::unique_ptr<CMsgPayload> MakePayload(T value)
{
    return std::make_unique<CTypedPayload<T>>(std::move(value));
}

// The value inside a payload made by MakePayload<T>, or null when it holds something else.
template <typename T> T* PayloadAs(const std::unique_ptr<CMsgPayload>& p)
{
    auto* typed = dynamic_cast<CTypedPayload<T>*>(p.get());
    return typed ? &typed->value : nullptr;
}

using MsgTarget = uint64_t; // 0 is never a valid target

// Receives messages; WM_TIMER arrives with wParam = timer id and no payload.
class IMsgHandler
{
public:
    virtual ~IMsgHandler() = default;
    virtual void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) = 0;
};

class CMessageLoop
{
public:
    CMessageLoop() = default;
    CMessageLoop(const CMessageLoop&) = delete;
    CMessageLoop& operator=(const CMessageLoop&) = delete;

    // The process's main loop (the UI thread's).
    static CMessageLoop& Main();

    MsgTarget Register(IMsgHandler* handler);
    // Drops the target, its queued messages (payloads freed) and its timers.
    void Unregister(MsgTarget target);

    // Thread-safe. False when the target does not exist (the payload is freed at once).
    bool PostMsg(MsgTarget target, uint32_t id, uint64_t wParam = 0,
                 std::unique_ptr<CMsgPayload> payload = nullptr);
    // Repeating timer: WM_TIMER every ms until KillTimer; setting it again restarts it.
    bool SetTimer(MsgTarget target, uint32_t timerId, int ms);
    bool KillTimer(MsgTarget target, uint32_t timerId);

    // Delivers what is due, waiting at most maxWaitMs for something to arrive. Returns the count.
    int RunOnce(int maxWaitMs) { return RunOnce(maxWaitMs, -1); }
    // The same, but stops taking messages once budgetMs have passed (negative: no limit): the
    // rest stay at the head of the queue, in order, and the wake hook is called so a host loop
    // schedules the next round. Due timers still fire. A host loop that must keep answering
    // (painting, input) hands a burst of thousands of results over in slices this way.
    int RunOnce(int maxWaitMs, int budgetMs);
    // Pumps for at most ms milliseconds or until pred() is true; returns pred's last value.
    bool PumpUntil(const std::function<bool()>& pred, int ms);
    // Runs until Quit is called.
    void Run();
    void Quit();

    // Called after each post from any thread, so a host loop (Qt) can schedule a pump.
    void SetWakeHook(std::function<void()> hook);
    // Milliseconds until the next timer is due (-1 when no timer is set).
    int NextTimerDueMs();
    // Milliseconds until this timer is due (-1 when it is not set).
    int TimerDueMs(MsgTarget target, uint32_t timerId);

private:
    using Clock = std::chrono::steady_clock;
    struct Msg
    {
        MsgTarget target;
        uint32_t id;
        uint64_t wParam;
        std::unique_ptr<CMsgPayload> payload;
    };
    struct Timer
    {
        int periodMs;
        Clock::time_point due;
    };

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Msg> m_queue;
    std::map<MsgTarget, IMsgHandler*> m_targets;
    std::map<std::pair<MsgTarget, uint32_t>, Timer> m_timers;
    MsgTarget m_nextTarget = 1;
    bool m_quit = false;
    std::function<void()> m_wakeHook;
};

} // namespace vx
