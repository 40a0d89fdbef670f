#pragma once
// Catalogue storage private to the running test and empty at its start:
// a temporary directory natively, a registry key of its own under Wine.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devices/CatalogueStore.h"
#include "devices/DeviceCatalogue.h"

class TestStorage {
public:
    TestStorage();
    ~TestStorage();
    TestStorage(const TestStorage&) = delete;
    TestStorage& operator=(const TestStorage&) = delete;

    std::unique_ptr<CatalogueStore> open() const;
    // Where the catalogue lives, for failure messages.
    const std::string& where() const { return where_; }

    DeviceCatalogue loaded() const {
        DeviceCatalogue catalogue(open());
        catalogue.loadCatalogue();
        return catalogue;
    }
    // What a root listing does: load, name every device (serial text, type
    // code) in list order, save.
    std::vector<std::string> listing(const std::vector<std::pair<std::string, std::uint32_t>>& devices) const {
        DeviceCatalogue catalogue = loaded();
        std::vector<std::string> names;
        for (const auto& [serial, type] : devices) names.push_back(catalogue.nameDevice(serial, type));
        catalogue.saveIndexCounters();
        return names;
    }

private:
    std::string where_;
};
