#pragma once
// One open COM port configured for the Korvel family's line: 19200 baud,
// 8 data bits, odd parity, one stop bit, no flow control. A port held by the
// maker's resident device server or sibling program is borrowed from it and
// handed back on destruction.
#include <cstdint>
#include <string>

#include "link/BasicSerialPort.h"
#include "link/WinHandle.h"

class WinSerialPort : public BasicSerialPort {
public:
    // Opens "\\.\COM<portNumber>"; raises UnableToOpenPort or
    // ErrorOnInitialization.
    explicit WinSerialPort(std::int32_t portNumber);
    ~WinSerialPort() override;

    void purgeBuffers() override;
    void writeBuffer(const std::uint8_t* bytes, std::uint32_t count) override;

    bool borrowed() const { return borrowed_; }

protected:
    std::uint32_t readOnce(std::uint8_t* bytes, std::uint32_t count, bool* callFailed) override;
    std::uint32_t takeLineErrors() override;

private:
    // Parity index: 0 odd, 1 even, 2 none, 3 mark, 4 space.
    // Stop-bits index: 0 one, 1 two, 2 one and a half.
    void initializePort(std::int32_t portNumber, std::uint32_t baudRate, std::int32_t parity, std::uint8_t dataBits,
                        std::int32_t stopBits);
    void configure(std::uint32_t baudRate, std::int32_t parity, std::uint8_t dataBits, std::int32_t stopBits);
    bool openDevice();
    // Closes the port first, so a holder can take it again at once.
    void closeAndGiveBack();

    UniqueFileHandle handle_;
    bool borrowed_ = false;
};
