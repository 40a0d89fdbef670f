// Who answers on a freshly opened port: the identification byte, the type
// code, the protocol version and, for the file-capable models, the serial
// text. A silent or foreign port yields no record, never an error for the
// scan to show.
#include "protocol/Identification.h"

#include <algorithm>
#include <cstring>

#include "link/NBException.h"
#include "protocol/ProtocolBytes.h"

using namespace ProtocolBytes;

namespace {
constexpr std::uint32_t otherKindTypeCode = 0x90;
constexpr int otherKindAttempts = 5;
constexpr std::uint32_t otherKindSerialBytes = 8;
constexpr std::uint32_t infoAnswerBytes = 40;
constexpr std::size_t serialTextBytes = 12;
constexpr char noSerial[] = "xxx";

enum class TypeClass { FileCapable, Other, OtherKind, Unknown };

TypeClass classify(std::uint8_t typeCode) {
    switch (typeCode) {
        case 0x05:
        case 0x72:
        case 0x74:
        case 0x78:
            return TypeClass::FileCapable;
        case 0x04:
        case 0x35:
        case 0x36:
        case 0x38:
            return TypeClass::Other;
        case otherKindTypeCode:
            return TypeClass::OtherKind;
        default:
            return TypeClass::Unknown;
    }
}

void setSerial(DeviceInfo& record, const std::uint8_t* bytes, std::size_t count) {
    count = std::min<std::size_t>(count, DeviceInfo::serialSize - 1);
    std::memset(record.serial, 0, sizeof record.serial);
    std::memcpy(record.serial, bytes, count);
}

// A device of another kind answers 0x05 0x05 with 8 bytes of its own.
void readOtherKindSerial(SerialPort& port, DeviceInfo& record) {
    const std::uint8_t query[] = {OTHER_KIND_QUERY, OTHER_KIND_QUERY};
    std::uint8_t answer[otherKindSerialBytes] = {};
    std::uint32_t received = 0;
    for (int attempt = 0; attempt < otherKindAttempts && received < otherKindSerialBytes; ++attempt) {
        port.purgeBuffers();
        port.writeBuffer(query, sizeof query);
        try {
            received = port.readBuffer(answer, otherKindSerialBytes);
        } catch (PortExceptions::CannotReadFromPort) {
            received = 0;
        }
    }
    setSerial(record, answer, received);
}

// The version answer is ACK, 0x0C, high, low, SYNC; anything else leaves 0.
std::uint16_t queryProtocolVersion(SerialPort& port) {
    try {
        port.writeByte(GET_PROTOCOL_VERSION);
        const std::uint8_t expected[] = {ACK, GET_PROTOCOL_VERSION, 0, 0, SYNC};
        std::uint8_t answer[5];
        for (std::size_t i = 0; i < sizeof answer; ++i) {
            answer[i] = port.readByte();
            const bool versionByte = i == 2 || i == 3;
            if (!versionByte && answer[i] != expected[i]) {
                port.purgeBuffers();
                return 0;
            }
        }
        port.writeByte(ACK);
        port.writeByte(SYNC);
        return static_cast<std::uint16_t>(answer[2] * 256 + answer[3]);
    } catch (NBException) {
        return 0;
    }
}

// Returns false when the device did not answer the query at all.
bool querySerial(SerialPort& port, DeviceInfo& record) {
    port.writeByte(SERIAL_QUERY);
    std::uint8_t answer = 0;
    try {
        answer = port.readByte();
    } catch (PortExceptions::CannotReadFromPort) {
        return false;
    }
    if (answer == SERIAL_QUERY_ANSWER) {
        try {
            const char request[] = "INFO N";
            port.writeBuffer(reinterpret_cast<const std::uint8_t*>(request), sizeof request - 1);
            const char expected[] = "INFOI";
            bool matches = true;
            for (std::size_t i = 0; i < sizeof expected - 1 && matches; ++i) {
                matches = port.readByte() == static_cast<std::uint8_t>(expected[i]);
            }
            if (matches) {
                std::uint8_t info[infoAnswerBytes] = {};
                const std::uint32_t received = port.readBuffer(info, infoAnswerBytes);
                setSerial(record, info, std::min<std::size_t>(received, serialTextBytes));
            }
        } catch (NBException) {
            // The serial text stays "xxx".
        }
    }
    port.writeByte(IDENTIFY);
    port.purgeBuffers();
    return true;
}
}  // namespace

std::optional<DeviceInfo> identifyDevice(SerialPort& port, int portNumber, bool askForName, bool allowOtherTypes) {
    port.purgeBuffers();
    port.writeByte(IDENTIFY);
    try {
        if (port.readByte() != IDENTIFY_ANSWER) return std::nullopt;
    } catch (PortExceptions::CannotReadFromPort) {
        return std::nullopt;
    }

    DeviceInfo record;
    record.index = 0;
    record.portHeld = 0;
    record.portNumber = static_cast<std::uint32_t>(portNumber);
    const std::uint8_t typeCode = port.readByte();
    record.typeCode = typeCode;
    setSerial(record, reinterpret_cast<const std::uint8_t*>(noSerial), sizeof noSerial - 1);

    switch (classify(typeCode)) {
        case TypeClass::Unknown:
            return std::nullopt;
        case TypeClass::OtherKind:
            readOtherKindSerial(port, record);
            record.protocolVersion = 0;
            return record;
        case TypeClass::Other:
            if (!allowOtherTypes) return std::nullopt;
            record.protocolVersion = queryProtocolVersion(port);
            return record;
        case TypeClass::FileCapable:
            record.protocolVersion = queryProtocolVersion(port);
            if (askForName && !querySerial(port, record)) return std::nullopt;
            return record;
    }
    return std::nullopt;
}
