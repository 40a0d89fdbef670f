#pragma once
// The PC's side of a wire exchange, written byte by byte, so the tests can
// hold the simulator's answers against the wire pictures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "link/NBException.h"
#include "link/SerialPort.h"

using Bytes = std::vector<std::uint8_t>;

inline std::string hex(const Bytes& bytes) {
    std::string text;
    char buffer[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(buffer, sizeof buffer, " %02X", byte);
        text += buffer;
    }
    return text.empty() ? text : text.substr(1);
}

inline Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

inline Bytes patternOf(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// Bytes on the wire, written as hex text ("06 16") or given as they are.
struct Wire : Bytes {
    Wire(Bytes bytes) : Bytes(std::move(bytes)) {}
    Wire(const char* hexText) {
        std::istringstream in(hexText);
        for (unsigned value; in >> std::hex >> value;) push_back(static_cast<std::uint8_t>(value));
    }
};

// Length (low byte first), the bytes, SYNC: the shape of every package.
inline Bytes package(const Bytes& inner) {
    return Bytes{std::uint8_t(inner.size() & 0xFF), std::uint8_t(inner.size() >> 8)} + inner + Bytes{0x16};
}
inline Bytes namePackage(std::uint8_t command, const std::string& name) {
    return package(bytesOf(name) + Bytes{command});
}
inline Bytes uploadHeader(const std::string& name, std::uint8_t flag) {
    return package(Bytes{0x1C} + bytesOf(name) + Bytes{0x05, flag, 0x0F});
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

    // Sends `request` and checks that exactly `answer` comes back; an empty
    // answer means that nothing comes.
    void exchange(const Wire& request, const Wire& answer) {
        send(request);
        EXPECT_EQ(hex(receive(answer.empty() ? 1 : answer.size())), hex(answer)) << "answer to " << hex(request);
    }

    // Takes the port, runs the exchanges and gives the port back, as the PC does.
    void transaction(const std::vector<std::pair<Wire, Wire>>& steps) {
        exchange("0B 00", "06 00");
        for (const auto& [request, answer] : steps) exchange(request, answer);
        exchange("0B 00", "06 02");
    }

    // Receives packages until END_OF_FILE and returns their joined payload.
    Bytes receiveData(std::vector<std::size_t>* sizes = nullptr) {
        Bytes all;
        for (Bytes next = receive(1); next == Bytes{0x03}; next = receive(1)) {
            send({0x06, 0x03});
            const Bytes length = receive(2);
            const Bytes payload = receive(length.size() == 2 ? length[0] | (length[1] << 8) : 0);
            EXPECT_EQ(hex(receive(1)), "16") << "SYNC after the package";
            send({0x06, 0x16});
            if (sizes) sizes->push_back(payload.size());
            all = all + payload;
        }
        return all;
    }

private:
    SerialPort& port_;
};
