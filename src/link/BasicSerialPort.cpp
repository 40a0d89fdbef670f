#include "link/BasicSerialPort.h"

#include <utility>

BasicSerialPort::BasicSerialPort(const char* className, std::string deviceName)
    : errors_(className, std::move(deviceName)) {}

std::uint32_t BasicSerialPort::readBuffer(std::uint8_t* bytes, std::uint32_t count) {
    bool failed = false;
    std::uint32_t got = readOnce(bytes, count, &failed);
    // The second call collects what was still on its way.
    if (got < count) got += readOnce(bytes + got, count - got, &failed);
    if (got < count) {
        if (const std::uint32_t errorWord = takeLineErrors(); errorWord != 0) throw errors_.lineError(errorWord);
    }
    if (got > 0) return got;
    takeLineErrors();
    throw errors_.nothingRead();
}

std::uint8_t BasicSerialPort::readByte() {
    std::uint8_t byte = 0;
    bool failed = false;
    if (readOnce(&byte, 1, &failed) == 1) return byte;
    const std::uint32_t got = readOnce(&byte, 1, &failed);
    if (failed) throw errors_.readByteFailed();
    if (got == 1) return byte;
    throw errors_.noByteArrived();
}

void BasicSerialPort::writeByte(std::uint8_t byte) {
    writeBuffer(&byte, 1);
}
