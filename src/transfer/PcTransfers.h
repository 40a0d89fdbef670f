#pragma once
// Files between the PC and one device: uploads of dropped or pasted files
// with the free-space check and the overwrite question, and the download
// of one file into a local (temporary) file. The rules live here; the
// shell's entry points only gather the files and pass the outcome on.
#include "protocol/DeviceInfo.h"
#include "transfer/TransferProgress.h"
#include "transfer/TransferUser.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One dropped local file.
struct UploadSource {
    std::string localPath;                  // as the platform's files take it (UTF-8 on Windows)
    std::optional<std::string> deviceName;  // the name it gets on the device; none when it has no device form
};

// A file the device listed, which a dropped file of the same name replaces.
struct DeviceFileRecord {
    std::string name;
    std::uint32_t size = 0;
};

struct UploadOutcome {
    bool processed = false;     // the list was gone through (false: stopped before the first file)
    bool allSucceeded = false;  // every file is on the device: a move may be confirmed
    bool refreshView = false;   // something changed on the device
};

// Checks every file and the device's free space before the first byte,
// then uploads the files in order, asking before it replaces a file.
// `deviceFiles` is the target folder's listing.
UploadOutcome uploadFiles(const DeviceInfo& target, const std::vector<UploadSource>& files,
                          const std::vector<DeviceFileRecord>& deviceFiles, TransferUser& user);

// One upload with the overwrite question. Returns false to stop the whole
// upload; `fileDone` turns false when the file was left out on the user's
// answer. `replaced` is the listed file it replaces, if any.
bool uploadOneFile(const DeviceInfo& target, const UploadSource& source, std::uint64_t size,
                   const DeviceFileRecord* replaced, bool& yesToAll, TransferProgress& progress, TransferUser& user,
                   bool& fileDone);

// Downloads `deviceName` into `localPath`; false after a failure (told to
// the user unless it was cancelled). A failed download leaves no file.
bool downloadOneFile(const DeviceInfo& source, const std::string& deviceName, const std::string& localPath,
                     std::uint32_t size, TransferProgress& progress, TransferUser& user);
