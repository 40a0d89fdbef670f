#pragma once
// Helpers shared by the serial port tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/NBException.h"
#include "link/Pause.h"

// Records the fixed waits asked for and returns at once.
class RecordedPauses {
public:
    RecordedPauses()
        : scope_([this](std::uint32_t ms) {
              std::lock_guard<std::mutex> lock(mutex_);
              pauses_.push_back(ms);
          }) {}
    std::vector<std::uint32_t> taken() {
        std::lock_guard<std::mutex> lock(mutex_);
        return pauses_;
    }

private:
    std::mutex mutex_;
    std::vector<std::uint32_t> pauses_;
    ScopedPause scope_;
};

// The exception an action raised, or a failure naming what was expected.
template <typename Exception, typename Action>
NBException raisedBy(Action action) {
    try {
        action();
    } catch (const Exception& raised) {
        return raised;
    } catch (const NBException& other) {
        ADD_FAILURE() << "expected another exception, got " << other.typeName << ": " << other.description;
        return other;
    }
    ADD_FAILURE() << "expected an exception, none came";
    return PortExceptions::UnableToOpenPort("nothing raised");
}

inline std::vector<std::uint8_t> bytesOf(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int value : values) bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}
