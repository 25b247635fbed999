#include "platform/TermSignal.h"

namespace vx {

// The end of the session reaches a Windows program as a window message (Qt's commit-data
// request), Ctrl+C a console program's handler: there is nothing to watch here.
int WatchTermSignals()
{
    return -1;
}

int TakeTermSignal(int)
{
    return 0;
}

} // namespace vx
