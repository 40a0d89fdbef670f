#include "transfer/DeviceFileOperations.h"

#include "link/NBException.h"
#include "namespace/NamespaceFolder.h"
#include "protocol/SLVFamilyDevice.h"
#include "resources/resource.h"
#include "shell/Prompt.h"
#include "shell/WaitCursor.h"

#include <algorithm>
#include <optional>

namespace {

// Runs one transaction on a device object that lives only for it. Returns
// the error code, or nothing when the transaction went through.
template <typename Transaction>
std::optional<std::int32_t> runOnDevice(const NamespaceFolder& folder, Transaction&& transaction) {
    try {
        SLVFamilyDevice device(folder.currentDevice());
        transaction(device);
        return std::nullopt;
    } catch (const NBException& failure) {
        return failure.code;
    } catch (...) {
        // Not a device error (no memory, say); the user hears of it alike.
        return 0;
    }
}

// Shows one error box; a failure to build the text must not escape.
void tellFailure(const NamespaceFolder& folder, UINT textId, std::initializer_list<TextArg> args) noexcept {
    try {
        prompt::showError(folder.ownerWindow(), textId, args);
    } catch (...) {
    }
}

}  // namespace

std::uint32_t deleteFileOnDevice(const NamespaceFolder& folder, const std::string& name) noexcept {
    if (!runOnDevice(folder, [&](SLVFamilyDevice& device) { device.deleteFile(name); })) {
        return 1;
    }
    tellFailure(folder, IDS_ERROR_DELETE, {name});
    return 0;
}

std::uint32_t renameFileOnDevice(const NamespaceFolder& folder, const std::string& oldName,
                                 const std::string& newName) noexcept {
    const auto failure = runOnDevice(folder, [&](SLVFamilyDevice& device) { device.renameFile(oldName, newName); });
    if (!failure) {
        return 1;
    }
    if (*failure == ErrorCode::FileAlreadyExists) {
        tellFailure(folder, IDS_ERROR_RENAME_EXISTS, {oldName, newName});
    } else {
        tellFailure(folder, IDS_ERROR_RENAME, {oldName});
    }
    return 0;
}

void deleteMovedSources(const NamespaceFolder& folder, const std::vector<std::string>& names) noexcept {
    for (const std::string& name : names) deleteFileOnDevice(folder, name);
}

int deleteSelection(const NamespaceFolder& folder, HWND owner, const std::vector<ItemRecord>& selected) noexcept {
    const WaitCursor wait;
    int deleted = 0;
    try {
        if (selected.size() == 1) {
            const std::string name(fieldText(selected[0].name));
            const UINT question = isSystemFileName(name) ? IDS_CONFIRM_DELETE_SYSFILE : IDS_CONFIRM_DELETE_FILE;
            return prompt::confirm(owner, question, {name}) ? static_cast<int>(deleteFileOnDevice(folder, name)) : 0;
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
            deleted += static_cast<int>(deleteFileOnDevice(folder, std::string(fieldText(record.name))));
        }
    } catch (...) {
        // No memory for a question or a name: what was deleted so far counts.
    }
    return deleted;
}
