#include "view/ItemCommands.h"

#include "namespace/ItemIdAllocator.h"
#include "shell/ShellResources.h"
#include "transfer/ClipboardCommands.h"
#include "transfer/DeviceFileOperations.h"
#include "view/ViewCommandMenu.h"

#include <memory>
#include <vector>

namespace {

// Asks an Explorer window for its browser; not declared by our headers.
constexpr UINT getShellBrowser = WM_USER + 7;
constexpr HRESULT cancelled = HRESULT_FROM_WIN32(ERROR_CANCELLED);

// What the menu acts on, copied: the shell frees its identifiers after GetUIObjectOf.
struct Selection {
    ComPtr<DeviceFolder> folder;
    std::vector<UniqueIdList> items;
    HWND owner;

    std::vector<PCUITEMID_CHILD> ids() const {
        std::vector<PCUITEMID_CHILD> ids;
        for (const UniqueIdList& item : items) ids.push_back(item.get());
        return ids;
    }
};

// The browser of the Explorer window `owner` belongs to, if it is one.
ComPtr<IShellBrowser> browserOf(HWND owner) {
    const HWND frame = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    return frame ? reinterpret_cast<IShellBrowser*>(SendMessageW(frame, getShellBrowser, 0, 0)) : nullptr;
}

// Opens the device where the owner is: in its Explorer window, else in a
// window of the shell's, as a folder's "open" does.
HRESULT openDevice(const Selection& selection, bool quiet) {
    UniqueIdList folder;
    if (FAILED(folderIdList(*selection.folder.Get(), folder))) return E_FAIL;
    const UniqueIdList device(ILCombine(folder.get(), selection.items[0].get()));
    if (!device) return E_OUTOFMEMORY;
    if (const ComPtr<IShellBrowser> browser = browserOf(selection.owner))
        return browser->BrowseObject(device.get(), SBSP_SAMEBROWSER | SBSP_ABSOLUTE);
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_IDLIST | SEE_MASK_CLASSNAME | (quiet ? SEE_MASK_FLAG_NO_UI : 0);
    open.hwnd = selection.owner;
    open.lpVerb = L"open";
    open.lpClass = L"Folder";
    open.lpIDList = device.get();
    open.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&open) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

// The label edit of the view showing the item, as the view's own Rename:
// the Explorer's active view, when the owner is in one.
HRESULT renameInView(const Selection& selection) {
    const ComPtr<IShellBrowser> browser = browserOf(selection.owner);
    ComPtr<IShellView> view;
    if (!browser || FAILED(browser->QueryActiveShellView(&view)) || !view) return E_NOTIMPL;
    return view->SelectItem(selection.items[0].get(),
                            SVSI_EDIT | SVSI_DESELECTOTHERS | SVSI_ENSUREVISIBLE | SVSI_FOCUSED);
}

HRESULT runCommand(const Selection& selection, UINT command, const CMINVOKECOMMANDINFO& info) {
    const bool quiet = !selection.owner || (info.fMask & CMIC_MASK_FLAG_NO_UI);
    const bool one = selection.items.size() == 1;
    DeviceFolder& folder = *selection.folder.Get();
    if (folder.showsDevices()) {
        if (command == IDM_OPEN_DEVICE && one) return openDevice(selection, quiet);
        if (command == IDM_RENAME && one) return renameInView(selection);
        return E_INVALIDARG;
    }
    switch (command) {
        case IDM_COPY:
        case IDM_CUT:
            return copyOrCutItems(folder, selection.ids(), selection.owner, command == IDM_CUT) >= 0 ? S_OK : E_FAIL;
        case IDM_PASTE:
            // Overwrite questions and errors need someone to ask.
            if (quiet) return cancelled;
            pasteClipboard(ViewTarget{nullptr, &folder, {selection.owner, nullptr}, nullptr});
            return S_OK;
        case IDM_DELETE: {
            // Nothing is deleted without the user's Yes.
            if (quiet) return cancelled;
            std::vector<ItemRecord> records;
            for (const UniqueIdList& item : selection.items)
                if (const auto record = readLastItemRecord(item.get())) records.push_back(*record);
            const auto device = folder.device();
            if (!device) return E_FAIL;
            return deleteSelection(*device, selection.owner, records, folder.location()) > 0 ? S_OK : cancelled;
        }
        case IDM_RENAME:
            return one ? renameInView(selection) : E_INVALIDARG;
    }
    return E_INVALIDARG;
}

}  // namespace

HRESULT folderIdList(DeviceFolder& folder, UniqueIdList& idList) {
    ComPtr<IPersistFolder2> persisted;
    PIDLIST_ABSOLUTE here = nullptr;
    HRESULT result = folder.QueryInterface(IID_PPV_ARGS(&persisted));
    if (SUCCEEDED(result)) result = persisted->GetCurFolder(&here);
    idList.reset(here);
    return result;
}

HRESULT itemContextMenu(DeviceFolder& folder, UINT count, PCUITEMID_CHILD_ARRAY items, HWND owner, REFIID riid,
                        void** object) {
    auto selection = std::make_shared<Selection>(Selection{&folder, {}, owner});
    for (UINT i = 0; i < count; ++i) {
        selection->items.emplace_back(ILClone(items[i]));
        if (!selection->items.back()) return E_OUTOFMEMORY;
    }
    const bool devices = folder.showsDevices();
    MenuContext context;
    context.selected = static_cast<int>(count);
    context.showsDevices = devices;
    context.canPaste = !devices && clipboardCanPaste();
    std::vector<UINT> kept = devices ? std::vector<UINT>{IDM_OPEN_DEVICE, IDM_RENAME}
                                     : std::vector<UINT>{IDM_CUT, IDM_COPY, IDM_PASTE, IDM_DELETE, IDM_RENAME};
    const auto menu = makeComObject<ViewCommandMenu>(
        folder,
        [selection](UINT command, const CMINVOKECOMMANDINFO& info) { return runCommand(*selection, command, info); },
        devices ? IDM_DEVICE_POPUP : IDM_FILE_POPUP, std::move(context), std::move(kept));
    return menu->QueryInterface(riid, object);
}
