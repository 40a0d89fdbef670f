#include "Messages.h"

#include <cstdio>

#include "Ports.h"
#include "devices/DeviceCatalogue.h"
#include "transfer/FileNames.h"

std::string deviceLabel(const DeviceInfo& device) {
    // The name the user knows it by and the port's own name, not its path.
    DeviceCatalogue catalogue;
    catalogue.loadCatalogue();
    const auto remembered = catalogue.rememberedNames().find(device.serial);
    const char* model = modelName(device.typeCode);
    const std::string name = remembered != catalogue.rememberedNames().end() && !remembered->second.empty()
                                 ? printable(remembered->second)
                                 : std::string(model ? model : "Korvel device");
    return name + " (" + shortPortLabel(static_cast<int>(device.portNumber)) + ")";
}

std::string shortPortLabel(int number) {
    const std::string port = portLabel(number);
    return port.substr(port.find_last_of('/') + 1);
}

std::string reasonFor(std::int32_t code) {
    switch (code) {
        case 1:
        case 2:
            return "the local file cannot be opened";
        case 3:
            return "the local file cannot be written";
        case 4:
            return "the local file cannot be deleted";
        case 5:
        case 6:
            return "the local file cannot be read";
        case 10:
            return "the port cannot be opened; another program may be using it";
        case 11:
            return "the port cannot be written to";
        case 12:
            return "the device does not answer; check that it is connected and switched on";
        case 13:
            return "the port cannot be set up";
        case 16:
            return "this device is not supported";
        case 18:
            return "a file of that name already exists on the device";
        case 19:
            return "the file does not exist on the device";
        case 20:
            return "the name is not allowed on the device (at most 64 characters)";
        case 21:
            return "no file name was given";
        case 22:
            return "braille table slots are numbered 1 to 9";
        case 23:
            return "the device reported an error";
        case 25:
            return "there is not enough free space on the device";
        case 28:
            return "the device is busy with another transfer";
        case 30:
            return "cancelled";
        case 31:
            return "the device's firmware does not support this; please upgrade it";
        default:
            return "the device answered unexpectedly";
    }
}

void reportFailure(const std::string& what, const NBException& error, bool verbose) {
    std::fprintf(stderr, "nimbrel: %s: %s.\n", what.c_str(), reasonFor(error.code).c_str());
    // Descriptions may quote a device name.
    if (verbose)
        std::fprintf(stderr, "  (%s %d: %s)\n", error.typeName, error.code, printable(error.description).c_str());
}

void reportProblem(const std::string& text) {
    std::fprintf(stderr, "nimbrel: %s\n", text.c_str());
}

std::string shownName(const std::string& deviceName) {
    return printable(deviceNameForDisplay(deviceName));
}
