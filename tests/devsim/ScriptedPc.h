#pragma once
// The PC's side of a wire exchange, written byte by byte, so the tests can
// hold the simulator's answers against the wire pictures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "devsim/DeviceStorage.h"
#include "link/NBException.h"
#include "link/SerialPort.h"

using devsim::Bytes;

inline std::string hex(const Bytes& bytes) {
    std::string text;
    char buffer[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X ", byte);
        text += buffer;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

inline Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

// Length (low byte first), name, command byte: the name package.
inline Bytes namePackage(std::uint8_t command, const std::string& name) {
    const auto length = static_cast<std::uint16_t>(name.size() + 1);
    return Bytes{std::uint8_t(length & 0xFF), std::uint8_t(length >> 8)} + bytesOf(name) + Bytes{command};
}

inline Bytes uploadHeader(const std::string& name, std::uint8_t flag) {
    const auto length = static_cast<std::uint16_t>(name.size() + 4);
    return Bytes{std::uint8_t(length & 0xFF), std::uint8_t(length >> 8), 0x1C} + bytesOf(name) +
           Bytes{0x05, flag, 0x0F, 0x16};
}

inline Bytes dataPackage(const Bytes& payload) {
    const auto length = static_cast<std::uint16_t>(payload.size());
    return Bytes{std::uint8_t(length & 0xFF), std::uint8_t(length >> 8)} + payload + Bytes{0x16};
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
            while (have < count)
                have += port_.readBuffer(got.data() + have, static_cast<std::uint32_t>(count - have));
        } catch (const NBException&) {
        }
        got.resize(have);
        return got;
    }

    // Sends `request` and checks that exactly `answer` comes back.
    void exchange(const Bytes& request, const Bytes& answer) {
        send(request);
        EXPECT_EQ(hex(receive(answer.size())), hex(answer)) << "answer to " << hex(request);
    }

    // Takes the port as the PC does before a transaction.
    void takePort() { exchange({0x0B, 0x00}, {0x06, 0x00}); }
    void givePortBack() { exchange({0x0B, 0x00}, {0x06, 0x02}); }

    // Receives one data package from the device (shape 5) and confirms it.
    Bytes receiveDataPackage() {
        EXPECT_EQ(hex(receive(1)), "03") << "announcement of a data package";
        send({0x06, 0x03});
        const Bytes length = receive(2);
        if (length.size() != 2) return {};
        const Bytes payload = receive(length[0] | (length[1] << 8));
        EXPECT_EQ(hex(receive(1)), "16") << "SYNC after the package";
        send({0x06, 0x16});
        return payload;
    }

    // Receives packages until END_OF_FILE and returns their joined payload.
    Bytes receiveData(std::vector<std::size_t>* sizes = nullptr) {
        Bytes all;
        for (;;) {
            Bytes next = receive(1);
            if (next.empty() || next[0] != 0x03) {
                EXPECT_EQ(hex(next), "04") << "END_OF_FILE after the packages";
                return all;
            }
            send({0x06, 0x03});
            const Bytes length = receive(2);
            const Bytes payload = receive(length.size() == 2 ? length[0] | (length[1] << 8) : 0);
            EXPECT_EQ(hex(receive(1)), "16") << "SYNC after the package";
            send({0x06, 0x16});
            if (sizes) sizes->push_back(payload.size());
            all = all + payload;
        }
    }

    SerialPort& port() { return port_; }

private:
    SerialPort& port_;
};
