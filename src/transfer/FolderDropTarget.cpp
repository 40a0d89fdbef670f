#include "transfer/FolderDropTarget.h"

#include "namespace/ItemIdAllocator.h"
#include "shell/ModuleState.h"
#include "transfer/DataValues.h"
#include "transfer/DeviceCopy.h"
#include "transfer/DroppedFiles.h"

FolderDropTarget::FolderDropTarget(DeviceFolder& folder, PCUITEMID_CHILD item, ViewWindows windows)
    : windows_(windows), folder_(&folder), item_(item ? ItemIdAllocator().cloneIdList(item) : nullptr) {
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

std::optional<DWORD> FolderDropTarget::targetPort() const {
    if (item_) {
        const auto record = readLastItemRecord(item_.get());
        return record ? std::optional<DWORD>(record->port) : std::nullopt;
    }
    if (folder_->showsDevices()) return std::nullopt;
    const auto device = folder_->device();
    return device ? std::optional<DWORD>(device->portNumber) : std::nullopt;
}

DWORD FolderDropTarget::effectFor(DWORD keyState) const {
    if (!acceptable_) return DROPEFFECT_NONE;
    return (keyState & MK_SHIFT) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
}

HRESULT FolderDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) noexcept {
    if (!effect) return E_INVALIDARG;
    return comBoundary([&]() -> HRESULT {
        const std::lock_guard<std::mutex> guard(lock_);
        const std::optional<DWORD> port = targetPort();
        acceptable_ = port.has_value();
        if (data && acceptable_) {
            // Files cannot be dropped onto their own device.
            if (readValue(*data, moduleState().clipboardFormats().devicePort) == port) acceptable_ = false;
            FORMATETC dropFormat = valueFormat(CF_HDROP);
            // Our own data objects claim the list without giving it: then the
            // effect is the target's like any other.
            if (acceptable_ && data->QueryGetData(&dropFormat) == S_OK) {
                acceptable_ = firstDroppedFileReadable(*data).value_or(true);
            }
        }
        *effect = effectFor(keyState);
        if (dragImages_) {
            POINT at{point.x, point.y};
            dragImages_->DragEnter(windows_.owner, data, &at, *effect);
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

ComPtr<DeviceFolder> FolderDropTarget::dropFolder() const {
    if (!item_) return folder_;
    // A drop on a device of the root goes into that device's folder.
    ComPtr<DeviceFolder> bound;
    throwIfFailed(folder_->openDevice(item_.get(), windows_.owner, bound.GetAddressOf()));
    return bound;
}

HRESULT FolderDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) noexcept {
    if (!effect || !data) return E_INVALIDARG;
    return comBoundary([&]() -> HRESULT {
        {
            // Not held beyond this: what follows may show messages, and
            // their loops may bring drag calls.
            const std::lock_guard<std::mutex> guard(lock_);
            *effect = effectFor(keyState);
            acceptable_ = false;
            if (dragImages_) {
                POINT at{point.x, point.y};
                dragImages_->Drop(data, &at, *effect);
            }
        }
        if (*effect == DROPEFFECT_NONE) return S_OK;
        const DWORD asked = *effect;
        *effect = DROPEFFECT_NONE;  // until something is under way
        const auto contents = dropFolder()->contents(windows_.owner);
        if (!contents) return S_OK;
        TransferTarget target = transferTargetOf(*contents, windows_);

        const ClipboardFormats& formats = moduleState().clipboardFormats();
        if (readValue(*data, formats.deviceFiles)) {
            // The source keeps its own preferred effect: with it, the
            // performed one tells it whether to ask about system files.
            for (const UINT format : {formats.performedDropEffect, formats.logicalPerformedDropEffect})
                writeValue(*data, format, asked);
            if (startDeviceCopy(data, target, asked == DROPEFFECT_MOVE) == S_OK) *effect = asked;
            return S_OK;
        }
        // A source that cannot hear how the upload ended would delete its
        // files as soon as the drop returned: it gets a copy.
        const bool move = asked == DROPEFFECT_MOVE && asyncOperationOf(*data);
        if (!uploadDroppedFilesInBackground(data, std::move(target), move)) return E_FAIL;
        *effect = move ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        return S_OK;
    });
}
