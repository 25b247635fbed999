#include "platform/TermSignal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace vx {

namespace {

int g_pipe[2] = {-1, -1};

void OnTermSignal(int sig)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    // A full pipe already says that a signal came.
    [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

int WatchTermSignals()
{
    if (g_pipe[0] >= 0)
        return g_pipe[0];
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return -1;
    g_pipe[0] = fds[0];
    g_pipe[1] = fds[1];
    struct sigaction sa = {};
    sa.sa_handler = OnTermSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        sigaction(sig, &sa, nullptr);
    return g_pipe[0];
}

int TakeTermSignal(int fd)
{
    int last = 0;
    unsigned char buf[16];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof(buf));
        if (n > 0) {
            last = buf[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return last;
    }
}

} // namespace vx
