#pragma once
// One --device option of nimbrel-devsim: comma-separated key=value pairs
// that describe one simulated device on one pseudo-terminal.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DeviceConfig.h"
#include "DeviceStorage.h"

namespace devsim {

struct DeviceOptions {
    std::filesystem::path link;
    DeviceConfig config;
    Faults faults;
    std::optional<std::filesystem::path> filesDirectory;
    std::vector<std::pair<std::string, Bytes>> seeds;
};

// The keys, for --help.
extern const char* const deviceOptionsHelp;

// Raises std::invalid_argument naming the offending key.
DeviceOptions parseDeviceOptions(const std::string& text);

}  // namespace devsim
