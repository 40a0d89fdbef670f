#pragma once
// What the protocol fuzz targets share: the fuzzer's bytes are everything a
// device says, served by the tests' scripted port, and whatever it says the
// device object ends idle with its port closed.
#include <cstdlib>

#include "ProtocolTestSupport.h"

// The fuzzer's bytes, readable once the PC has written `afterPcBytes`.
inline void deviceSays(DeviceScript& script, const std::uint8_t* data, std::size_t size, std::size_t afterPcBytes = 0) {
    if (afterPcBytes) script.pc(Bytes(afterPcBytes, 0));
    script.device(Bytes(data, data + size));
}

inline void requireReleased(const DeviceScript& script, SLVFamilyDevice& device) {
    if (script.openPorts() != 0 || device.isBusy() || device.currentPortMode() != IDLE) std::abort();
}
