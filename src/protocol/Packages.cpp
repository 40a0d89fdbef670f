// The package shapes every transaction is built from.
#include <vector>

#include "protocol/DeviceErrors.h"
#include "protocol/ProtocolBytes.h"
#include "protocol/SLVFamilyDevice.h"

using namespace ProtocolBytes;
using ProtocolExceptions::ErrorInProtocol;

namespace {
void appendLength(std::vector<std::uint8_t>& package, std::uint32_t length) {
    package.push_back(static_cast<std::uint8_t>(length & 0xFF));
    package.push_back(static_cast<std::uint8_t>((length >> 8) & 0xFF));
}

void writePackage(SerialPort& port, const std::vector<std::uint8_t>& package) {
    port.writeBuffer(package.data(), static_cast<std::uint32_t>(package.size()));
}
}  // namespace

void SLVFamilyDevice::sendCommand(std::uint8_t command, const char* prefix) {
    port->writeByte(command);
    readConfirmation(command, prefix);
}

void SLVFamilyDevice::sendNamePackage(const std::string& name, std::uint8_t command, const char* prefix) {
    std::vector<std::uint8_t> package;
    appendLength(package, static_cast<std::uint32_t>(name.size()) + 1);
    package.insert(package.end(), name.begin(), name.end());
    package.push_back(command);
    writePackage(*port, package);
    port->writeByte(SYNC);
    readConfirmation(SYNC, prefix);
}

void SLVFamilyDevice::sendUploadHeader(const std::string& name, std::uint8_t flag, const char* prefix) {
    std::vector<std::uint8_t> package;
    appendLength(package, static_cast<std::uint32_t>(name.size()) + 4);
    package.push_back(BEGIN_OF_FILE);
    package.insert(package.end(), name.begin(), name.end());
    package.push_back(ATTRIBUTE_FLAG);
    package.push_back(flag);
    package.push_back(START_OF_DATA);
    package.push_back(SYNC);
    writePackage(*port, package);
    readConfirmation(SYNC, prefix);
}

void SLVFamilyDevice::sendDataPackage(const std::uint8_t* payload, std::uint32_t count, const char* prefix) {
    sendCommand(RECEIVE_DATA_BLOCK, prefix);
    std::vector<std::uint8_t> package;
    appendLength(package, count);
    package.insert(package.end(), payload, payload + count);
    package.push_back(SYNC);
    writePackage(*port, package);
    readConfirmation(SYNC, prefix);
}

void SLVFamilyDevice::sendEndOfFile(const char* prefix) {
    sendCommand(END_OF_FILE, prefix);
}

std::uint32_t SLVFamilyDevice::receivePackagePayload(std::uint8_t* buffer, const char* prefix, std::uint32_t room) {
    port->writeByte(ACK);
    port->writeByte(RECEIVE_DATA_BLOCK);
    const std::uint32_t low = port->readByte();
    const std::uint32_t high = port->readByte();
    const std::uint32_t length = low | (high << 8);
    if (length > PackageLimits::maxDevicePayload) {
        throw ErrorInProtocol(std::string(prefix) + "Requested package size exceeds maximum size.");
    }
    if (length > room) refusePackage(prefix, "Device sends more data than the file's listed size.");
    // An empty package has nothing to read; asking the port for 0 bytes
    // would fail like a time-out.
    if (length > 0 && port->readBuffer(buffer, length) < length) {
        throw ErrorInProtocol(std::string(prefix) + "Wrong number of data bytes(page frame error).");
    }
    return length;
}

void SLVFamilyDevice::refusePackage(const char* prefix, const char* detail) {
    port->writeByte(NAK);
    port->writeByte(DeviceError::BufferOverflow);
    throw ErrorInProtocol(std::string(prefix) + detail);
}

void SLVFamilyDevice::refuseAsCancelled(const char* prefix) {
    port->writeByte(NAK);
    port->writeByte(DeviceError::CanceledByPc);
    throw ProtocolExceptions::TransmissionCanceledByUser(std::string(prefix) +
                                                         "Transmission canceled by user (PC side).");
}

void SLVFamilyDevice::receivePackageEnd(const char* prefix) {
    if (port->readByte() != SYNC) throw ErrorInProtocol(std::string(prefix) + "Missing SYNC.");
    port->writeByte(ACK);
    port->writeByte(SYNC);
}
