#pragma once
// Catalogue storage private to the running test and empty at its start:
// a temporary directory natively, a registry key of its own under Wine.
#include <memory>
#include <string>

#include "devices/CatalogueStore.h"

class TestStorage {
public:
    TestStorage();
    ~TestStorage();
    TestStorage(const TestStorage&) = delete;
    TestStorage& operator=(const TestStorage&) = delete;

    std::unique_ptr<CatalogueStore> open() const;
    // Where the catalogue lives, for failure messages.
    const std::string& where() const { return where_; }

private:
    std::string where_;
};
