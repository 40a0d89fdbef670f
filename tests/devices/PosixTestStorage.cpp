#include "NativeHost.h"
#include "TestStorage.h"
#include "devices/FileCatalogueStore.h"

TestStorage::TestStorage() : where_(makeUniqueTempDir()) {}

TestStorage::~TestStorage() {
    removeTree(where_);
}

std::unique_ptr<CatalogueStore> TestStorage::open() const {
    return std::make_unique<FileCatalogueStore>(where_ + "/nimbrel/devices");
}
