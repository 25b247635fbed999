#pragma once
// The countdown before the automatic shut-down: 30 seconds on timer 104, cancellable; at zero
// (or at once on request) it runs the configured shut-down command through the runner it was
// given, logs it, and reports whether the command could be run. Tests give it a recorder; the
// product gives it RunShutdownCommand. The runner runs on a thread of its own (the command may
// wait a minute for a password prompt); its outcome comes back through the loop.

#include "platform/MessageLoop.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace vx {

// Runs a command line; false with *error when it could not be run or reported a failure.
using ShutdownRunner = std::function<bool(const std::string& command, std::string* error)>;

// The product's runner: the command's words (blank-separated; double quotes group) as an
// argument vector, never through a shell; success is exit status 0 within 60 s.
bool RunShutdownCommand(const std::string& command, std::string* error);

class CAutoShutDown : public IMsgHandler
{
public:
    static constexpr uint32_t kCountdownTimer = 104;
    static constexpr int kSeconds = 30;

    CAutoShutDown(std::string command, ShutdownRunner runner, CMessageLoop& loop = CMessageLoop::Main());
    ~CAutoShutDown() override;
    CAutoShutDown(const CAutoShutDown&) = delete;
    CAutoShutDown& operator=(const CAutoShutDown&) = delete;

    // Each second left (after each tick) and the end: ran true when the command ran, else the
    // error to show.
    void SetTickCallback(std::function<void(int secondsLeft)> cb) { m_onTick = std::move(cb); }
    void SetDoneCallback(std::function<void(bool ran, const std::string& error)> cb)
    {
        m_onDone = std::move(cb);
    }

    // Starts the countdown; tickMs is the length of one second (tests shorten it).
    void Start(int tickMs = 1000);
    // closebtn, canclebtn: nothing happens.
    void Cancel();
    // Autoshutdown, and zero: stops the countdown and runs the command once; the done callback
    // follows when it has run.
    void ShutDownNow();
    // The command was started and has not reported yet.
    bool CommandRunning() const { return m_pRun && !m_pRun->finished; }

    int SecondsLeft() const { return m_nSecondsLeft; }
    bool Running() const { return m_bRunning; }
    // "您的电脑将在 %d 秒后进行关机" with the seconds left.
    std::string CountdownText() const;

    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override;

private:
    static constexpr uint32_t kMsgCommandDone = WM_USER + 3104;
    // What the command's thread shares with the countdown; the thread may outlive it.
    struct Run
    {
        std::atomic<bool> finished{false};
    };
    void OnCommandDone(bool ran, std::string error);

    std::string m_strCommand;
    ShutdownRunner m_runner;
    CMessageLoop& m_loop;
    MsgTarget m_target;
    int m_nSecondsLeft = kSeconds;
    bool m_bRunning = false;
    bool m_bDone = false;
    std::function<void(int)> m_onTick;
    std::function<void(bool, const std::string&)> m_onDone;
    std::shared_ptr<Run> m_pRun;
    std::thread m_thread;
};

} // namespace vx
