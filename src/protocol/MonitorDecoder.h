#pragma once
// Turns the bytes a device reports in monitor mode into lines. Two frame
// kinds exist: kind A (0xFE escapes) and kind B (0x02 line numbers); the
// first frame start seen decides for the rest of the run.
#include <cstdint>
#include <string>

#include "link/SerialPort.h"
#include "protocol/DeviceInfo.h"
#include "protocol/TransferCallbacks.h"

class MonitorDecoder {
public:
    // Longest line kept; further characters of a line are dropped.
    static constexpr std::size_t maxLineLength = 511;

    MonitorDecoder(const DeviceInfo& device, const MonitorCallback& callback) : device_(device), callback_(callback) {}

    // Reads one byte from `port`, and the bytes of its sequence, and acts
    // on them. Port errors pass through.
    void handleNext(SerialPort& port);

private:
    enum class FrameKind { None, A, B };

    void handleBeforeFrame(SerialPort& port, std::uint8_t byte);
    void handleKindA(SerialPort& port, std::uint8_t byte);
    void handleKindB(SerialPort& port, std::uint8_t byte);
    void append(std::uint8_t byte);
    void takeLineNumber(std::int32_t number);
    void flush();
    void report(std::int32_t number, std::int32_t changed);

    const DeviceInfo& device_;
    const MonitorCallback& callback_;
    FrameKind kind_ = FrameKind::None;
    std::string line_;
    std::string previousLine_;
    std::int32_t lineNumber_ = 0;
    std::int32_t previousLineNumber_ = 0;
};
