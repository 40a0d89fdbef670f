#include "transfer/DroppedFiles.h"

#include "link/Pause.h"
#include "resources/resource.h"
#include "shell/ModuleState.h"
#include "shell/ShellResources.h"
#include "shell/TextFormat.h"
#include "transfer/BackgroundWork.h"
#include "transfer/FileNames.h"
#include "transfer/PcTransfers.h"
#include "transfer/ShellTransferUser.h"

#include <shellapi.h>

namespace {

constexpr std::uint32_t refreshPause = 500;
// DragQueryFileW's index that asks for the number of files.
constexpr UINT fileCountQuery = 0xFFFFFFFF;

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

// The CF_HDROP list of a data object, read only from global memory: a
// source may answer with any medium.
class DroppedList {
public:
    explicit DroppedList(IDataObject& data) {
        FORMATETC format = valueFormat(CF_HDROP);
        STGMEDIUM medium{};
        if (FAILED(data.GetData(&format, &medium))) return;
        medium_.reset(medium);
        if (medium.tymed == TYMED_HGLOBAL) lock_.emplace(medium.hGlobal);
    }
    bool readable() const { return lock_ && *lock_; }
    HDROP handle() const { return reinterpret_cast<HDROP>(medium_.get().hGlobal); }

private:
    UniqueStgMedium medium_;
    std::optional<GlobalLockGuard<DROPFILES>> lock_;
};

}  // namespace

ComPtr<IAsyncOperation> asyncOperationOf(IDataObject& data) {
    ComPtr<IAsyncOperation> async;
    BOOL isAsync = FALSE;
    if (FAILED(data.QueryInterface(IID_IDataObjectAsyncCapability, reinterpret_cast<void**>(async.GetAddressOf()))) ||
        FAILED(async->GetAsyncMode(&isAsync)) || !isAsync) {
        async.Reset();
    }
    return async;
}

bool uploadDroppedFiles(IDataObject* dataObject, const TransferTarget& target, bool move) {
    if (!dataObject) return false;
    const ClipboardFormats& formats = moduleState().clipboardFormats();
    const ComPtr<IAsyncOperation> async = asyncOperationOf(*dataObject);
    // What the source hears at the end: DROPEFFECT_MOVE lets it delete its files.
    const auto tell = [&](DWORD effect) {
        if (effect == DROPEFFECT_MOVE) writeValue(*dataObject, formats.pasteSucceeded, DROPEFFECT_MOVE);
        if (async) async->EndOperation(S_OK, nullptr, effect);
    };

    std::vector<UploadSource> files;
    {
        const DroppedList list(*dataObject);
        if (!list.readable()) {
            tell(DROPEFFECT_NONE);
            return false;
        }
        const UINT count = DragQueryFileW(list.handle(), fileCountQuery, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileW(list.handle(), i, nullptr, 0);
            std::wstring path(length + 1, L'\0');
            if (length == 0 || DragQueryFileW(list.handle(), i, path.data(), length + 1) == 0) {
                tell(DROPEFFECT_NONE);
                return false;
            }
            path.resize(length);
            files.push_back(sourceOf(path));
        }
    }

    ShellTransferUser user(target.windows.owner);
    const UploadOutcome outcome = uploadFiles(target.device, files, target.files, user);
    // The source deletes its files only once every one of them arrived.
    tell(!outcome.processed ? DROPEFFECT_NONE : move && outcome.allSucceeded ? DROPEFFECT_MOVE : DROPEFFECT_COPY);
    if (!outcome.processed) return false;
    if (outcome.refreshView) target.location.contentsChanged();
    if (outcome.refreshView && target.windows.refresh) {
        pauseFor(refreshPause);
        PostMessageW(target.windows.refresh, WM_COMMAND, MAKEWPARAM(IDM_REFRESH, refreshAfterTransfer), 0);
    }
    return true;
}

bool uploadDroppedFilesInBackground(IDataObject* dataObject, TransferTarget target, bool move) {
    ComPtr<IGlobalInterfaceTable> table;
    DWORD cookie = 0;
    if (!dataObject ||
        FAILED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table))) ||
        FAILED(table->RegisterInterfaceInGlobal(dataObject, IID_IDataObject, &cookie))) {
        return false;
    }
    writeValue(*dataObject, moduleState().clipboardFormats().performedDropEffect,
               move ? DROPEFFECT_MOVE : DROPEFFECT_COPY);
    // Begun here, so the source never sees a finished drop with no operation running.
    if (const ComPtr<IAsyncOperation> async = asyncOperationOf(*dataObject)) async->StartOperation(nullptr);
    runInBackground([target = std::move(target), cookie, move] {
        if (FAILED(OleInitialize(nullptr))) return;
        ComPtr<IGlobalInterfaceTable> table;
        ComPtr<IDataObject> data;
        if (SUCCEEDED(
                CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table)))) {
            if (SUCCEEDED(table->GetInterfaceFromGlobal(cookie, IID_PPV_ARGS(&data)))) {
                uploadDroppedFiles(data.Get(), target, move);
            }
            data.Reset();
            table->RevokeInterfaceFromGlobal(cookie);
        }
        table.Reset();
        OleUninitialize();
    });
    return true;
}

std::optional<bool> firstDroppedFileReadable(IDataObject& data) {
    const DroppedList list(data);
    if (!list.readable()) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    if (DragQueryFileW(list.handle(), 0, path, MAX_PATH) == 0) return false;
    // A folder cannot be opened as a file: it is not offered.
    const UniqueFileHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}
