#include "transfer/ClipboardCommands.h"

#include "namespace/ItemIdAllocator.h"
#include "shell/ModuleState.h"
#include "shell/ShellResources.h"
#include "transfer/DataValues.h"
#include "transfer/DeviceCopy.h"
#include "transfer/DroppedFiles.h"
#include "transfer/FileDropSource.h"

#include <commctrl.h>
#include <shlobj.h>

#include <mutex>
#include <vector>

namespace {

constexpr DWORD dragEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE;

bool hasDeviceFiles(IDataObject& data) {
    FORMATETC format = valueFormat(moduleState().clipboardFormats().deviceFiles);
    STGMEDIUM medium{};
    if (FAILED(data.GetData(&format, &medium))) return false;
    ReleaseStgMedium(&medium);
    return true;
}

// A drag image of the selection, when the shell offers its helper.
void offerDragImage(HWND list, IDataObject& data) {
    ComPtr<IDragSourceHelper> helper;
    if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&helper)))) return;
    SHDRAGIMAGE image{};
    SendMessageW(list, moduleState().dragImageMessage(), 0, reinterpret_cast<LPARAM>(&image));
    if (image.hbmpDragImage && FAILED(helper->InitializeFromBitmap(&image, &data))) DeleteObject(image.hbmpDragImage);
}

std::vector<int> selectedEntries(HWND list) {
    std::vector<int> entries;
    for (int at = ListView_GetNextItem(list, -1, LVNI_SELECTED); at >= 0;
         at = ListView_GetNextItem(list, at, LVNI_SELECTED))
        entries.push_back(at);
    return entries;
}

PCUITEMID_CHILD entryId(HWND list, int entry) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = entry;
    return ListView_GetItem(list, &item) ? reinterpret_cast<PCUITEMID_CHILD>(item.lParam) : nullptr;
}

// The folder a paste goes into: the view's, or in the list of devices the
// one selected device's; none when there is nothing to paste into.
ComPtr<DeviceFolder> pasteFolder(const ViewTarget& view) {
    if (!view.folder) return nullptr;
    if (!view.folder->showsDevices()) return view.folder;
    const std::vector<int> selected = view.listWindow ? selectedEntries(view.listWindow) : std::vector<int>{};
    const auto record = selected.size() == 1 ? readLastItemRecord(entryId(view.listWindow, selected[0])) : std::nullopt;
    if (!record || record->kind != ItemKind::Device) return nullptr;
    ComPtr<DeviceFolder> device;
    view.folder->openDevice(entryId(view.listWindow, selected[0]), view.windows.owner, device.GetAddressOf());
    return device;
}

// The data object of `items` of `folder`, its effects written for `handover`.
ComPtr<IDataObject> handOver(DeviceFolder& folder, std::vector<PCUITEMID_CHILD> items, HWND owner, HWND refreshWindow,
                             Handover handover) {
    const ComPtr<DeviceFolder> held(&folder);
    ComPtr<IDataObject> data;
    if (items.empty() ||
        FAILED(folder.dataObjectOf(static_cast<UINT>(items.size()), items.data(), owner, refreshWindow, &data)))
        return nullptr;
    const ClipboardFormats& formats = moduleState().clipboardFormats();
    const bool drag = handover == Handover::Drag || handover == Handover::RightDrag;
    const DWORD effect = drag ? dragEffects : handover == Handover::Cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    writeValue(*data.Get(), formats.preferredDropEffect, effect);
    writeValue(*data.Get(), formats.logicalPerformedDropEffect, effect);
    return data;
}

std::int64_t totalSize(const std::vector<PCUITEMID_CHILD>& items) {
    std::int64_t total = 0;
    for (const PCUITEMID_CHILD id : items)
        if (const auto record = readLastItemRecord(id)) total += record->size;
    return total;
}

}  // namespace

