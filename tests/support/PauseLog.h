#pragma once
// The protocol's fixed waits taken out for one test and recorded in order.
// With `realMilliseconds` each one also sleeps that long, for tests that run
// threads against each other.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "link/Pause.h"

class PauseLog {
public:
    explicit PauseLog(unsigned realMilliseconds = 0)
        : pause_([this, realMilliseconds](std::uint32_t milliseconds) {
              std::unique_lock lock(mutex_);
              waits_.push_back(milliseconds);
              lock.unlock();
              std::this_thread::sleep_for(std::chrono::milliseconds(realMilliseconds));
          }) {}
    std::vector<std::uint32_t> waits() const {
        std::lock_guard lock(mutex_);
        return waits_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> waits_;
    ScopedPause pause_;
};
