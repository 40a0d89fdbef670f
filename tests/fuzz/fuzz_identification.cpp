// Who answers on a port: the identification byte, type code, version
// answer, serial query answer and the other kind's serial, as a device (or
// anything else on a serial line) might send them.
#include "FuzzDevice.h"
#include "protocol/Identification.h"

namespace {
void identify(const std::uint8_t* data, std::size_t size, bool askForName, bool allowOtherTypes) {
    DeviceScript script;
    // Identification starts by purging the port; the answer comes after the query.
    deviceSays(script, data, size, 1);
    const auto port = script.openPort();
    try {
        const auto record = identifyDevice(*port, 7, askForName, allowOtherTypes);
        if (record && (record->portNumber != 7 || !std::memchr(record->serial, '\0', sizeof record->serial)))
            std::abort();
    } catch (NBException) {
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PauseLog pauses;
    identify(data, size, true, false);
    identify(data, size, false, true);
    return 0;
}
