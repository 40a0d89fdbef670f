#include "link/Pause.h"

#include <chrono>
#include <thread>

namespace {
PauseFunction& installedPause() {
    static PauseFunction pause;
    return pause;
}
}  // namespace

void pauseFor(std::uint32_t milliseconds) {
    if (const PauseFunction& pause = installedPause()) {
        pause(milliseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

PauseFunction setPauseFunction(PauseFunction pause) {
    PauseFunction previous = std::move(installedPause());
    installedPause() = std::move(pause);
    return previous;
}
