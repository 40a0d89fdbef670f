#include "link/PortErrors.h"

#include <utility>

PortErrors::PortErrors(std::string className, std::string deviceName)
    : className_(std::move(className)), deviceName_(std::move(deviceName)) {}

std::string PortErrors::site(const char* operation) const {
    return className_ + "::" + operation;
}

std::string PortErrors::quoted() const {
    return "\"" + deviceName_ + "\"";
}

PortExceptions::UnableToOpenPort PortErrors::cannotOpen() const {
    return PortExceptions::UnableToOpenPort(site("initializePort -- ") + " Port " + quoted() + " can't be opened.");
}

PortExceptions::ErrorOnInitialization PortErrors::cannotReadSettings() const {
    return PortExceptions::ErrorOnInitialization(site("initializePort -- ") +
                                                 " Error while reading Settings for Port " + quoted() + " ");
}

PortExceptions::ErrorOnInitialization PortErrors::cannotWriteSettings() const {
    return PortExceptions::ErrorOnInitialization(site("initializePort -- ") +
                                                 "Error while writing COM-Settings for port " + quoted() + ".");
}

PortExceptions::ErrorOnInitialization PortErrors::cannotReadTimeouts() const {
    return PortExceptions::ErrorOnInitialization(site("initializePort -- ") +
                                                 "Error while reading COM-Timeouts of port " + quoted() + ".");
}

PortExceptions::CannotWriteToPort PortErrors::cannotWrite() const {
    return PortExceptions::CannotWriteToPort(site("writeBuffer -- ") + "Error while writing Buffer to port " +
                                             quoted() + ".");
}

PortExceptions::CannotReadFromPort PortErrors::nothingRead() const {
    return PortExceptions::CannotReadFromPort(site("readBuffer -- ") + " Error while reading from port " + quoted() +
                                              ".");
}

PortExceptions::CannotReadFromPort PortErrors::lineError(std::uint32_t errorWord) const {
    return PortExceptions::CannotReadFromPort(site("readBuffer -- ") + " Error while reading from port " + quoted() +
                                              ". COM error: " + lineErrorText(errorWord));
}

PortExceptions::CannotReadFromPort PortErrors::readByteFailed() const {
    return PortExceptions::CannotReadFromPort(site("readByte --") + " Error while reading from port " + quoted() + ".");
}

PortExceptions::CannotReadFromPort PortErrors::noByteArrived() const {
    return PortExceptions::CannotReadFromPort(site("readByte --") + " Error while reading from port " + quoted() +
                                              ". No Byte arrived.");
}

const char* lineErrorText(std::uint32_t errorWord) {
    switch (errorWord) {
        case 1:
            return "Receive Queue overflow";
        case 2:
            return "Receive Overrun Error";
        case 4:
            return "Receive Parity Error";
        case 8:
            return "Receive Framing error";
        case 16:
            return "Break Detected";
        case 256:
            return "TX Queue is full";
        case 512:
            return "LPTx Timeout";
        case 1024:
            return "LPTx I/O Error";
        case 2048:
            return "LPTx Device not selected";
        case 4096:
            return "LPTx Out-Of-Paper";
        case 32768:
            return "Requested mode unsupported";
        default:
            return "undefined error";
    }
}
