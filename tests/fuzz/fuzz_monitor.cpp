// Monitor output as a device sends it, in either frame kind or neither.
#include "FuzzDevice.h"
#include "protocol/MonitorDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DeviceScript script;
    deviceSays(script, data, size);
    const auto port = script.openPort();
    const DeviceInfo info = minnowRecord();
    const MonitorCallback callback = [&](const DeviceInfo* device, const char* line, std::int32_t,
                                         std::int32_t changed) {
        if (device != &info || std::strlen(line) > MonitorDecoder::maxLineLength || (changed != 0 && changed != 1))
            std::abort();
    };
    MonitorDecoder decoder(info, callback);
    try {
        for (;;) decoder.handleNext(*port);
    } catch (NBException) {
        // The bytes ran out: the loop's read time-out.
    }
    return 0;
}
