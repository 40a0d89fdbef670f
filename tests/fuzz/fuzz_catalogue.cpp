// The catalogue file as it may be found on disk: damaged, edited by hand or
// written by something else. Whatever it holds is read without harm, and
// every text survives its own escaping.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "devices/FileCatalogueStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("nimbrel-fuzz-catalogue-" + std::to_string(std::random_device()()));
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    FileCatalogueStore store(file);
    store.readCounters();
    for (const DeviceModel& model : deviceModels) {
        for (const RememberedName& remembered : store.readNames(model)) {
            if (unescapeCatalogueText(escapeCatalogueText(remembered.name)) != remembered.name) std::abort();
        }
    }
    if (unescapeCatalogueText(escapeCatalogueText(text)) != text) std::abort();
    std::filesystem::remove(file);
    return 0;
}
