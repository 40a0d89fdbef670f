#pragma once
// The identity of one found device, as identification read it. A plain
// value, copied freely.
#include <cstdint>

struct DeviceInfo {
    static constexpr unsigned serialSize = 44;  // 43 characters and the terminator

    std::uint32_t index = 0;            // position in a list of found devices
    std::uint32_t typeCode = 0;         // the device's identification byte
    char serial[serialSize] = {};       // "xxx" when the device gave none
    std::uint32_t portHeld = 0;         // always 0 from identification
    std::uint32_t portNumber = 0;       // COM port number
    std::uint16_t protocolVersion = 0;  // 0: no answer to the version query
};
