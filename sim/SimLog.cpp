#include "sim/SimLog.h"

#include "platform/LocalTime.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace vx::sim {

namespace {
std::atomic<bool> g_quiet{false};
std::mutex g_logMutex;
} // namespace

void SetLogQuiet(bool quiet)
{
    g_quiet = quiet;
}

void SimLog(const char* fmt, ...)
{
    if (g_quiet)
        return;
    auto now = std::chrono::system_clock::now();
    time_t t = std::chrono::system_clock::to_time_t(now);
    int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    struct tm tmv = LocalTimeOf(t);
    char stamp[32];
    strftime(stamp, sizeof(stamp), "%H:%M:%S", &tmv);
    char line[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof(line), fmt, ap);
    va_end(ap);
    std::lock_guard<std::mutex> lock(g_logMutex);
    fprintf(stderr, "%s.%03d %s\n", stamp, ms, line);
    fflush(stderr);
}

} // namespace vx::sim
