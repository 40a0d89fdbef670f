#include "transfer/DeviceCopy.h"

#include "devices/Discovery.h"
#include "namespace/NamespaceFolder.h"
#include "resources/resource.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"
#include "shell/ShellResources.h"
#include "transfer/DeviceCopyJob.h"
#include "transfer/DataValues.h"
#include "transfer/FileDataObject.h"
#include "transfer/ShellTransferUser.h"

#include <shlobj.h>

namespace {

constexpr UINT refreshCommand = 271;
constexpr DWORD refusedSystemFileMove = 2;

ComPtr<IGlobalInterfaceTable> globalInterfaceTable() {
    ComPtr<IGlobalInterfaceTable> table;
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table));
    return table;
}

// The files of the source: their descriptors, with the device's own names
// where the source gives them.
std::vector<TransferListEntry> filesOf(IDataObject& data) {
    std::vector<TransferListEntry> files;
    FORMATETC descriptorFormat = valueFormat(moduleState().clipboardFormats().fileGroupDescriptor);
    STGMEDIUM medium{};
    if (FAILED(data.GetData(&descriptorFormat, &medium))) return files;
    const UniqueStgMedium descriptors(medium);
    const GlobalLockGuard<FILEGROUPDESCRIPTORA> group(descriptors.get().hGlobal);
    if (!group) throw ComFailure(E_OUTOFMEMORY);
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
    DataObjectSource(DWORD cookie, HWND viewWindow) : cookie_(cookie), viewWindow_(viewWindow) {
        moduleState().objectCreated();  // the module stays while a job runs
    }
    ~DataObjectSource() override { moduleState().objectDestroyed(); }

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
    void refreshTarget() override { PostMessageW(viewWindow_, WM_COMMAND, refreshCommand, 0); }

private:
    const DWORD cookie_;
    const HWND viewWindow_;
    bool initialized_ = false;
    ComPtr<IGlobalInterfaceTable> table_;
    ComPtr<IDataObject> data_;
    ComPtr<IAsyncOperation> async_;
};

}  // namespace

std::uint32_t startDeviceCopy(NamespaceFolder& targetFolder, IDataObject* dataObject, HWND viewWindow) {
    if (!dataObject) return 1;
    const ClipboardFormats& formats = moduleState().clipboardFormats();
    const auto port = readValue(*dataObject, formats.devicePort);
    if (!port) return 1;
    const auto systemFiles = readValue(*dataObject, formats.moveSystemFile);
    if (!systemFiles || *systemFiles == refusedSystemFileMove) return 1;
    const DeviceInfo target = targetFolder.currentDevice();
    if (*port == target.portNumber) {
        prompt::show(targetFolder.ownerWindow(), IDS_ERROR_COPY_TO_ITSELF, IDS_CAPTION_ERROR, MB_OK | MB_ICONHAND);
        return 0;
    }
    try {
        DeviceCopyRequest request;
        request.files = filesOf(*dataObject);
        request.target = target;
        if (!targetFolder.records() || targetFolder.records()->empty()) {
            ComPtr<IEnumIDList> enumerator;
            const HRESULT listed = targetFolder.EnumObjects(targetFolder.ownerWindow(), 0x100, &enumerator);
            if (FAILED(listed)) return static_cast<std::uint32_t>(listed);
        }
        // The names as they were when the job began: a later listing cannot change them under it.
        if (const auto records = targetFolder.records()) {
            for (const ItemRecord& record : *records)
                if (record.kind != ItemKind::Device)
                    request.targetFiles.push_back({std::string(fieldText(record.name)), record.size});
        }
        request.move = (readValue(*dataObject, formats.preferredDropEffect).value_or(0) & DROPEFFECT_MOVE) != 0;
        DeviceInfo source;
        if (probePort(source, static_cast<int>(*port), true, false) <= 0) return 1;
        request.source = source;
        if (request.files.empty()) return 0;

        const ComPtr<IGlobalInterfaceTable> table = globalInterfaceTable();
        DWORD cookie = 0;
        if (!table || FAILED(table->RegisterInterfaceInGlobal(dataObject, IID_IDataObject, &cookie))) return 1;
        auto user = std::make_unique<ShellTransferUser>(nullptr);
        std::uint64_t totalBytes = 0;
        for (const TransferListEntry& file : request.files) totalBytes += file.size;
        auto progress = TransferProgress::create(*user, target, TransferMode::DeviceToDevice,
                                                 static_cast<std::uint32_t>(request.files.size()), totalBytes, &source);
        if (!startDeviceCopyJob(std::move(request), progress, std::move(user),
                                std::make_unique<DataObjectSource>(cookie, viewWindow))) {
            progress->destroy();
            table->RevokeInterfaceFromGlobal(cookie);
        }
        return 0;
    } catch (const ComFailure& failure) {
        return static_cast<std::uint32_t>(failure.result());
    } catch (...) {
        return 1;
    }
}
