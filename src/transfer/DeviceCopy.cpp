#include "transfer/DeviceCopy.h"

#include "devices/Discovery.h"
#include "resources/resource.h"
#include "shell/ComObject.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"
#include "shell/ShellResources.h"
#include "transfer/DeviceCopyJob.h"
#include "transfer/DataValues.h"
#include "transfer/ShellTransferUser.h"

#include <shlobj.h>

namespace {

// The source's answer when the user would not move its system files.
constexpr DWORD refusedSystemFileMove = 2;

ComPtr<IGlobalInterfaceTable> globalInterfaceTable() {
    ComPtr<IGlobalInterfaceTable> table;
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table));
    return table;
}

// The files of the source: their descriptors, with the device's own names
// where the source gives them. A block shorter than its count gives none.
std::vector<TransferListEntry> filesOf(IDataObject& data) {
    std::vector<TransferListEntry> files;
    FORMATETC descriptorFormat = valueFormat(moduleState().clipboardFormats().fileGroupDescriptor);
    STGMEDIUM medium{};
    if (FAILED(data.GetData(&descriptorFormat, &medium))) return files;
    const UniqueStgMedium descriptors(medium);
    if (medium.tymed != TYMED_HGLOBAL) return files;
    const GlobalLockGuard<FILEGROUPDESCRIPTORA> group(descriptors.get().hGlobal);
    if (!group) throw ComFailure(E_OUTOFMEMORY);
    if (group.size() < sizeof(UINT)) return files;
    const std::size_t room = (group.size() - sizeof(UINT)) / sizeof(FILEDESCRIPTORA);
    const std::size_t count = std::min<std::size_t>(group.get()->cItems, room);
    for (std::size_t i = 0; i < count; ++i) {
        const FILEDESCRIPTORA& file = group.get()->fgd[i];
        files.push_back({std::string(file.cFileName, strnlen(file.cFileName, MAX_PATH)), file.nFileSizeLow});
    }
    FORMATETC namesFormat = valueFormat(moduleState().clipboardFormats().deviceFileNames);
    STGMEDIUM namesMedium{};
    if (SUCCEEDED(data.GetData(&namesFormat, &namesMedium))) {
        const UniqueStgMedium held(namesMedium);
        const GlobalLockGuard<char> names(held.get().hGlobal);
        std::size_t at = 0;
        for (TransferListEntry& file : files) {
            if (!names) break;
            const char* start = names.get() + at;
            const std::size_t length = strnlen(start, names.size() - at);
            if (at + length >= names.size()) break;
            file.name.assign(start, length);
            at += length + 1;
        }
    }
    return files;
}

// The source's data object, reached from the job's master thread through
// the global interface table.
class DataObjectSource final : public DeviceCopySource {
public:
    DataObjectSource(DWORD cookie, const TransferTarget& target)
        : cookie_(cookie), refreshWindow_(target.windows.refresh), location_(target.location) {}

    bool starting(bool move) override {
        initialized_ = SUCCEEDED(OleInitialize(nullptr));
        table_ = globalInterfaceTable();
        if (!table_ || FAILED(table_->GetInterfaceFromGlobal(cookie_, IID_PPV_ARGS(&data_)))) return false;
        writeValue(*data_.Get(), moduleState().clipboardFormats().performedDropEffect,
                   move ? DROPEFFECT_MOVE : DROPEFFECT_COPY);
        // Without the asynchronous operation (Wine's clipboard has none) the
        // source cannot hear of a move: the job copies.
        if (SUCCEEDED(data_.As(&async_))) async_->StartOperation(nullptr);
        return true;
    }
    void completed(bool moved) override {
        if (!async_) return;
        if (moved) writeValue(*data_.Get(), moduleState().clipboardFormats().pasteSucceeded, DROPEFFECT_MOVE);
        async_->EndOperation(S_OK, nullptr, moved ? DROPEFFECT_MOVE : DROPEFFECT_COPY);
    }
    void finished() override {
        async_.Reset();
        data_.Reset();
        if (!table_) table_ = globalInterfaceTable();
        if (table_) table_->RevokeInterfaceFromGlobal(cookie_);
        table_.Reset();
        if (initialized_) OleUninitialize();
    }
    void refreshTarget() override {
        location_.contentsChanged();
        if (refreshWindow_) PostMessageW(refreshWindow_, WM_COMMAND, MAKEWPARAM(IDM_REFRESH, refreshAfterTransfer), 0);
    }

private:
    const DWORD cookie_;
    const HWND refreshWindow_;
    const FolderLocation location_;
    bool initialized_ = false;
    ComPtr<IGlobalInterfaceTable> table_;
    ComPtr<IDataObject> data_;
    ComPtr<IAsyncOperation> async_;
};

}  // namespace

HRESULT startDeviceCopy(IDataObject* dataObject, const TransferTarget& target, bool move) {
    if (!dataObject) return S_FALSE;
    const ClipboardFormats& formats = moduleState().clipboardFormats();
    const auto port = readValue(*dataObject, formats.devicePort);
    if (!port) return S_FALSE;
    const auto systemFiles = readValue(*dataObject, formats.moveSystemFile);
    if (!systemFiles || *systemFiles == refusedSystemFileMove) return S_FALSE;
    if (*port == target.device.portNumber) {
        prompt::show(target.windows.owner, IDS_ERROR_COPY_TO_ITSELF, IDS_CAPTION_ERROR, MB_OK | MB_ICONHAND);
        return S_OK;
    }
    try {
        DeviceCopyRequest request;
        request.files = filesOf(*dataObject);
        request.target = target.device;
        // The names as they were when the job began: a later listing cannot change them under it.
        request.targetFiles = target.files;
        request.move = move;
        const auto source = probePort(static_cast<int>(*port));
        if (!source) return S_FALSE;
        request.source = *source;
        if (request.files.empty()) return S_OK;

        const ComPtr<IGlobalInterfaceTable> table = globalInterfaceTable();
        DWORD cookie = 0;
        if (!table || FAILED(table->RegisterInterfaceInGlobal(dataObject, IID_IDataObject, &cookie))) return S_FALSE;
        auto user = std::make_unique<ShellTransferUser>(target.windows.owner);
        std::uint64_t totalBytes = 0;
        for (const TransferListEntry& file : request.files) totalBytes += file.size;
        auto progress = TransferProgress::create(*user, TransferMode::DeviceToDevice,
                                                 static_cast<std::uint32_t>(request.files.size()), totalBytes);
        if (!startDeviceCopyJob(std::move(request), progress, std::move(user),
                                std::make_unique<DataObjectSource>(cookie, target))) {
            progress->destroy();
            table->RevokeInterfaceFromGlobal(cookie);
        }
        return S_OK;
    } catch (const ComFailure& failure) {
        return failure.result();
    } catch (...) {
        return S_FALSE;
    }
}
