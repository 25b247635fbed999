#include "platform/StopSignal.h"

#include "platform/Win32Text.h"

#include <csignal>

namespace vx {

namespace {

HANDLE g_stopEvent = nullptr;
volatile LONG g_stopKind = 0;

BOOL WINAPI OnConsoleEvent(DWORD type)
{
    switch (type) {
    case CTRL_C_EVENT:
        g_stopKind = SIGINT;
        break;
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_stopKind = SIGTERM;
        break;
    default:
        return FALSE;
    }
    SetEvent(g_stopEvent);
    return TRUE; // handled: the waiting thread ends the program in order
}

} // namespace

void HoldStopRequests()
{
    if (!g_stopEvent)
        g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int WaitForStopRequest()
{
    if (!g_stopEvent)
        HoldStopRequests();
    WaitForSingleObject(g_stopEvent, INFINITE);
    return static_cast<int>(g_stopKind);
}

} // namespace vx
