#include "transfer/FileNames.h"

std::string deviceNameForDisplay(const std::string& deviceName) {
    return deviceName;
}

std::optional<std::string> deviceNameFromLocal(const std::string& localName) {
    return localName;
}
