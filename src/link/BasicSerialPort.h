#pragma once
// The read and write rules shared by the platform ports: a read of n bytes
// tries twice, a short read is the caller's to judge, no byte at all is an
// error. The platform supplies one timed read call and its line errors.
#include <cstdint>
#include <string>

#include "link/PortErrors.h"
#include "link/SerialPort.h"

class BasicSerialPort : public SerialPort {
public:
    std::uint32_t readBuffer(std::uint8_t* bytes, std::uint32_t count) override;
    std::uint8_t readByte() override;
    void writeByte(std::uint8_t byte) override;

    const std::string& deviceName() const { return errors_.deviceName(); }

protected:
    BasicSerialPort(const char* className, std::string deviceName);

    // One read call: waits at most 300 ms per requested byte plus 1000 ms and
    // returns what arrived. A failing call returns 0 and sets *callFailed.
    virtual std::uint32_t readOnce(std::uint8_t* bytes, std::uint32_t count, bool* callFailed) = 0;
    // The line's error word, cleared by asking; 0 when there is none or the
    // platform cannot tell.
    virtual std::uint32_t takeLineErrors() = 0;

    const PortErrors& errors() const { return errors_; }

private:
    PortErrors errors_;
};
