#pragma once
// Stable display names for devices: the first device of a model is called
// by the model name, later ones "Corvia 80 (2)" and so on, remembered
// under each device's serial text so a device keeps its name across
// restarts and port changes.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "devices/CatalogueStore.h"
#include "devices/DeviceModels.h"

class DeviceCatalogue {
public:
    // The current user's catalogue.
    DeviceCatalogue();
    explicit DeviceCatalogue(std::unique_ptr<CatalogueStore> store);
    DeviceCatalogue(DeviceCatalogue&&) noexcept;
    DeviceCatalogue& operator=(DeviceCatalogue&&) noexcept;
    ~DeviceCatalogue();

    // Replaces the names and counters held here with the stored ones.
    void loadCatalogue();
    // The remembered name of the device, or a new one that is remembered
    // from now on. Empty for a type code outside the model table.
    std::string nameDevice(const std::string& serial, std::uint32_t typeCode);
    // Writes the four counters back.
    void saveIndexCounters();
    // Stores a name the user gave a device; the names held here change only
    // at the next loadCatalogue. False when the type code has no model or
    // the store could not be written.
    bool storeDeviceName(std::uint32_t typeCode, const std::string& serial, const std::string& newName);

    // How many devices of the model have been named; 0 outside the table.
    std::uint32_t indexCounter(std::uint32_t typeCode) const;
    // Serial text to display name, for all models together.
    const std::map<std::string, std::string>& rememberedNames() const { return names_; }

private:
    std::unique_ptr<CatalogueStore> store_;
    std::map<std::string, std::string> names_;
    std::array<std::uint32_t, modelCount> counters_{};
};
