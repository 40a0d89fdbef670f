#pragma once
// Where the catalogue lasts between runs: the current user's registry on
// Windows, a small file in the user's configuration directory elsewhere.
// Failures are not errors here: a store that cannot be read gives nothing
// and the devices still get names.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/DeviceModels.h"

// One counter per model, in model order; none where a counter is absent.
using StoredCounters = std::array<std::optional<std::uint32_t>, modelCount>;

struct RememberedName {
    std::string serial;
    std::string name;
};

class CatalogueStore {
public:
    virtual ~CatalogueStore() = default;

    // Creates the storage when it is absent.
    virtual StoredCounters readCounters() = 0;
    // Writes the counters that hold a value. False when nothing could be written.
    virtual bool writeCounters(const StoredCounters& counters) = 0;
    // The names remembered for one model, in the order they were first stored,
    // each read whole whatever its length.
    virtual std::vector<RememberedName> readNames(const DeviceModel& model) = 0;
    // Remembers (or replaces) one device's name under its serial text.
    virtual bool writeName(const DeviceModel& model, const std::string& serial, const std::string& name) = 0;
};

// The current user's store of this platform.
std::unique_ptr<CatalogueStore> openUserCatalogueStore();
