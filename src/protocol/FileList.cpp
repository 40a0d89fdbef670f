// The two read-only transactions: the device's file list and its free space.
#include <chrono>
#include <cstring>
#include <vector>

#include "protocol/ProtocolBytes.h"
#include "protocol/SLVFamilyDevice.h"

using namespace ProtocolBytes;
using ProtocolExceptions::ErrorInProtocol;

namespace {
constexpr char fileListPrefix[] = "SLVFamilyDevice::sendFileList--";
constexpr char diskSpacePrefix[] = "SLVFamilyDevice::sendDiskSpace--";

// BEGIN_OF_FILE, name length, the skipped byte, year (2), month, day,
// hour, minute, second, size (4): a record is the name plus this.
constexpr std::size_t recordOverhead = 14;

std::uint32_t bigEndian(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value = (value << 8) | bytes[i];
    return value;
}

[[noreturn]] void parseError(const char* detail) {
    throw ErrorInProtocol(std::string(fileListPrefix) + "Error while parsing fileListBuffer. " + detail);
}

std::vector<FileListEntry> parseFileList(const std::vector<std::uint8_t>& list, std::uint32_t maximum) {
    std::vector<FileListEntry> entries;
    std::size_t position = 0;
    while (position < list.size() && entries.size() < maximum) {
        const std::uint8_t* record = list.data() + position;
        const std::size_t left = list.size() - position;
        if (record[0] != BEGIN_OF_FILE) parseError("Missing BEGIN_OF_FILE.");
        if (left < 2) parseError("List ends inside a file record.");
        const std::size_t nameLength = record[1];
        if (nameLength >= FileListEntry::nameSize) parseError("File name too long.");
        if (left < nameLength + recordOverhead) parseError("List ends inside a file record.");

        FileListEntry entry;
        std::memcpy(entry.name, record + 2, nameLength);
        entry.name[nameLength] = '\0';
        const std::uint8_t* fields = record + 2 + nameLength + 1;  // past the skipped byte
        entry.year = static_cast<std::int16_t>(bigEndian(fields, 2));
        entry.month = fields[2];
        entry.day = fields[3];
        entry.hour = fields[4];
        entry.minute = fields[5];
        entry.second = fields[6];
        entry.size = bigEndian(fields + 7, 4);
        entries.push_back(entry);
        position += nameLength + recordOverhead;
    }
    return entries;
}
}  // namespace

std::vector<FileListEntry> SLVFamilyDevice::sendFileList(std::uint32_t maximum) {
    std::vector<FileListEntry> entries;
    runTransaction(fileListPrefix, [&] {
        sendCommand(GET_FILE_LIST, fileListPrefix);
        std::vector<std::uint8_t> list;
        std::uint8_t package[PackageLimits::maxDevicePayload];
        // A device that never ends its list (or sends it a byte at a time
        // just within the port's time-outs) is refused once it exceeds what
        // any real list needs.
        const auto deadline = std::chrono::steady_clock::now() + PackageLimits::maxListTime;
        for (std::uint32_t packages = 0;; ++packages) {
            const std::uint8_t marker = port->readByte();
            if (marker == END_OF_FILE) break;
            if (marker != RECEIVE_DATA_BLOCK) {
                throw ErrorInProtocol(std::string(fileListPrefix) + "Missing RECEIVE_DATA_BLOCK.");
            }
            if (abandoned) refuseAsCancelled(fileListPrefix);
            if (packages > list.size()) refusePackage(fileListPrefix, "Device sends packages without data.");
            if (std::chrono::steady_clock::now() > deadline) {
                refusePackage(fileListPrefix, "File list takes longer than 60 seconds.");
            }
            const std::uint32_t length = receivePackagePayload(package, fileListPrefix);
            receivePackageEnd(fileListPrefix);
            if (list.size() + length > PackageLimits::maxListData) {
                throw ErrorInProtocol(std::string(fileListPrefix) + "File list exceeds maximum size of 32000 bytes.");
            }
            list.insert(list.end(), package, package + length);
        }
        entries = parseFileList(list, maximum);
    });
    return entries;
}

void SLVFamilyDevice::sendDiskSpace(std::uint32_t& first, std::uint32_t& second) {
    runTransaction(diskSpacePrefix, [&] {
        sendCommand(GET_DISK_SPACE, diskSpacePrefix);
        std::uint8_t figures[8];
        for (std::uint8_t& byte : figures) byte = port->readByte();
        if (port->readByte() != SYNC) {
            throw ErrorInProtocol(std::string(diskSpacePrefix) + "Missing SYNC in transaction GET_DISK_SPACE.");
        }
        port->writeByte(ACK);
        port->writeByte(SYNC);
        first = bigEndian(figures, 4);
        second = bigEndian(figures + 4, 4);
    });
}
