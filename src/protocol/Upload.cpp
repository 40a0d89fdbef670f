// Upload: the PC sends a local file, the device stores it.
#include <memory>

#include "link/LocalFile.h"
#include "link/Pause.h"
#include "protocol/LocalPathName.h"
#include "protocol/ProtocolBytes.h"
#include "protocol/SLVFamilyDevice.h"

using namespace ProtocolBytes;
using namespace ProtocolExceptions;

namespace {
constexpr char uploadPrefix[] = "SLVFamilyDevice::receiveFile--";
constexpr std::uint32_t unknownSize = 0xFFFFFFFF;
constexpr std::uint32_t settleBeforeSpaceQuery = 500;
constexpr std::uint32_t settleAfterSpaceQuery = 100;

std::string targetNameFor(const std::string& localPath, const std::string& givenName) {
    if (givenName.empty()) {
        const std::optional<std::string> component = lastPathComponent(localPath, localPathSeparator);
        if (!component || component->empty()) {
            throw IllegalTargetFileName(std::string(uploadPrefix) + "Local path has no file name: " + localPath);
        }
        return component->substr(0, PackageLimits::maxTargetName);
    }
    const std::size_t start = givenName.find_first_not_of(" \t");
    std::string name = start == std::string::npos ? std::string() : givenName.substr(start);
    if (name.size() > PackageLimits::maxTargetName) {
        throw IllegalTargetFileName(std::string(uploadPrefix) + "TargetFilename too long.");
    }
    return name;
}

// The size, or unknownSize when the file cannot tell; the space check is
// skipped then.
std::uint32_t sizeOf(LocalFile& file, bool& known) {
    try {
        known = true;
        return file.getSize();
    } catch (FileExceptions::CannotReadFileSize) {
        known = false;
        return unknownSize;
    }
}
}  // namespace

void SLVFamilyDevice::receiveFile(const std::string& localPath, const ProgressCallback& progress, std::uint8_t flag,
                                  const std::string& targetName, std::uint32_t replacedBytes) {
    continueTransfer = abandoned ? 0 : 1;
    if (localPath.empty()) {
        throw IllegalSourceFileName(std::string(uploadPrefix) + "SourceFileName ist empty.");
    }
    const std::string name = targetNameFor(localPath, targetName);
    if (continueTransfer == 0) return;

    const std::unique_ptr<LocalFile> file = openLocalFile(localPath, LocalFile::ReadMode);
    bool sizeKnown = false;
    const std::uint32_t size = sizeOf(*file, sizeKnown);
    pauseFor(settleBeforeSpaceQuery);
    if (sizeKnown) {
        std::uint32_t first = 0;
        std::uint32_t freeSpace = 0;
        sendDiskSpace(first, freeSpace);
        const std::uint64_t room = std::uint64_t{freeSpace} + (flag == 1 ? replacedBytes : 0);
        if (room < size) {
            throw NotEnoughMemory(std::string(uploadPrefix) + "Not enough disk space for file " + localPath + ".");
        }
        pauseFor(settleAfterSpaceQuery);
    }

    // The local file is the user's: a failure closes it and never deletes it.
    runTransaction(uploadPrefix, [&] {
        if (progress) progress(&info, size, 0, 0.0, TransferProgressRules::startEstimate(size));
        if (continueTransfer == 0) return;  // cancelled before the first byte: no error

        port->purgeBuffers();
        sendCommand(RECEIVE_DATA_BLOCK, uploadPrefix);
        sendUploadHeader(name, flag, uploadPrefix);

        std::uint8_t package[PackageLimits::maxPcPayload];
        std::uint32_t done = 0;
        for (;;) {
            const std::uint32_t length = file->readBuffer(package, PackageLimits::maxPcPayload);
            if (length == 0 && continueTransfer != 0) {
                sendEndOfFile(uploadPrefix);
                return;
            }
            if (continueTransfer == 0) {
                sendCommand(CANCEL_UPLOAD, uploadPrefix);
                throw TransmissionCanceledByUser(std::string(uploadPrefix) +
                                                 "Transmission canceled by user (PC side).");
            }
            sendDataPackage(package, length, uploadPrefix);
            done += length;
            TransferProgressRules::reportPackage(progress, info, size, done, length, false);
        }
    });
}
