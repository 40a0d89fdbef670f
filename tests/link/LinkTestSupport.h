#pragma once
// Helpers shared by the link tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "PtyPeer.h"
#include "link/NBException.h"
#include "link/Pause.h"
#include "link/SerialPort.h"

// The link through which Wine reaches COM<n> (see the Wine prefix script).
inline std::string comLink(int portNumber) {
    return std::string(NIMBREL_PORT_DIR) + "/COM" + std::to_string(portNumber);
}

// Records the fixed waits asked for and returns at once.
struct RecordedPauses {
    std::vector<std::uint32_t> taken;
    ScopedPause scope{[this](std::uint32_t ms) { taken.push_back(ms); }};
};

// What an action raised, as "<class name>: <description>"; the class name
// stands for the code too (see ExceptionTest).
template <typename Action>
std::string raisedBy(Action action) {
    try {
        action();
    } catch (const NBException& raised) {
        return std::string(raised.typeName) + ": " + raised.description;
    }
    return "nothing raised";
}

// One write and read exchange with a peer playing exchangeScript: two bytes
// by writeBuffer and one by writeByte out, three bytes by readBuffer and a
// late one by readByte back.
inline constexpr char exchangeScript[] = "wait:3 send:06 20 41 sleep:50 send:07";

inline void expectExchange(SerialPort& port, const PtyPeer& peer) {
    const std::vector<std::uint8_t> sent{0x05, 0x00, 0xFF};
    port.writeBuffer(sent.data(), 2);
    port.writeByte(0xFF);
    EXPECT_EQ(peer.capturedAtLeast(3), sent);

    std::uint8_t answer[3] = {};
    EXPECT_EQ(port.readBuffer(answer, 3), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(answer, answer + 3), (std::vector<std::uint8_t>{0x06, 0x20, 0x41}));
    EXPECT_EQ(port.readByte(), 0x07) << "readByte waits for a byte still on its way";
}
