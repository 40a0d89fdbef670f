#include "protocol/MonitorDecoder.h"

#include "protocol/ProtocolBytes.h"

using namespace ProtocolBytes;

void MonitorDecoder::handleNext(SerialPort& port) {
    const std::uint8_t byte = port.readByte();
    switch (kind_) {
        case FrameKind::None:
            handleBeforeFrame(port, byte);
            break;
        case FrameKind::A:
            handleKindA(port, byte);
            break;
        case FrameKind::B:
            handleKindB(port, byte);
            break;
    }
}

void MonitorDecoder::handleBeforeFrame(SerialPort& port, std::uint8_t byte) {
    if (byte == MONITOR_FRAME_ESCAPE) {
        if (port.readByte() == MONITOR_HELLO) {
            port.writeByte(MONITOR_HELLO_REPLY);
            kind_ = FrameKind::A;
        }
    } else if (byte == MONITOR_STX) {
        port.readByte();
        const std::uint8_t end = port.readByte();
        if (end == MONITOR_CR || end == MONITOR_LF) kind_ = FrameKind::B;
    }
}

void MonitorDecoder::handleKindA(SerialPort& port, std::uint8_t byte) {
    if (byte != MONITOR_FRAME_ESCAPE) {
        append(byte);
        return;
    }
    const std::uint8_t command = port.readByte();
    if (command == MONITOR_LINE_END) {
        const std::uint8_t number = port.readByte();
        port.readByte();  // a second number the devices send but nobody needs
        if (line_.empty()) return;
        takeLineNumber(number);
        flush();
    } else if (command == MONITOR_LINE_CLEAR) {
        if (line_.empty()) return;
        if (line_ != previousLine_) {
            previousLine_ = line_;
            lineNumber_ = 0;
            report(0, 1);
        }
        line_.clear();
    } else if (command == MONITOR_HELLO) {
        port.writeByte(MONITOR_HELLO_REPLY);
    }
}

void MonitorDecoder::handleKindB(SerialPort& port, std::uint8_t byte) {
    if (byte == MONITOR_STX) {
        takeLineNumber(static_cast<std::int32_t>(port.readByte()) - MONITOR_LINE_BASE);
    } else if (byte == MONITOR_CR) {
        flush();
    } else {
        append(byte);
    }
}

void MonitorDecoder::append(std::uint8_t byte) {
    const bool text = byte >= 0x20 || byte == MONITOR_LF;
    if (text && line_.size() < maxLineLength) line_.push_back(static_cast<char>(byte));
}

void MonitorDecoder::takeLineNumber(std::int32_t number) {
    previousLineNumber_ = lineNumber_;
    lineNumber_ = number;
}

void MonitorDecoder::flush() {
    if (line_ != previousLine_) {
        report(lineNumber_, 1);
    } else if (lineNumber_ != previousLineNumber_) {
        report(lineNumber_, 0);
    }
    previousLine_ = line_;
    line_.clear();
}

void MonitorDecoder::report(std::int32_t number, std::int32_t changed) {
    if (callback_) callback_(&device_, line_.c_str(), number, changed);
}
