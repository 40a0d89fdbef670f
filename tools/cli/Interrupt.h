#pragma once
// Ctrl+C: during a transfer it cancels the transfer through the device (so
// no partial file is left behind); at any other time it ends the program
// with exit code 130.
#include <functional>

void installInterruptHandling();

// While an instance lives, an interrupt runs `onInterrupt` (from another
// thread) instead of ending the program.
class InterruptAction {
public:
    explicit InterruptAction(std::function<void()> onInterrupt);
    ~InterruptAction();
    InterruptAction(const InterruptAction&) = delete;
    InterruptAction& operator=(const InterruptAction&) = delete;
};

// True once the user pressed Ctrl+C.
bool wasInterrupted();

// Runs the installed action, or ends the program; called by the platform's
// handler on a thread of its own.
void handleInterrupt();
