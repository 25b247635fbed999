#include "platform/StopSignal.h"

#include <pthread.h>
#include <signal.h>

namespace vx {

namespace {

sigset_t StopSet()
{
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGTERM);
    return sigs;
}

} // namespace

void HoldStopRequests()
{
    sigset_t sigs = StopSet();
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);
}

int WaitForStopRequest()
{
    sigset_t sigs = StopSet();
    int sig = 0;
    sigwait(&sigs, &sig);
    return sig;
}

} // namespace vx
