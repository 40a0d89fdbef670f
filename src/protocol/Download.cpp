// Download: the device sends one file, the PC writes it to a local file.
#include <memory>

#include "link/LocalFile.h"
#include "protocol/DeviceErrors.h"
#include "protocol/ProtocolBytes.h"
#include "protocol/SLVFamilyDevice.h"

using namespace ProtocolBytes;
using namespace ProtocolExceptions;

namespace {
constexpr char downloadPrefix[] = "SLVFamilyDevice::sendFile--";
}

void SLVFamilyDevice::sendFile(const std::string& deviceFileName, const std::string& localPath,
                               std::uint32_t expectedSize, const ProgressCallback& progress) {
    continueTransfer = abandoned ? 0 : 1;
    if (deviceFileName.empty()) {
        throw IllegalSourceFileName(std::string(downloadPrefix) + "SourceFileName ist empty.");
    }
    if (localPath.empty()) {
        throw IllegalTargetFileName(std::string(downloadPrefix) + "targetFileName ist empty.");
    }
    checkDeviceFileName(deviceFileName, downloadPrefix, false);

    const std::unique_ptr<LocalFile> file = openLocalFile(localPath, LocalFile::WriteMode);
    auto erasePartialFile = [&file] {
        try {
            file->erase();
        } catch (NBException) {
            // The transfer's own error is the one to report.
        }
    };

    runTransaction(
        downloadPrefix,
        [&] {
            if (progress) {
                progress(&info, expectedSize, 0, 0.0, TransferProgressRules::startEstimate(expectedSize));
            }
            sendCommand(GET_FILE, downloadPrefix);
            sendNamePackage(deviceFileName, GET_FILE, downloadPrefix);

            std::uint8_t package[PackageLimits::maxDevicePayload];
            std::uint32_t done = 0;
            for (std::uint32_t packages = 0;; ++packages) {
                const std::uint8_t marker = port->readByte();
                if (marker == END_OF_FILE) break;
                if (marker == RECEIVE_DATA_BLOCK) {
                    if (continueTransfer == 0) refuseAsCancelled(downloadPrefix);
                    if (packages > done) refusePackage(downloadPrefix, "Device sends packages without data.");
                    const std::uint32_t length = receivePackagePayload(package, downloadPrefix, expectedSize - done);
                    file->writeBuffer(package, length);
                    done += length;
                    TransferProgressRules::reportPackage(progress, info, expectedSize, done, length, true);
                    receivePackageEnd(downloadPrefix);
                } else if (marker == CANCEL_UPLOAD) {
                    port->writeByte(ACK);
                    port->writeByte(CANCEL_UPLOAD);
                    throw TransmissionCanceledByUser(std::string(downloadPrefix) +
                                                     "Transmission canceled by user (device side).");
                } else if (marker == NAK) {
                    raiseDeviceError(port->readByte(), downloadPrefix);
                } else {
                    throw ErrorInProtocol(std::string(downloadPrefix) + "Missing RECEIVE_DATA_BLOCK or CANCEL_UPLOAD.");
                }
            }
        },
        erasePartialFile);
    file->commit();
}
