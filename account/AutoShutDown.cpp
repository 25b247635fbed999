#include "account/AutoShutDown.h"

#include "app/LogFile.h"
#include "net/HttpClient.h"
#include "platform/Process.h"

#include <vector>

namespace vx {
namespace {

std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any)
                words.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any)
        words.push_back(cur);
    return words;
}

} // namespace

bool RunShutdownCommand(const std::string& command, std::string* error)
{
    std::vector<std::string> words = SplitWords(command);
    if (words.empty()) {
        *error = "no shut-down command is configured ([power] ShutdownCommand)";
        return false;
    }
    const std::string exe = words.front();
    words.erase(words.begin());
    CProcess process;
    std::string startError;
    if (!process.Start(exe, words, {}, &startError)) {
        *error = startError.empty() ? "cannot start " + exe : startError;
        return false;
    }
    int code = -1;
    if (!process.Wait(60000, &code)) {
        process.Terminate();
        *error = exe + " did not finish within 60 s";
        return false;
    }
    if (code != 0) {
        *error = FormatText("%s ended with status %d", exe.c_str(), code);
        return false;
    }
    return true;
}

CAutoShutDown::CAutoShutDown(std::string command, ShutdownRunner runner, CMessageLoop& loop)
    : m_strCommand(std::move(command)), m_runner(std::move(runner)), m_loop(loop),
      m_target(loop.Register(this))
{
}

CAutoShutDown::~CAutoShutDown()
{
    m_loop.Unregister(m_target); // a late outcome goes nowhere
    if (!m_thread.joinable())
        return;
    if (m_pRun->finished)
        m_thread.join();
    else
        m_thread.detach(); // still waiting for the command: its result no longer matters
}

std::string CAutoShutDown::CountdownText() const
{
    return FormatText("您的电脑将在 %d 秒后进行关机", m_nSecondsLeft);
}

void CAutoShutDown::Start(int tickMs)
{
    if (m_bDone)
        return;
    m_nSecondsLeft = kSeconds;
    m_bRunning = true;
    m_loop.SetTimer(m_target, kCountdownTimer, tickMs);
}

void CAutoShutDown::Cancel()
{
    if (m_bRunning)
        Log(g_log, "Info : automatic shut-down cancelled with %d s left", m_nSecondsLeft);
    m_loop.KillTimer(m_target, kCountdownTimer);
    m_bRunning = false;
    m_bDone = true;
}

void CAutoShutDown::ShutDownNow()
{
    m_loop.KillTimer(m_target, kCountdownTimer);
    m_bRunning = false;
    if (m_bDone)
        return;
    m_bDone = true;
    Log(g_log, "Info : automatic shut-down: running %s", m_strCommand.c_str());
    if (!m_runner) {
        OnCommandDone(false, std::string());
        return;
    }
    m_pRun = std::make_shared<Run>();
    m_thread = std::thread(
        [run = m_pRun, runner = m_runner, command = m_strCommand, loop = &m_loop, target = m_target] {
            std::string error;
            const bool ran = runner(command, &error);
            loop->PostMsg(target, kMsgCommandDone, ran ? 1 : 0, MakePayload(std::move(error)));
            run->finished = true;
        });
}

void CAutoShutDown::OnCommandDone(bool ran, std::string error)
{
    if (!ran) {
        if (error.empty())
            error = "the shut-down command could not be run";
        Log(g_log, "Error : automatic shut-down failed: %s", error.c_str());
    }
    if (m_onDone)
        m_onDone(ran, error);
}

void CAutoShutDown::OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload)
{
    if (id == kMsgCommandDone) {
        if (m_thread.joinable())
            m_thread.join(); // it posted as its last step
        std::string* error = PayloadAs<std::string>(payload);
        OnCommandDone(wParam != 0, error ? std::move(*error) : std::string());
        return;
    }
    if (id != WM_TIMER || wParam != kCountdownTimer || !m_bRunning)
        return;
    if (m_nSecondsLeft > 0)
        --m_nSecondsLeft;
    if (m_onTick)
        m_onTick(m_nSecondsLeft);
    if (m_nSecondsLeft == 0)
        ShutDownNow();
}

} // namespace vx
