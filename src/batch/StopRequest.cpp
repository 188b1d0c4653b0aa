// Ctrl-C and termination requests, turned into a flag the run checks between files.
#include "batch/StopRequest.h"

#include <csignal>

namespace batch {

namespace {

volatile std::sig_atomic_t stopFlag = 0;

extern "C" void onStopSignal(int)
{
    stopFlag = 1;
}

} // namespace

void installStopHandler()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes resume (the file in hand is finished whole); the handler
    // is reset after its first call.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stopRequested()
{
    return stopFlag != 0;
}

} // namespace batch
