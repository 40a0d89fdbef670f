#pragma once
// The PC's side of a wire exchange against the simulator: plays wire text
// (see WireText.h), sending the PC's bytes and checking that exactly the
// device's bytes come back ("quiet": that nothing comes).
#include <gtest/gtest.h>

#include "WireText.h"
#include "link/NBException.h"
#include "link/SerialPort.h"

// Length (low byte first), the bytes, SYNC: the shape of every package.
inline std::string package(const Bytes& inner) {
    return hexOf(lengthBytes(inner.size()) + inner + Bytes{0x16});
}

class ScriptedPc {
public:
    explicit ScriptedPc(SerialPort& port) : port_(port) {}

    void send(const Bytes& bytes) { port_.writeBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())); }
    // Whatever arrives up to `count` bytes, until the port times out.
    Bytes receive(std::size_t count) {
        Bytes got(count);
        std::size_t have = 0;
        try {
            while (have < count) have += port_.readBuffer(got.data() + have, static_cast<std::uint32_t>(count - have));
        } catch (const NBException&) {
        }
        got.resize(have);
        return got;
    }
    void play(const std::string& wire) {
        for (const auto& [fromPc, bytes] : parseWire(wire)) {
            if (fromPc) {
                send(bytes);
            } else {
                EXPECT_EQ(hexOf(receive(std::max<std::size_t>(bytes.size(), 1))), hexOf(bytes)) << wire;
            }
        }
    }
    // Receives packages until END_OF_FILE; returns their joined payload and
    // their sizes.
    Bytes receiveData(std::vector<std::size_t>& sizes) {
        Bytes all;
        for (Bytes next = receive(1); next == Bytes{0x03}; next = receive(1)) {
            send({0x06, 0x03});
            const Bytes length = receive(2);
            const Bytes payload = receive(length.size() == 2 ? length[0] | (length[1] << 8) : 0);
            EXPECT_EQ(hexOf(receive(1)), "16") << "SYNC after the package";
            send({0x06, 0x16});
            sizes.push_back(payload.size());
            all = all + payload;
        }
        return all;
    }

private:
    SerialPort& port_;
};
