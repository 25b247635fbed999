#include "platform/Terminal.h"

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace vx {

namespace {

// The settings to put back when a signal ends the read; touched only by the reading thread and
// its signal handler.
termios g_saved;
volatile sig_atomic_t g_restoring = 0;

// Not SIGTSTP: a stopped job comes back to this same read, which must stay unseen.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreAndRaise(int sig)
{
    if (g_restoring)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    signal(sig, SIG_DFL);
    raise(sig);
}

class CEchoOff
{
public:
    CEchoOff()
    {
        if (tcgetattr(STDIN_FILENO, &g_saved) != 0)
            return;
        m_installed = true;
        struct sigaction sa = {};
        sa.sa_handler = RestoreAndRaise;
        sigemptyset(&sa.sa_mask);
        for (size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); ++i)
            sigaction(kSignals[i], &sa, &m_old[i]);
        termios quiet = g_saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL; // the Enter still moves to the next line
        g_restoring = 1;
        m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~CEchoOff()
    {
        if (m_active)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
        g_restoring = 0;
        if (!m_installed)
            return;
        for (size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); ++i)
            sigaction(kSignals[i], &m_old[i], nullptr);
    }
    CEchoOff(const CEchoOff&) = delete;
    CEchoOff& operator=(const CEchoOff&) = delete;

private:
    bool m_installed = false;
    bool m_active = false;
    struct sigaction m_old[sizeof(kSignals) / sizeof(kSignals[0])] = {};
};

int FdOf(StdStream s)
{
    return s == StdStream::In ? STDIN_FILENO : s == StdStream::Out ? STDOUT_FILENO : STDERR_FILENO;
}

} // namespace

bool IsTerminal(StdStream stream)
{
    return isatty(FdOf(stream)) == 1;
}

bool ReadHiddenLine(const std::string& prompt, std::string* line)
{
    line->clear();
    if (!IsTerminal(StdStream::In))
        return false;
    // Echo goes off before the prompt shows, so nothing typed in answer to it is ever shown.
    CEchoOff quiet;
    if (!prompt.empty()) {
        ssize_t ignored = write(STDERR_FILENO, prompt.data(), prompt.size());
        (void)ignored;
    }
    bool any = false;
    for (;;) {
        char c = 0;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return any;
        any = true;
        if (c == '\n' || c == '\r')
            return true;
        line->push_back(c);
    }
}

void PrepareConsole() {}

} // namespace vx
