#include "devices/DeviceCatalogue.h"

DeviceCatalogue::DeviceCatalogue() : DeviceCatalogue(openUserCatalogueStore()) {}

DeviceCatalogue::DeviceCatalogue(std::unique_ptr<CatalogueStore> store) : store_(std::move(store)) {}

DeviceCatalogue::DeviceCatalogue(DeviceCatalogue&&) noexcept = default;
DeviceCatalogue& DeviceCatalogue::operator=(DeviceCatalogue&&) noexcept = default;
DeviceCatalogue::~DeviceCatalogue() = default;

void DeviceCatalogue::loadCatalogue() {
    const StoredCounters stored = store_->readCounters();
    StoredCounters missing{};
    bool anyMissing = false;
    for (std::size_t i = 0; i < modelCount; ++i) {
        counters_[i] = stored[i].value_or(0);
        if (!stored[i]) {
            missing[i] = 0;
            anyMissing = true;
        }
    }
    if (anyMissing) store_->writeCounters(missing);

    // In model order, so a serial text stored under two models ends with
    // the later model's name.
    names_.clear();
    for (const DeviceModel& model : deviceModels) {
        for (RememberedName& entry : store_->readNames(model)) names_[entry.serial] = std::move(entry.name);
    }
}

std::string DeviceCatalogue::nameDevice(const std::string& serial, std::uint32_t typeCode) {
    const DeviceModel* model = findModel(typeCode);
    if (!model) return {};
    std::uint32_t& counter = counters_[modelPosition(*model)];
    const std::uint32_t number = counter + 1;
    counter = number;

    std::string& remembered = names_[serial];
    if (!remembered.empty()) {
        counter = number - 1;
        return remembered;
    }
    remembered = number <= 1 ? std::string(model->name) : numberedName(*model, number);
    store_->writeName(*model, serial, remembered);
    return remembered;
}

void DeviceCatalogue::saveIndexCounters() {
    StoredCounters all{};
    for (std::size_t i = 0; i < modelCount; ++i) all[i] = counters_[i];
    store_->writeCounters(all);
}

bool DeviceCatalogue::storeDeviceName(std::uint32_t typeCode, const std::string& serial, const std::string& newName) {
    const DeviceModel* model = findModel(typeCode);
    return model && store_->writeName(*model, serial, newName);
}

std::uint32_t DeviceCatalogue::indexCounter(std::uint32_t typeCode) const {
    const DeviceModel* model = findModel(typeCode);
    return model ? counters_[modelPosition(*model)] : 0;
}
