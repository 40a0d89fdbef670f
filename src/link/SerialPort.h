#pragma once
// The byte pipe to one device. The protocol layer and the device probe reach
// a port only through these five operations, so a simulated device can stand
// in for a real line. Failures are raised as PortExceptions.
#include <cstdint>

class SerialPort {
public:
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Waits 50 ms, then discards whatever the driver holds in both directions.
    virtual void purgeBuffers() = 0;
    virtual void writeBuffer(const std::uint8_t* bytes, std::uint32_t count) = 0;
    // Returns how many bytes arrived (at least one); raises CannotReadFromPort
    // when none did. A short count is the caller's to judge.
    virtual std::uint32_t readBuffer(std::uint8_t* bytes, std::uint32_t count) = 0;
    virtual std::uint8_t readByte() = 0;
    virtual void writeByte(std::uint8_t byte) = 0;

    // Declared after the five operations so their slot order stays as above.
    virtual ~SerialPort() = default;
};
