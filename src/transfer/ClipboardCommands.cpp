#include "transfer/ClipboardCommands.h"

#include "namespace/ItemIdAllocator.h"
#include "namespace/NamespaceFolder.h"
#include "shell/ModuleState.h"
#include "shell/ShellResources.h"
#include "transfer/DataValues.h"
#include "transfer/DeviceCopy.h"
#include "transfer/DroppedFiles.h"
#include "transfer/FileDropSource.h"

#include <commctrl.h>
#include <shlobj.h>

#include <vector>

namespace {

constexpr DWORD dragEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE;

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

}  // namespace

std::int64_t copyCutOrDrag(const ViewTarget& view, bool cut, bool drag) noexcept {
    try {
        if (!view.folder || !view.listWindow) return -1;
        ListView_SetItemState(view.listWindow, -1, 0, LVIS_CUT);
        const UINT count = ListView_GetSelectedCount(view.listWindow);
        if (count == 0 || view.folder->showsDevices()) return -1;
        const ComPtr<NamespaceFolder> folder(view.folder);
        std::vector<PCUITEMID_CHILD> items;
        std::int64_t total = 0;
        for (int at = ListView_GetNextItem(view.listWindow, -1, LVNI_SELECTED); at >= 0;
             at = ListView_GetNextItem(view.listWindow, at, LVNI_SELECTED)) {
            LVITEMW item{};
            item.mask = LVIF_PARAM;
            item.iItem = at;
            if (!ListView_GetItem(view.listWindow, &item) || !item.lParam) continue;
            const auto id = reinterpret_cast<PCUITEMID_CHILD>(item.lParam);
            items.push_back(id);
            if (const auto record = readLastItemRecord(id)) total += record->size;
        }
        if (items.empty()) return -1;
        HWND refreshWindow = view.browserWindow;
        ComPtr<IDataObject> data;
        if (FAILED(folder->GetUIObjectOf(view.viewWindow, static_cast<UINT>(items.size()), items.data(),
                                         IID_IDataObject, reinterpret_cast<UINT*>(&refreshWindow),
                                         reinterpret_cast<void**>(data.GetAddressOf())))) {
            return -1;
        }
        const ClipboardFormats& formats = moduleState().clipboardFormats();
        if (cut) ListView_SetItemState(view.listWindow, -1, LVIS_CUT, LVIS_CUT);
        const DWORD effect = drag ? dragEffect : cut ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        writeValue(*data.Get(), formats.preferredDropEffect, effect);
        writeValue(*data.Get(), formats.logicalPerformedDropEffect, effect);
        if (!drag) {
            if (FAILED(OleSetClipboard(data.Get()))) return -1;
            return total;
        }
        offerDragImage(view.listWindow, *data.Get());
        const ComPtr<IDropSource> source = makeComObject<FileDropSource>();
        DWORD done = DROPEFFECT_NONE;
        if (DoDragDrop(data.Get(), source.Get(), dragEffect, &done) == DRAGDROP_S_DROP && (done & DROPEFFECT_MOVE)) {
            writeValue(*data.Get(), formats.performedDropEffect, DROPEFFECT_MOVE);
            writeValue(*data.Get(), formats.pasteSucceeded, DROPEFFECT_MOVE);
        }
        return total;
    } catch (...) {
        return -1;
    }
}

bool clipboardCanPaste() noexcept {
    ComPtr<IDataObject> data;
    if (FAILED(OleGetClipboard(&data)) || !data) return false;
    bool result = false;
    FORMATETC dropFormat = valueFormat(CF_HDROP);
    if (data->QueryGetData(&dropFormat) == S_OK) {
        result = firstDroppedFileReadable(*data.Get()).value_or(true);
    }
    return result || hasDeviceFiles(*data.Get());
}

void pasteClipboard(const ViewTarget& view) noexcept {
    if (!clipboardCanPaste()) return;
    ComPtr<IDataObject> data;
    if (SUCCEEDED(OleGetClipboard(&data)) && data) pasteDataObject(view, data.Get());
}

void pasteDataObject(const ViewTarget& view, IDataObject* data) noexcept {
    if (!view.folder || !data) return;
    try {
        if (hasDeviceFiles(*data)) {
            startDeviceCopy(*view.folder, data, view.viewWindow);
            return;
        }
        // A cut on the PC says so itself, through its preferred effect.
        uploadDroppedFilesInBackground(data, *view.folder, view.viewWindow, false);
    } catch (...) {
    }
}
