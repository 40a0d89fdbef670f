#pragma once
// Helpers shared by the serial port tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "PtyPeer.h"
#include "link/NBException.h"
#include "link/SerialPort.h"
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

// One write and read exchange with a peer playing exchangeScript: two bytes
// by writeBuffer and one by writeByte out, three bytes by readBuffer and a
// late one by readByte back.
inline constexpr char exchangeScript[] = "wait:3 send:06 20 41 sleep:50 send:07";

inline void expectExchange(SerialPort& port, const PtyPeer& peer) {
    const auto sent = bytesOf({0x05, 0x00, 0xFF});
    port.writeBuffer(sent.data(), 2);
    port.writeByte(0xFF);
    EXPECT_EQ(peer.capturedAtLeast(3), sent);

    std::uint8_t answer[3] = {};
    EXPECT_EQ(port.readBuffer(answer, 3), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(answer, answer + 3), bytesOf({0x06, 0x20, 0x41}));
    EXPECT_EQ(port.readByte(), 0x07) << "readByte waits for a byte still on its way";
}
