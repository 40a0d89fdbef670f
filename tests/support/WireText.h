#pragma once
// Wire exchanges written as short texts, as the wire pictures draw them:
// "> FF < FE 72" is FF from the PC and FE 72 from the device. Tokens: hex
// bytes; 'text' (ASCII, spaces allowed); "take" and "give" for the port
// switches answered as all is well; "cmd:XX" for a command and its ACK;
// "name:XX:NAME" for a name package ended with command XX, SYNC and its ACK;
// "quiet" for a device that says nothing.
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
inline Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}
// "06 16", for comparisons that show both sides.
inline std::string hexOf(const Bytes& bytes) {
    std::string text;
    char hex[4];
    for (std::uint8_t byte : bytes)
        text.append(hex, std::snprintf(hex, sizeof hex, text.empty() ? "%02X" : " %02X", byte));
    return text;
}
inline Bytes lengthBytes(std::size_t n) {
    return {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8)};
}
inline Bytes countingBytes(std::size_t count, std::uint8_t start = 0, std::uint8_t step = 1) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(start + i * step);
    return bytes;
}

// One direction's bytes: true for the PC's.
using WireSegment = std::pair<bool, Bytes>;

inline std::vector<WireSegment> parseWire(const std::string& text) {
    std::vector<WireSegment> segments;
    bool pc = true;
    const auto add = [&](bool fromPc, const Bytes& bytes) {
        if (segments.empty() || segments.back().first != fromPc) segments.emplace_back(fromPc, Bytes{});
        segments.back().second = segments.back().second + bytes;
    };
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        if (word == ">" || word == "<") {
            pc = word == ">";
        } else if (word[0] == '\'') {
            std::string ascii = word.substr(1);
            while (ascii.empty() || ascii.back() != '\'') {
                if (!in) throw std::invalid_argument("unended text in " + text);
                ascii += static_cast<char>(in.get());
            }
            add(pc, bytesOf(ascii.substr(0, ascii.size() - 1)));
        } else if (word == "take" || word == "give") {
            add(true, {0x0B, 0x00}), add(false, {0x06, std::uint8_t(word == "take" ? 0x00 : 0x02)});
        } else if (word.rfind("cmd:", 0) == 0) {
            const auto command = static_cast<std::uint8_t>(std::stoul(word.substr(4), nullptr, 16));
            add(true, {command}), add(false, {0x06, command});
        } else if (word.rfind("name:", 0) == 0) {
            const std::string name = word.substr(8);
            const auto command = static_cast<std::uint8_t>(std::stoul(word.substr(5, 2), nullptr, 16));
            add(true, lengthBytes(name.size() + 1) + bytesOf(name) + Bytes{command, 0x16}), add(false, {0x06, 0x16});
        } else if (word == "quiet") {
            segments.emplace_back(false, Bytes{});
        } else {
            add(pc, {static_cast<std::uint8_t>(std::stoul(word, nullptr, 16))});
        }
    }
    return segments;
}
