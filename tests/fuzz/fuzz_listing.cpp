// The file list as a device sends it (packages, records, names, sizes),
// then a disk-space answer from the bytes that are left.
#include "FuzzDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PauseLog pauses;
    DeviceScript script;
    deviceSays(script, data, size);
    SLVFamilyDevice device(minnowRecord());
    try {
        for (const FileListEntry& entry : device.sendFileList(200)) {
            if (!std::memchr(entry.name, '\0', sizeof entry.name)) std::abort();
        }
    } catch (NBException) {
    }
    requireReleased(script, device);
    try {
        std::uint32_t first = 0, second = 0;
        device.sendDiskSpace(first, second);
    } catch (NBException) {
    }
    requireReleased(script, device);
    return 0;
}
