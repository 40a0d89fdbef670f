#include "transfer/DeviceFileOperations.h"

#include "link/NBException.h"
#include "protocol/SLVFamilyDevice.h"
#include "resources/resource.h"
#include "shell/Prompt.h"
#include "shell/WaitCursor.h"
#include "transfer/Announcer.h"

#include <algorithm>
#include <optional>

namespace {

// Runs one transaction on a device object that lives only for it. Returns
// the error code, or nothing when the transaction went through.
template <typename Transaction>
std::optional<std::int32_t> runOnDevice(const DeviceInfo& target, Transaction&& transaction) {
    try {
        SLVFamilyDevice device(target);
        transaction(device);
        return std::nullopt;
    } catch (const NBException& failure) {
        return failure.code;
    } catch (...) {
        // Not a device error (no memory, say); the user hears of it alike.
        return 0;
    }
}

}  // namespace

bool deleteFileOnDevice(const DeviceInfo& device, const std::string& name, HWND owner) noexcept {
    if (!runOnDevice(device, [&](SLVFamilyDevice& target) { target.deleteFile(name); })) {
        return true;
    }
    tellFailure(owner, IDS_ERROR_DELETE, prompt::errorStyle, {name});
    return false;
}

bool renameFileOnDevice(const DeviceInfo& device, const std::string& oldName, const std::string& newName,
                        HWND owner) noexcept {
    const auto failure = runOnDevice(device, [&](SLVFamilyDevice& target) { target.renameFile(oldName, newName); });
    if (!failure) {
        return true;
    }
    if (*failure == ErrorCode::FileAlreadyExists) {
        tellFailure(owner, IDS_ERROR_RENAME_EXISTS, prompt::errorStyle, {oldName, newName});
    } else {
        tellFailure(owner, IDS_ERROR_RENAME, prompt::errorStyle, {oldName});
    }
    return false;
}

void deleteMovedSources(const DeviceInfo& device, const std::vector<std::string>& names, HWND owner) noexcept {
    for (const std::string& name : names) deleteFileOnDevice(device, name, owner);
}

int deleteSelection(const DeviceInfo& device, HWND owner, const std::vector<ItemRecord>& selected,
                    const FolderLocation& location) noexcept {
    const WaitCursor wait;
    int deleted = 0;
    try {
        if (selected.size() == 1) {
            const std::string name(fieldText(selected[0].name));
            const UINT question = isSystemFileName(name) ? IDS_CONFIRM_DELETE_SYSFILE : IDS_CONFIRM_DELETE_FILE;
            if (!prompt::confirm(owner, question, {name}) || !deleteFileOnDevice(device, name, owner)) return 0;
            location.itemChanged(SHCNE_DELETE, selected[0]);
            return 1;
        }
        if (selected.empty() || !prompt::confirm(owner, IDS_CONFIRM_DELETE_FILES, {selected.size()})) {
            return 0;
        }
        const bool systemFile = std::any_of(selected.begin(), selected.end(), [](const ItemRecord& record) {
            return isSystemFileName(fieldText(record.name));
        });
        if (systemFile && !prompt::confirm(owner, IDS_CONFIRM_DELETE_SYSFILES)) {
            return 0;
        }
        for (const ItemRecord& record : selected) {
            if (deleteFileOnDevice(device, std::string(fieldText(record.name)), owner)) {
                location.itemChanged(SHCNE_DELETE, record);
                ++deleted;
            }
        }
    } catch (...) {
        // No memory for a question or a name: what was deleted so far counts.
    }
    return deleted;
}
