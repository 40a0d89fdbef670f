// Delete and rename: commands and name packages only. Firmware before
// protocol version 1 does not know them.
#include "protocol/ProtocolBytes.h"
#include "protocol/SLVFamilyDevice.h"

using namespace ProtocolBytes;
using ProtocolExceptions::WrongProtocolVersion;

namespace {
constexpr char deletePrefix[] = "SLVFamilyDevice::deleteFile--";
constexpr char renamePrefix[] = "SLVFamilyDevice::renameFile--";
}  // namespace

void SLVFamilyDevice::deleteFile(const std::string& deviceFileName) {
    if (info.protocolVersion == 0) {
        throw WrongProtocolVersion(std::string(deletePrefix) +
                                   "The delete file operation is not supported in the device's firmware version.");
    }
    checkDeviceFileName(deviceFileName, deletePrefix, false);
    runTransaction(deletePrefix, [&] {
        sendCommand(DELETE_FILE, deletePrefix);
        sendNamePackage(deviceFileName, DELETE_FILE, deletePrefix);
    });
}

void SLVFamilyDevice::renameFile(const std::string& oldName, const std::string& newName) {
    if (info.protocolVersion == 0) {
        throw WrongProtocolVersion(std::string(renamePrefix) +
                                   "The rename file operation is not supported in the device's firmware version.");
    }
    checkDeviceFileName(oldName, renamePrefix, false);
    checkDeviceFileName(newName, renamePrefix, true);
    runTransaction(renamePrefix, [&] {
        sendCommand(RENAME_FILE, renamePrefix);
        sendNamePackage(oldName, RENAME_FILE, renamePrefix);
        sendCommand(RENAME_FILE, renamePrefix);
        sendNamePackage(newName, RENAME_FILE, renamePrefix);
    });
}
