#include "devices/PortChanges.h"

#include <algorithm>

std::uint64_t PortChanges::latest() const {
    const std::lock_guard lock(mutex_);
    return latest_;
}

void PortChanges::record(int port, std::optional<DeviceInfo> device) {
    const std::lock_guard lock(mutex_);
    ports_[port] = {++latest_, device};
}

std::vector<PortChange> PortChanges::since(std::uint64_t seen) const {
    const std::lock_guard lock(mutex_);
    std::vector<PortChange> changes;
    for (const auto& [port, finding] : ports_)
        if (finding.change > seen) changes.push_back({port, finding.device});
    return changes;
}

PortChanges& portChanges() {
    static PortChanges changes;
    return changes;
}

std::vector<DeviceInfo> followPortChanges(std::vector<DeviceInfo> devices, const std::vector<PortChange>& changes) {
    for (const PortChange& change : changes) {
        std::erase_if(devices, [&](const DeviceInfo& device) {
            return device.portNumber == static_cast<std::uint32_t>(change.port);
        });
        if (change.device) devices.push_back(*change.device);
    }
    std::stable_sort(devices.begin(), devices.end(),
                     [](const DeviceInfo& a, const DeviceInfo& b) { return a.portNumber < b.portNumber; });
    for (std::size_t i = 0; i < devices.size(); ++i) devices[i].index = static_cast<std::uint32_t>(i);
    return devices;
}