std::int64_t copyCutOrDrag(const ViewTarget& view, Handover handover) noexcept {
    try {
        if (!view.folder || !view.listWindow) return -1;
        ListView_SetItemState(view.listWindow, -1, 0, LVIS_CUT);
        if (view.folder->showsDevices()) return -1;
        std::vector<PCUITEMID_CHILD> items;
        const std::vector<int> selected = selectedEntries(view.listWindow);
        for (const int entry : selected)
            if (const PCUITEMID_CHILD id = entryId(view.listWindow, entry)) items.push_back(id);
        const ComPtr<IDataObject> data =
            handOver(*view.folder, items, view.windows.owner, view.browserWindow, handover);
        if (!data) return -1;
        if (handover == Handover::Cut)
            for (const int entry : selected) ListView_SetItemState(view.listWindow, entry, LVIS_CUT, LVIS_CUT);
        if (handover == Handover::Copy || handover == Handover::Cut)
            return SUCCEEDED(OleSetClipboard(data.Get())) ? totalSize(items) : -1;
        offerDragImage(view.listWindow, *data.Get());
        const ComPtr<IDropSource> source =
            makeComObject<FileDropSource>(handover == Handover::RightDrag ? MK_RBUTTON : MK_LBUTTON);
        DWORD done = DROPEFFECT_NONE;
        if (DoDragDrop(data.Get(), source.Get(), dragEffects, &done) == DRAGDROP_S_DROP && (done & DROPEFFECT_MOVE)) {
            const ClipboardFormats& formats = moduleState().clipboardFormats();
            writeValue(*data.Get(), formats.performedDropEffect, DROPEFFECT_MOVE);
            writeValue(*data.Get(), formats.pasteSucceeded, DROPEFFECT_MOVE);
        }
        return totalSize(items);
    } catch (...) {
        return -1;
    }
}

std::int64_t copyOrCutItems(DeviceFolder& folder, const std::vector<PCUITEMID_CHILD>& items, HWND owner,
                            bool cut) noexcept {
    try {
        if (folder.showsDevices()) return -1;
        const ComPtr<IDataObject> data = handOver(folder, items, owner, nullptr, cut ? Handover::Cut : Handover::Copy);
        return data && SUCCEEDED(OleSetClipboard(data.Get())) ? totalSize(items) : -1;
    } catch (...) {
        return -1;
    }
}

bool clipboardCanPaste() noexcept {
    // Menus and the toolbar ask at every change of the selection.
    static std::mutex lock;
    static DWORD answeredFor = 0;
    static bool answer = false;
    const DWORD sequence = GetClipboardSequenceNumber();
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (sequence != 0 && sequence == answeredFor) return answer;
    }
    ComPtr<IDataObject> data;
    bool result = false;
    if (SUCCEEDED(OleGetClipboard(&data)) && data) {
        FORMATETC dropFormat = valueFormat(CF_HDROP);
        if (data->QueryGetData(&dropFormat) == S_OK) result = firstDroppedFileReadable(*data.Get()).value_or(true);
        result = result || hasDeviceFiles(*data.Get());
    }
    const std::lock_guard<std::mutex> guard(lock);
    answeredFor = sequence;
    answer = result;
    return result;
}

void pasteClipboard(const ViewTarget& view) noexcept {
    if (!clipboardCanPaste()) return;
    ComPtr<IDataObject> data;
    if (SUCCEEDED(OleGetClipboard(&data)) && data) pasteDataObject(view, data.Get());
}

void pasteDataObject(const ViewTarget& view, IDataObject* data) noexcept {
    if (!data) return;
    try {
        const ComPtr<DeviceFolder> folder = pasteFolder(view);
        const auto contents = folder ? folder->contents(view.windows.owner) : std::nullopt;
        if (!contents) return;
        TransferTarget target = transferTargetOf(*contents, view.windows);
        // A cut says so itself, through its preferred effect.
        const DWORD preferred =
            readValue(*data, moduleState().clipboardFormats().preferredDropEffect).value_or(DROPEFFECT_COPY);
        if (hasDeviceFiles(*data)) {
            startDeviceCopy(data, target, (preferred & DROPEFFECT_MOVE) != 0);
            return;
        }
        uploadDroppedFilesInBackground(data, std::move(target), preferred == DROPEFFECT_MOVE);
    } catch (...) {
    }
}
