// Ctrl-C, termination requests, a closed terminal and a closed pipe, turned into a flag the
// run checks between files.
#include "batch/StopRequest.h"

#include <csignal>
#include <cstdio>
#include <initializer_list>

#include <pthread.h>

namespace batch {

namespace {

volatile std::sig_atomic_t stopFlag = 0;

extern "C" void onStopSignal(int signal)
{
    if (stopFlag == 0)
        stopFlag = signal;
}

} // namespace

void installStopHandler()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes resume (the files in hand are finished whole); the handler
    // is reset after its first call.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}

bool stopRequested()
{
    return stopFlag != 0;
}

int stopSignal()
{
    return stopFlag;
}

void endByStopSignal()
{
    const int signal = stopFlag;
    if (signal == 0)
        return;
    std::fflush(nullptr);
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    std::raise(signal);
}

} // namespace batch
