#include "transfer/PcTransfers.h"

#include "devices/DeviceModels.h"
#include "link/LocalFile.h"
#include "link/NBException.h"
#include "protocol/SLVFamilyDevice.h"
#include "transfer/FileNames.h"
#include "transfer/PortTurn.h"

#include <algorithm>

namespace {

std::string modelOf(const DeviceInfo& device) {
    const char* name = modelName(device.typeCode);
    return name ? name : "";
}

TransferMessage messageAbout(TransferNotice notice, const std::string& name, const DeviceInfo& device,
                             std::int32_t code = 0) {
    return {notice, name, modelOf(device), static_cast<int>(device.portNumber), code};
}

const DeviceFileRecord* replacedBy(const std::vector<DeviceFileRecord>& deviceFiles,
                                   const std::optional<std::string>& deviceName) {
    if (!deviceName) return nullptr;
    const auto found = std::find_if(deviceFiles.begin(), deviceFiles.end(), [&](const DeviceFileRecord& file) {
        return sameDeviceName(file.name, *deviceName);
    });
    return found == deviceFiles.end() ? nullptr : &*found;
}

// The size of a local file that can be read, or nothing.
std::optional<std::uint64_t> readableSize(const std::string& path) {
    try {
        return openLocalFile(path, LocalFile::ReadMode)->getSize();
    } catch (const NBException&) {
        return std::nullopt;
    }
}

// Makes `device` the one Abort cancels, for one scope.
class CancelTarget {
public:
    CancelTarget(TransferProgress& progress, SLVFamilyDevice& device) : progress_(progress) {
        progress_.setDevice(&device);
    }
    ~CancelTarget() { progress_.setDevice(nullptr); }
    CancelTarget(const CancelTarget&) = delete;
    CancelTarget& operator=(const CancelTarget&) = delete;

private:
    TransferProgress& progress_;
};

struct CheckedFile {
    std::uint64_t size = 0;
    const DeviceFileRecord* replaced = nullptr;
};

}  // namespace

UploadOutcome uploadFiles(const DeviceInfo& target, const std::vector<UploadSource>& files,
                          const std::vector<DeviceFileRecord>& deviceFiles, TransferUser& user) {
    UploadOutcome outcome;
    if (files.empty()) return outcome;

    // Every file is checked before anything is sent: a drop that cannot be
    // carried out whole is not begun.
    std::vector<CheckedFile> checked;
    std::uint64_t totalBytes = 0;
    std::uint64_t replacedBytes = 0;
    for (const UploadSource& file : files) {
        if (isLocalDirectory(file.localPath)) {
            user.tell(messageAbout(TransferNotice::DirectoryDropped, file.localPath, target));
            return outcome;
        }
        const auto size = file.deviceName ? readableSize(file.localPath) : std::nullopt;
        if (!size) {
            user.tell(messageAbout(TransferNotice::UploadFailed, file.localPath, target));
            return outcome;
        }
        CheckedFile entry{*size, replacedBy(deviceFiles, file.deviceName)};
        totalBytes += entry.size;
        if (entry.replaced) replacedBytes += entry.replaced->size;
        checked.push_back(entry);
    }

    std::uint32_t unused = 0;
    std::uint32_t freeBytes = 0;
    try {
        const PortTurn turn(target.portNumber);
        SLVFamilyDevice(target).sendDiskSpace(unused, freeBytes);
    } catch (const NBException&) {
        user.tell(messageAbout(TransferNotice::UploadFailed, files.front().localPath, target));
        return outcome;
    }
    if (std::uint64_t{freeBytes} + replacedBytes < totalBytes) {
        user.tell(messageAbout(TransferNotice::NotEnoughSpace, {}, target));
        return outcome;
    }

    const ProgressScope progress(TransferProgress::create(user, TransferMode::PcAndDevice,
                                                          static_cast<std::uint32_t>(files.size()), totalBytes));
    outcome = {true, true, true};
    bool yesToAll = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress->setCurrentName(files[i].localPath);
        bool fileDone = true;
        const bool goOn = !progress->aborted() && uploadOneFile(target, files[i], checked[i].size, checked[i].replaced,
                                                                yesToAll, *progress, user, fileDone);
        if (fileDone) {
            outcome.refreshView = true;
        } else {
            outcome.allSucceeded = false;
            if (files.size() == 1 || i == 0) outcome.refreshView = false;
        }
        if (!goOn) {
            outcome.allSucceeded = false;
            if (i == 0) outcome.refreshView = false;
            break;
        }
        progress->fileFinished(checked[i].size);
    }
    return outcome;
}

