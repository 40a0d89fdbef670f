#include "transfer/DroppedFiles.h"

#include "link/Pause.h"
#include "namespace/NamespaceFolder.h"
#include "shell/ModuleState.h"
#include "shell/ShellResources.h"
#include "shell/TextFormat.h"
#include "transfer/DataValues.h"
#include "transfer/FileDataObject.h"
#include "transfer/FileNames.h"
#include "transfer/BackgroundWork.h"
#include "transfer/PcTransfers.h"
#include "transfer/ShellTransferUser.h"

#include <shellapi.h>

namespace {

constexpr UINT refreshCommand = 271;
constexpr std::uint32_t refreshPause = 500;
constexpr std::size_t longestDeviceName = 64;

// A dropped path as an upload takes it: UTF-8 for the local file, and the
// name part in the ANSI code page for the device (none when a character
// has no ANSI form).
UploadSource sourceOf(const std::wstring& path) {
    std::wstring name = path;
    if (!name.empty() && name.front() == L'"') name.erase(0, 1);
    if (!name.empty() && name.back() == L'"') name.pop_back();
    const std::size_t split = name.rfind(L'\\');
    if (split != std::wstring::npos) name.erase(0, split + 1);
    std::optional<std::string> deviceName = name.empty() ? std::nullopt : deviceNameFromLocal(narrowUtf8(name));
    if (deviceName && deviceName->size() > longestDeviceName) deviceName->resize(longestDeviceName);
    return {narrowUtf8(path), deviceName};
}

}  // namespace

std::uint32_t uploadDroppedFiles(IDataObject* dataObject, NamespaceFolder& targetFolder, HWND ownerWindow,
                                 bool moveRequested) {
    if (!dataObject) return 0;
    const ComPtr<NamespaceFolder> folder(&targetFolder);
    const ClipboardFormats& formats = moduleState().clipboardFormats();

    ComPtr<IAsyncOperation> async;
    if (SUCCEEDED(dataObject->QueryInterface(IID_IDataObjectAsyncCapability,
                                             reinterpret_cast<void**>(async.GetAddressOf())))) {
        BOOL isAsync = FALSE;
        if (FAILED(async->GetAsyncMode(&isAsync)) || !isAsync) async.Reset();
    }

    bool move = false;
    FORMATETC preferred = valueFormat(formats.preferredDropEffect);
    STGMEDIUM preferredMedium{};
    if (SUCCEEDED(dataObject->GetData(&preferred, &preferredMedium))) {
        UniqueStgMedium held(preferredMedium);
        move = readValueBlock(held.get().hGlobal) == DROPEFFECT_MOVE;
        FORMATETC performed = valueFormat(formats.performedDropEffect);
        dataObject->SetData(&performed, &preferredMedium, FALSE);
    } else if (moveRequested) {
        move = true;
        if (async) async->StartOperation(nullptr);
        writeValue(*dataObject, formats.performedDropEffect, DROPEFFECT_MOVE);
    }

    FORMATETC dropFormat = valueFormat(CF_HDROP);
    STGMEDIUM dropMedium{};
    if (FAILED(dataObject->GetData(&dropFormat, &dropMedium))) return 0;
    const UniqueStgMedium drop(dropMedium);
    std::vector<UploadSource> files;
    {
        const GlobalLockGuard<DROPFILES> list(drop.get().hGlobal);
        if (!list) return 0;
        const auto dropList = reinterpret_cast<HDROP>(drop.get().hGlobal);
        const UINT count = DragQueryFileW(dropList, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileW(dropList, i, nullptr, 0);
            std::wstring path(length + 1, L'\0');
            if (length == 0 || DragQueryFileW(dropList, i, path.data(), length + 1) == 0) return 0;
            path.resize(length);
            files.push_back(sourceOf(path));
        }
    }

    std::vector<DeviceFileRecord> deviceFiles;
    if (const auto records = folder->records()) {
        for (const ItemRecord& record : *records) {
            if (record.kind != ItemKind::Device)
                deviceFiles.push_back({std::string(fieldText(record.name)), record.size});
        }
    }
    ShellTransferUser user(ownerWindow);
    const UploadOutcome outcome = uploadFiles(folder->currentDevice(), files, deviceFiles, user);
    if (!outcome.processed) return 0;

    // The source deletes its files only once every one of them arrived.
    if (move && outcome.allSucceeded) {
        writeValue(*dataObject, formats.pasteSucceeded, DROPEFFECT_MOVE);
        if (async) async->EndOperation(S_OK, nullptr, DROPEFFECT_MOVE);
    } else if (!move && async) {
        async->EndOperation(S_OK, nullptr, DROPEFFECT_COPY);
    }
    if (outcome.refreshView) {
        pauseFor(refreshPause);
        PostMessageW(ownerWindow, WM_COMMAND, refreshCommand, 0);
    }
    return 1;
}

bool uploadDroppedFilesInBackground(IDataObject* dataObject, NamespaceFolder& targetFolder, HWND ownerWindow,
                                    bool moveRequested) {
    ComPtr<IGlobalInterfaceTable> table;
    DWORD cookie = 0;
    if (!dataObject ||
        FAILED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table))) ||
        FAILED(table->RegisterInterfaceInGlobal(dataObject, IID_IDataObject, &cookie))) {
        return false;
    }
    ComPtr<NamespaceFolder> folder(&targetFolder);
    moduleState().objectCreated();  // the module stays while the upload runs
    runInBackground([folder, cookie, ownerWindow, moveRequested] {
        if (SUCCEEDED(OleInitialize(nullptr))) {
            ComPtr<IGlobalInterfaceTable> table;
            ComPtr<IDataObject> data;
            if (SUCCEEDED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&table)))) {
                if (SUCCEEDED(table->GetInterfaceFromGlobal(cookie, IID_PPV_ARGS(&data)))) {
                    uploadDroppedFiles(data.Get(), *folder.Get(), ownerWindow, moveRequested);
                }
                data.Reset();
                table->RevokeInterfaceFromGlobal(cookie);
            }
            table.Reset();
            OleUninitialize();
        }
        moduleState().objectDestroyed();
    });
    return true;
}

std::optional<bool> firstDroppedFileReadable(IDataObject& data) {
    FORMATETC dropFormat = valueFormat(CF_HDROP);
    STGMEDIUM medium{};
    if (FAILED(data.GetData(&dropFormat, &medium))) return std::nullopt;
    const UniqueStgMedium drop(medium);
    const GlobalLockGuard<DROPFILES> list(drop.get().hGlobal);
    if (!list) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    if (DragQueryFileW(reinterpret_cast<HDROP>(drop.get().hGlobal), 0, path, MAX_PATH) == 0) return false;
    // A folder cannot be opened as a file: it is not offered.
    const UniqueFileHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}
