// The download as a device sends it: package markers, lengths, payloads,
// cancels and refusals, written to a real local file that must not outlive
// a failed transfer.
#include "FuzzDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchDirectory scratch;
    static const std::string local = scratch.path("download");
    PauseLog pauses;
    DeviceScript script;
    deviceSays(script, data, size);
    SLVFamilyDevice device(minnowRecord());
    std::uint32_t lastDone = 0;
    bool completed = true;
    try {
        device.sendFile(
            "A.TXT", local, 1000,
            [&](const DeviceInfo*, std::uint32_t, std::uint32_t done, double percent, std::int32_t estimate) {
                if (percent < 0.0 || percent > 100.0 || estimate < 0 || done < lastDone) std::abort();
                lastDone = done;
            });
    } catch (NBException) {
        completed = false;
    }
    requireReleased(script, device);
    if (completed != std::filesystem::exists(local)) std::abort();  // a failed download keeps no partial file
    if (completed && std::filesystem::file_size(local) < lastDone) std::abort();
    std::filesystem::remove(local);
    return 0;
}
