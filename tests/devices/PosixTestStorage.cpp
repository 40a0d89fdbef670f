#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "TestStorage.h"
#include "devices/FileCatalogueStore.h"

TestStorage::TestStorage() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nimbrel-catalogue-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
    where_ = pattern;
}

TestStorage::~TestStorage() {
    std::error_code ignored;
    std::filesystem::remove_all(where_, ignored);
}

std::unique_ptr<CatalogueStore> TestStorage::open() const {
    return std::make_unique<FileCatalogueStore>(std::filesystem::path(where_) / "nimbrel" / "devices");
}
