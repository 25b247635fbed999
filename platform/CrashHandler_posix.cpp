#include "platform/CrashHandler.h"

#include "platform/Paths.h"

#include <csignal>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace vx {

namespace {

char g_dumpFolder[1024];
void (*g_onWritten)(const char*, bool) = nullptr;

void PutDecimal(int fd, long v)
{
    char buf[24];
    int i = sizeof(buf);
    bool neg = v < 0;
    unsigned long u = neg ? static_cast<unsigned long>(-v) : static_cast<unsigned long>(v);
    do {
        buf[--i] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u && i > 1);
    if (neg)
        buf[--i] = '-';
    if (write(fd, buf + i, sizeof(buf) - static_cast<size_t>(i)) < 0) {
        // nothing more can be done inside a crash
    }
}

void PutText(int fd, const char* s)
{
    if (write(fd, s, strlen(s)) < 0) {
        // nothing more can be done inside a crash
    }
}

void OnFatalSignal(int sig, siginfo_t* info, void*)
{
    // localtime_r is not formally async-signal-safe, but the time zone was loaded at install
    // time, and a dump with a name beats none.
    time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    char name[32];
    strftime(name, sizeof(name), "%m-%d %H-%M-%S.dmp", &t);
    char path[1100];
    size_t n = strlen(g_dumpFolder);
    memcpy(path, g_dumpFolder, n);
    memcpy(path + n, name, strlen(name) + 1);

    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        PutText(fd, "signal ");
        PutDecimal(fd, sig);
        PutText(fd, " (");
        PutText(fd, strsignal(sig));
        PutText(fd, ") at address 0x");
        char hex[20];
        uintptr_t a = reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr);
        int i = sizeof(hex);
        hex[--i] = '\n';
        do {
            hex[--i] = "0123456789abcdef"[a & 15];
            a >>= 4;
        } while (a && i > 0);
        if (write(fd, hex + i, sizeof(hex) - static_cast<size_t>(i)) < 0) {
            // ignored
        }
        PutText(fd, "pid ");
        PutDecimal(fd, getpid());
        PutText(fd, "\nbacktrace:\n");
        void* frames[64];
        int count = backtrace(frames, 64);
        backtrace_symbols_fd(frames, count, fd);
        close(fd);
    }
    if (g_onWritten)
        g_onWritten(path, fd >= 0);
    // Default action again, so the process ends (and dumps core where that is enabled).
    signal(sig, SIG_DFL);
    raise(sig);
}

} // namespace

void InstallCrashHandler(const std::string& dumpFolder, void (*onWritten)(const char*, bool))
{
    MakeDirs(dumpFolder);
    std::string folder = dumpFolder;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    strncpy(g_dumpFolder, folder.c_str(), sizeof(g_dumpFolder) - 1);
    g_onWritten = onWritten;
    tzset();
    // backtrace() loads libgcc on first use, which allocates: do it now, not in the handler.
    void* warm[1];
    backtrace(warm, 1);
    struct sigaction sa;
    memset(&sa, 0, sizeof(sa));
    sa.sa_sigaction = OnFatalSignal;
    sa.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        sigaction(sig, &sa, nullptr);
}

} // namespace vx
