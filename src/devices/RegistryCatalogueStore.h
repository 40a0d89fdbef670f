#pragma once
// Windows: the catalogue in the current user's registry. Under the devices
// key the four counters ("CV8_INDEX", ...) as 4-byte numbers, and one
// subkey per model code holding a string value per device, named after its
// serial text, whose data are the name without a terminating zero.
#include <string>

#include "devices/CatalogueStore.h"

class RegistryCatalogueStore final : public CatalogueStore {
public:
    static constexpr const char* userDevicesKey = "Software\\Korvel\\Nimbrel\\DEVICES";

    // `devicesKey` is relative to HKEY_CURRENT_USER.
    explicit RegistryCatalogueStore(std::string devicesKey = userDevicesKey);

    StoredCounters readCounters() override;
    bool writeCounters(const StoredCounters& counters) override;
    std::vector<RememberedName> readNames(const DeviceModel& model) override;
    bool writeName(const DeviceModel& model, const std::string& serial, const std::string& name) override;

private:
    std::string namesKey(const DeviceModel& model) const;

    std::string devicesKey_;
};
