#pragma once
// What the watchers of the platform learnt about serial ports that came and
// went, for every folder to follow at its own pace: per port the latest
// finding (the usable device there, or none) under a rising change number.
// A folder remembers the number it last followed (or scanned at) and takes
// only what changed since, so a late or coalesced notice loses nothing.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "protocol/DeviceInfo.h"

struct PortChange {
    int port = 0;
    std::optional<DeviceInfo> device;  // none: the port has no usable device now
};

class PortChanges {
public:
    // The number of the latest change; 0 before any.
    std::uint64_t latest() const;
    // From any thread.
    void record(int port, std::optional<DeviceInfo> device);
    // The ports whose latest finding came after change `seen`, in port order.
    std::vector<PortChange> since(std::uint64_t seen) const;

private:
    struct Finding {
        std::uint64_t change = 0;
        std::optional<DeviceInfo> device;
    };
    mutable std::mutex mutex_;
    std::uint64_t latest_ = 0;
    std::map<int, Finding> ports_;
};

// The process's one record.
PortChanges& portChanges();

// `devices` after `changes`: a port's device replaced, added or gone; in port
// order, indexed 0, 1, 2...
std::vector<DeviceInfo> followPortChanges(std::vector<DeviceInfo> devices, const std::vector<PortChange>& changes);
