#include "Interrupt.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex actionMutex;
std::function<void()> currentAction;
std::atomic<bool> interrupted{false};
}  // namespace

InterruptAction::InterruptAction(std::function<void()> onInterrupt) {
    std::lock_guard lock(actionMutex);
    currentAction = std::move(onInterrupt);
}

InterruptAction::~InterruptAction() {
    std::lock_guard lock(actionMutex);
    currentAction = nullptr;
}

bool wasInterrupted() {
    return interrupted.load();
}

void handleInterrupt() {
    interrupted = true;
    std::lock_guard lock(actionMutex);
    if (currentAction) {
        currentAction();
    } else {
        std::_Exit(130);
    }
}