bool uploadOneFile(const DeviceInfo& target, const UploadSource& source, std::uint64_t size,
                   const DeviceFileRecord* replaced, bool& yesToAll, TransferProgress& progress, TransferUser& user,
                   bool& fileDone) {
    std::optional<SLVFamilyDevice> device;
    try {
        device.emplace(target);
    } catch (const NBException&) {
        user.tell(messageAbout(TransferNotice::UploadFailed, source.localPath, target));
        return false;
    }
    const CancelTarget cancelTarget(progress, *device);
    const PortTurn turn(target.portNumber);
    if (progress.aborted()) {
        fileDone = false;
        return false;
    }

    // The user's answer to the overwrite question: true to try again.
    bool overwrite = yesToAll;
    auto askUser = [&](bool& goOn) {
        const OverwriteAnswer answer = user.askOverwrite(source.localPath);
        progress.bringToFront();
        switch (answer) {
            case OverwriteAnswer::YesToAll:
                yesToAll = true;
                [[fallthrough]];
            case OverwriteAnswer::Yes:
                overwrite = true;
                return true;
            case OverwriteAnswer::No:
                fileDone = false;
                goOn = true;
                return false;
            default:
                fileDone = false;
                goOn = false;
                return false;
        }
    };

    for (;;) {
        try {
            device->receiveFile(source.localPath, progress.report(), overwrite ? 1 : 0,
                                source.deviceName.value_or(std::string()), replaced ? replaced->size : 0);
            // A cancel that came before the first byte ends the upload quietly.
            if (progress.aborted()) return false;
            progress.fillFileBar();
            return true;
        } catch (const NBException& failure) {
            bool goOn = false;
            switch (failure.code) {
                case ErrorCode::FileAlreadyExists:
                    if (askUser(goOn)) continue;
                    return goOn;
                case ErrorCode::NotEnoughMemory:
                    // The file may fit in place of the one it replaces.
                    if (replaced && !overwrite) {
                        std::uint32_t unused = 0;
                        std::uint32_t freeBytes = 0;
                        try {
                            device->sendDiskSpace(unused, freeBytes);
                        } catch (const NBException&) {
                            freeBytes = 0;
                        }
                        if (std::uint64_t{freeBytes} + replaced->size >= size) {
                            if (askUser(goOn)) continue;
                            return goOn;
                        }
                    }
                    user.tell(messageAbout(TransferNotice::DeviceRefusedForSpace, {}, target));
                    return false;
                case ErrorCode::Cancelled:
                    return false;
                default:
                    user.tell(messageAbout(TransferNotice::UploadFailed, source.localPath, target, failure.code));
                    return false;
            }
        }
    }
}

bool downloadOneFile(const DeviceInfo& source, const std::string& deviceName, const std::string& localPath,
                     std::uint32_t size, TransferProgress& progress, TransferUser& user) {
    std::optional<std::int32_t> failure;
    try {
        SLVFamilyDevice device(source);
        const CancelTarget cancelTarget(progress, device);
        const PortTurn turn(source.portNumber);
        if (!progress.aborted()) device.sendFile(deviceName, localPath, size, progress.report());
    } catch (const NBException& error) {
        failure = error.code;
    }
    if (!failure && !progress.aborted()) return true;
    removeLocalFile(localPath);
    if (failure.value_or(0) != ErrorCode::Cancelled && !progress.aborted())
        user.tell(messageAbout(TransferNotice::DownloadFailed, deviceNameForDisplay(deviceName), source,
                               failure.value_or(0)));
    return false;
}
