#pragma once
// The errors of a serial port, composed in one place for every platform
// port. Each text starts with the raising class and operation; the blanks
// inside the texts are part of them.
#include <cstdint>
#include <string>

#include "link/NBException.h"

class PortErrors {
public:
    // `className` is the raising port class, `deviceName` the name shown in
    // every text ("\\.\COM3", "/dev/ttyUSB0").
    PortErrors(std::string className, std::string deviceName);

    PortExceptions::UnableToOpenPort cannotOpen() const;
    PortExceptions::ErrorOnInitialization cannotReadSettings() const;
    PortExceptions::ErrorOnInitialization cannotWriteSettings() const;
    PortExceptions::ErrorOnInitialization cannotReadTimeouts() const;
    PortExceptions::CannotWriteToPort cannotWrite() const;
    PortExceptions::CannotReadFromPort nothingRead() const;
    PortExceptions::CannotReadFromPort lineError(std::uint32_t errorWord) const;
    PortExceptions::CannotReadFromPort readByteFailed() const;
    PortExceptions::CannotReadFromPort noByteArrived() const;

    const std::string& deviceName() const { return deviceName_; }

private:
    std::string site(const char* operation) const;
    std::string quoted() const;

    std::string className_;
    std::string deviceName_;
};

// The text of a line error word, compared as a whole: combinations of
// several errors are "undefined error".
const char* lineErrorText(std::uint32_t errorWord);
