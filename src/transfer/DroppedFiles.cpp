#include "transfer/DroppedFiles.h"

#include "link/Pause.h"
#include "namespace/NamespaceFolder.h"
#include "shell/ModuleState.h"
#include "shell/ShellResources.h"
#include "shell/TextFormat.h"
#include "transfer/FileDataObject.h"
#include "transfer/FileNames.h"
#include "transfer/PcTransfers.h"
#include "transfer/ShellTransferUser.h"

#include <shellapi.h>

namespace {

constexpr UINT refreshCommand = 271;
constexpr std::uint32_t refreshPause = 500;
constexpr std::size_t longestDeviceName = 64;

FORMATETC formatOf(UINT format) {
    return FORMATETC{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// Hands a new value block to the data object, which takes it over.
void setValue(IDataObject& dataObject, UINT format, DWORD value) {
    FORMATETC formatEtc = formatOf(format);
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = makeValueBlock(value, GMEM_ZEROINIT);
    if (medium.hGlobal && FAILED(dataObject.SetData(&formatEtc, &medium, TRUE))) GlobalFree(medium.hGlobal);
}

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
    FORMATETC preferred = formatOf(formats.preferredDropEffect);
    STGMEDIUM preferredMedium{};
    if (SUCCEEDED(dataObject->GetData(&preferred, &preferredMedium))) {
        UniqueStgMedium held(preferredMedium);
        move = readValueBlock(held.get().hGlobal) == DROPEFFECT_MOVE;
        FORMATETC performed = formatOf(formats.performedDropEffect);
        dataObject->SetData(&performed, &preferredMedium, FALSE);
    } else if (moveRequested) {
        move = true;
        if (async) async->StartOperation(nullptr);
        setValue(*dataObject, formats.performedDropEffect, DROPEFFECT_MOVE);
    }

    FORMATETC dropFormat = formatOf(CF_HDROP);
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
        setValue(*dataObject, formats.pasteSucceeded, DROPEFFECT_MOVE);
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
