#include "transfer/FileNames.h"

std::string deviceNameForDisplay(const std::string& deviceName) {
    return deviceName;
}
