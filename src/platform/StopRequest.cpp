// Ctrl-C, termination requests, a closed terminal and a closed pipe, turned into a flag the
// run checks between files.
#include "platform/StopRequest.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

#include <pthread.h>

namespace platform {

namespace {

volatile std::sig_atomic_t stopFlag = 0;
// The pipe whose read end stopDescriptor() hands out; the handler writes one byte to it.
int wakeRead = -1;
volatile std::sig_atomic_t wakeWrite = -1;

extern "C" void onStopSignal(int signal)
{
    if (stopFlag == 0) {
        stopFlag = signal;
        const int saved = errno;
        if (wakeWrite >= 0) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = ::write(wakeWrite, &byte, 1);
        }
        errno = saved;
    }
}

} // namespace

void installStopHandler()
{
    if (wakeRead < 0) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead = ends[0];
            wakeWrite = ends[1];
        }
    }
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

int stopDescriptor()
{
    return wakeRead;
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

} // namespace platform
