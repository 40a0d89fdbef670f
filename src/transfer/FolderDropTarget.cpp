#include "transfer/FolderDropTarget.h"

#include "namespace/ItemIdAllocator.h"
#include "namespace/NamespaceFolder.h"
#include "shell/ModuleState.h"
#include "shell/TextFormat.h"
#include "transfer/DeviceCopy.h"
#include "transfer/DroppedFiles.h"
#include "transfer/DataValues.h"
#include "transfer/FileDataObject.h"

FolderDropTarget::FolderDropTarget(NamespaceFolder& folder, HWND window, PCUITEMID_CHILD item)
    : window_(window), folder_(&folder), item_(item ? ItemIdAllocator().cloneIdList(item) : nullptr) {
    // The drag images are a nicety: without the shell's helper the default cursors show.
    CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dragImages_));
}

const QITAB* FolderDropTarget::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<FolderDropTarget, IDropTarget>(),
        {},
    };
    return table;
}

DWORD FolderDropTarget::targetPort() const {
    if (item_) {
        if (const auto record = readLastItemRecord(item_.get())) return record->port;
    }
    return folder_->currentDevice().portNumber;
}

DWORD FolderDropTarget::effectFor(DWORD keyState) const {
    if (!acceptable_) return DROPEFFECT_NONE;
    if (!folder_->showsDevices() || item_) return (keyState & MK_SHIFT) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    return DROPEFFECT_NONE;
}

HRESULT FolderDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) noexcept {
    if (!effect) return E_INVALIDARG;
    return comBoundary([&]() -> HRESULT {
        const std::lock_guard<std::mutex> guard(lock_);
        acceptable_ = true;
        if (data) {
            // Files cannot be dropped onto their own device.
            if (readValue(*data, moduleState().clipboardFormats().devicePort) == targetPort()) acceptable_ = false;
            FORMATETC dropFormat = valueFormat(CF_HDROP);
            // Our own data objects claim the list without giving it: then the
            // effect is the target's like any other (it stayed as it came once,
            // offering every effect even onto the files' own device).
            if (acceptable_ && data->QueryGetData(&dropFormat) == S_OK) {
                acceptable_ = firstDroppedFileReadable(*data).value_or(true);
            }
        }
        *effect = effectFor(keyState);
        if (dragImages_) {
            POINT at{point.x, point.y};
            dragImages_->DragEnter(window_, data, &at, *effect);
        }
        return S_OK;
    });
}

HRESULT FolderDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect) noexcept {
    if (!effect) return E_INVALIDARG;
    const std::lock_guard<std::mutex> guard(lock_);
    *effect = effectFor(keyState);
    if (dragImages_) {
        POINT at{point.x, point.y};
        dragImages_->DragOver(&at, *effect);
    }
    return S_OK;
}

HRESULT FolderDropTarget::DragLeave() noexcept {
    const std::lock_guard<std::mutex> guard(lock_);
    if (dragImages_) dragImages_->DragLeave();
    acceptable_ = false;
    return S_OK;
}

HRESULT FolderDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) noexcept {
    if (!effect || !data) return E_INVALIDARG;
    return comBoundary([&]() -> HRESULT {
        ComPtr<NamespaceFolder> target;
        bool move = false;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            *effect = effectFor(keyState);
            moveDrop_ = *effect == DROPEFFECT_MOVE;
            move = moveDrop_;
            if (dragImages_) {
                POINT at{point.x, point.y};
                dragImages_->Drop(data, &at, *effect);
            }
            if (item_) {
                // A drop on a device of the root goes into that device's folder.
                ComPtr<IShellFolder> bound;
                const HRESULT result = folder_->BindToObject(item_.get(), nullptr, IID_PPV_ARGS(&bound));
                if (FAILED(result)) return result;
                folder_ = static_cast<NamespaceFolder*>(bound.Get());
                item_.reset();
            }
            target = folder_;
        }
        const ClipboardFormats& formats = moduleState().clipboardFormats();
        FORMATETC deviceFormat = valueFormat(formats.deviceFiles);
        STGMEDIUM medium{};
        const HWND owner = target->viewWindow() ? target->viewWindow() : window_;
        if (SUCCEEDED(data->GetData(&deviceFormat, &medium))) {
            ReleaseStgMedium(&medium);
            const DWORD value = move ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
            for (const UINT format :
                 {formats.preferredDropEffect, formats.performedDropEffect, formats.logicalPerformedDropEffect})
                writeValue(*data, format, value);
            startDeviceCopy(*target.Get(), data, owner);
            return S_OK;
        }
        return uploadDroppedFilesInBackground(data, *target.Get(), owner, move) ? S_OK : E_FAIL;
    });
}

HRESULT createFolderDropTarget(NamespaceFolder& folder, HWND window, PCUITEMID_CHILD item, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    return makeComObject<FolderDropTarget>(folder, window, item)->QueryInterface(riid, object);
}
