#include <csignal>
#include <thread>

#include "Interrupt.h"

// Signals are taken by one thread with sigwait, so the action runs as
// ordinary code (it may take locks) rather than inside a signal handler.
void installInterruptHandling() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);  // a closed terminal: clean up as for Ctrl+C
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        for (;;) {
            int received = 0;
            if (sigwait(&signals, &received) == 0) handleInterrupt();
        }
    }).detach();
}
