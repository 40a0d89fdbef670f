#include "view/NamespaceView.h"

#include "namespace/IconExtractor.h"
#include "namespace/ItemColumns.h"
#include "namespace/ItemFormat.h"
#include "resources/resource.h"
#include "shell/ActivationContext.h"
#include "shell/Prompt.h"
#include "shell/WaitCursor.h"
#include "transfer/DeviceFileOperations.h"
#include "devices/DeviceCatalogue.h"
#include "shell/TextFormat.h"
#include "view/AboutBox.h"
#include "view/ItemCommands.h"
#include "transfer/Announcer.h"
#include "view/ViewCommandMenu.h"
#include "view/ViewModes.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD listStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
                            LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE | LVS_EDITLABELS;
constexpr DWORD viewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP;
// The flags of the view's own enumeration: only these read a device's list.
constexpr SHCONTF viewEnumerationFlags = SHCONTF_INIT_ON_FIRST_NEXT;
// Room for the window class name, its terminator included.
constexpr int classNameRoom = 64;

HINSTANCE codeModule() {
    const HMODULE server = moduleState().serverModule();
    return server ? server : GetModuleHandleA(nullptr);
}

std::string windowClassName() {
    char name[classNameRoom] = {};
    LoadStringA(moduleState().resourceModule(), IDS_WINDOW_CLASS, name, classNameRoom);
    return name;
}

// The same device (by its serial, which outlives a new name) or file.
bool sameItem(const ItemRecord& first, const ItemRecord& second) {
    if (first.kind == ItemKind::Device || second.kind == ItemKind::Device) {
        return first.kind == second.kind && fieldText(first.serial) == fieldText(second.serial);
    }
    return fieldText(first.name) == fieldText(second.name);
}

// The DPI of a window: GetDpiForWindow where the system has it (Windows 10
// 1607 on), else the screen's.
UINT windowDpi(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow) {
        if (const UINT dpi = dpiForWindow(window)) {
            return dpi;
        }
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// What LVM_SORTITEMS hands the comparison.
struct SortRequest {
    IShellFolder* folder;
    int column;
    int direction;
};

}  // namespace

NamespaceView::NamespaceView(DeviceFolder& folder)
    : folder_(&folder), accelerators_(LoadAcceleratorsA(moduleState().resourceModule(), MAKEINTRESOURCEA(IDA_VIEW))) {
    oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
}

NamespaceView::~NamespaceView() {
    if (viewWindow_) {
        // The window outlived DestroyViewWindow: free the entries while the
        // window still reaches us, then let it go without us.
        if (list_) {
            RevokeDragDrop(list_.handle());
        }
        deleteAllEntries();
        SetWindowLongPtrA(viewWindow_, GWLP_USERDATA, 0);
        DestroyWindow(viewWindow_);
    }
    if (oleInitialized_) {
        OleUninitialize();
    }
}

const QITAB* NamespaceView::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<NamespaceView, IShellView2>(),
        interfaceEntry<NamespaceView, IShellView, IShellView2>(),
        interfaceEntry<NamespaceView, IOleWindow, IShellView2>(),
        interfaceEntry<NamespaceView, IFolderView>(),
        {},
    };
    return table;
}

HRESULT NamespaceView::GetWindow(HWND* window) noexcept {
    if (!window) {
        return E_POINTER;
    }
    *window = viewWindow_;
    return S_OK;
}

HRESULT NamespaceView::ContextSensitiveHelp(BOOL) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::TranslateAccelerator(MSG* message) noexcept {
    if (!message) {
        return E_POINTER;
    }
    // Only keys aimed at the list or its label editor are ours; those aimed
    // at the browser's other windows (its address bar, its tree) are theirs:
    // a Backspace there must not leave the folder, nor Del delete.
    const bool key = message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST;
    if (!key || !list_ || (message->hwnd != list_.handle() && !IsChild(list_.handle(), message->hwnd))) {
        return S_FALSE;
    }
    if (!labelEditing_) {
        if (::TranslateAcceleratorA(viewWindow_, accelerators_.get(), message)) {
            return S_OK;
        }
    } else {
        // While a label is edited every key belongs to the edit control.
        TranslateMessage(message);
        DispatchMessageA(message);
        return S_OK;
    }
    if (browser_) {
        browser_->TranslateAcceleratorSB(message, 0);
    }
    return S_FALSE;
}

HRESULT NamespaceView::EnableModeless(BOOL) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::UIActivate(UINT state) noexcept {
    return comBoundary([&] {
        if (state != menus_.state()) {
            if (state == SVUIA_ACTIVATE_FOCUS) {
                if (browser_) {
                    browser_->OnViewWindowActive(this);
                }
                mergeMenus(SVUIA_ACTIVATE_FOCUS);
                SetFocus(list_.handle());
            }
            mergeMenus(state);
        }
        return S_OK;
    });
}

HRESULT NamespaceView::Refresh() noexcept {
    return comBoundary([&] {
        folder_->refresh(viewWindow_);
        relist();
        return S_OK;
    });
}

HRESULT NamespaceView::CreateViewWindow(IShellView*, LPCFOLDERSETTINGS settings, IShellBrowser* browser,
                                        RECT* rectangle, HWND* window) noexcept {
    if (!window || !browser || !rectangle) {
        return E_INVALIDARG;
    }
    *window = nullptr;
    return comBoundary([&]() -> HRESULT {
        // The list and its header come from version 6 of the common
        // controls, whatever the host's own manifest asks for.
        const ScopedActivation activation;
        browser_ = browser;
        if (settings) {
            folderSettings_ = *settings;
        }
        const std::string className = windowClassName();
        WNDCLASSA windowClass{};
        // A class left from an unloaded copy of the module would call into
        // code that is gone.
        if (GetClassInfoA(codeModule(), className.c_str(), &windowClass) &&
            windowClass.lpfnWndProc != &windowProcedure) {
            UnregisterClassA(className.c_str(), codeModule());
        }
        if (!GetClassInfoA(codeModule(), className.c_str(), &windowClass)) {
            const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
            InitCommonControlsEx(&controls);
            windowClass = WNDCLASSA{};
            windowClass.lpfnWndProc = &windowProcedure;
            windowClass.hInstance = codeModule();
            windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            windowClass.lpszClassName = className.c_str();
            if (!RegisterClassA(&windowClass)) {
                browser_.Reset();
                return E_FAIL;
            }
        }
        browser->GetWindow(&browserWindow_);
        // A common file dialog hosting the view says so through its browser.
        browser->QueryInterface(IID_PPV_ARGS(&dialogHost_));
        if (!CreateWindowExA(WS_EX_CONTROLPARENT, className.c_str(), nullptr, viewStyle, rectangle->left,
                             rectangle->top, rectangle->right - rectangle->left, rectangle->bottom - rectangle->top,
                             browserWindow_, nullptr, codeModule(), this)) {
            browser_.Reset();
            return E_FAIL;
        }
        // The drops onto the list, their messages owned by the view.
        ComPtr<IDropTarget> dropTarget;
        HRESULT result = list_ ? folder_->CreateViewObject(viewWindow_, IID_PPV_ARGS(&dropTarget)) : E_FAIL;
        if (SUCCEEDED(result)) {
            result = RegisterDragDrop(list_.handle(), dropTarget.Get());
        }
        if (FAILED(result)) {
            // A failed view leaves nothing behind in the browser's window.
            destroyWindows();
            browser_.Reset();
            return result;
        }
        *window = viewWindow_;
        setupToolbar();
        return S_OK;
    });
}

HRESULT NamespaceView::DestroyViewWindow() noexcept {
    return comBoundary([&] {
        UIActivate(SVUIA_DEACTIVATE);
        destroyWindows();
        dialogHost_.Reset();
        browser_.Reset();
        return S_OK;
    });
}

void NamespaceView::destroyWindows() {
    if (list_) {
        RevokeDragDrop(list_.handle());
    }
    menus_.discard();
    deleteAllEntries();
    if (list_) {
        DestroyWindow(list_.handle());
        list_ = ListView();
    }
    if (viewWindow_) {
        DestroyWindow(viewWindow_);
        viewWindow_ = nullptr;
    }
}

HRESULT NamespaceView::GetCurrentInfo(LPFOLDERSETTINGS settings) noexcept {
    if (!settings) {
        return E_POINTER;
    }
    *settings = folderSettings_;
    return S_OK;
}

HRESULT NamespaceView::AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::SaveViewState() noexcept {
    return S_OK;
}

HRESULT NamespaceView::SelectItem(PCUITEMID_CHILD item, SVSIF flags) noexcept {
    int entry = -1;
    if (item) {
        const auto record = readLastItemRecord(item);
        entry = record ? findEntry(*record) : -1;
        if (entry == -1) {
            return E_INVALIDARG;
        }
    }
    return selectEntry(entry, flags);
}

HRESULT NamespaceView::SelectItem(int item, DWORD flags) noexcept {
    return selectEntry(item, flags);
}

HRESULT NamespaceView::selectEntry(int item, DWORD flags) {
    if (!list_ || item < -1 || item >= list_.itemCount()) {
        return E_INVALIDARG;
    }
    if (flags & SVSI_DESELECTOTHERS) {
        list_.setItemState(-1, 0, LVIS_SELECTED);
    }
    if (item == -1) {
        return S_OK;
    }
    UINT state = 0;
    UINT mask = 0;
    if (flags & SVSI_SELECT) {
        state |= LVIS_SELECTED;
        mask |= LVIS_SELECTED;
    } else if (flags == SVSI_DESELECT) {
        mask |= LVIS_SELECTED;
    }
    if (flags & SVSI_FOCUSED) {
        state |= LVIS_FOCUSED;
        mask |= LVIS_FOCUSED;
        list_.setSelectionMark(item);
    }
    list_.setItemState(item, state, mask);
    if (flags & SVSI_ENSUREVISIBLE) {
        list_.ensureVisible(item);
    }
    // SVSI_EDIT includes SVSI_SELECT's bit.
    if ((flags & SVSI_EDIT) == SVSI_EDIT) {
        SetFocus(list_.handle());
        list_.editLabel(item);
    }
    return S_OK;
}

HRESULT NamespaceView::GetItemObject(UINT item, REFIID riid, void** object) noexcept {
    return itemObject(item, riid, object);
}

HRESULT NamespaceView::itemObject(UINT which, REFIID riid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    return comBoundary([&]() -> HRESULT {
        const UINT kind = which & SVGIO_TYPE_MASK;
        if (riid == IID_IContextMenu && (kind == SVGIO_SELECTION || kind == SVGIO_BACKGROUND)) {
            MenuContext context = menuContext();
            if (kind == SVGIO_BACKGROUND) {
                context.selected = 0;
            }
            const auto menu =
                makeComObject<ViewCommandMenu>(*static_cast<IShellView2*>(this), commandsToWindow(viewWindow_),
                                               contextMenuId(showsDevices(), context.selected), std::move(context));
            return menu->QueryInterface(riid, object);
        }
        const bool itemArray = riid == IID_IShellItemArray;
        if ((riid != IID_IDataObject && !itemArray) || (kind != SVGIO_SELECTION && kind != SVGIO_ALLVIEW)) {
            return E_NOINTERFACE;
        }
        std::vector<PCUITEMID_CHILD> items;
        if (kind == SVGIO_SELECTION) {
            for (int entry : list_.selectedItems()) {
                items.push_back(entryId(entry));
            }
        } else {
            for (int entry = 0; entry < list_.itemCount(); ++entry) {
                items.push_back(entryId(entry));
            }
        }
        if (items.empty()) {
            return E_FAIL;
        }
        // What a file dialog picks, and devices, which carry no files: the
        // shell's items, or its list of them (CFSTR_SHELLIDLIST).
        if (itemArray || dialogHost_ || showsDevices()) {
            UniqueIdList folder;
            if (FAILED(folderIdList(*folder_.Get(), folder))) {
                return E_FAIL;
            }
            const auto count = static_cast<UINT>(items.size());
            if (itemArray) {
                return SHCreateShellItemArray(folder.get(), nullptr, count, items.data(),
                                              reinterpret_cast<IShellItemArray**>(object));
            }
            return CIDLData_CreateFromIDArray(folder.get(), count, items.data(),
                                              reinterpret_cast<IDataObject**>(object));
        }
        return folder_->dataObjectOf(static_cast<UINT>(items.size()), items.data(), viewWindow_, browserWindow_,
                                     reinterpret_cast<IDataObject**>(object));
    });
}

HRESULT NamespaceView::GetCurrentViewMode(UINT* mode) noexcept {
    if (!mode) {
        return E_POINTER;
    }
    *mode = folderSettings_.ViewMode;
    return S_OK;
}

HRESULT NamespaceView::SetCurrentViewMode(UINT mode) noexcept {
    if (viewModeOf(mode).mode != mode) {
        return E_INVALIDARG;
    }
    setViewMode(mode);
    return S_OK;
}

HRESULT NamespaceView::GetFolder(REFIID riid, void** folder) noexcept {
    if (!folder) {
        return E_POINTER;
    }
    return folder_->QueryInterface(riid, folder);
}

HRESULT NamespaceView::Item(int index, PITEMID_CHILD* item) noexcept {
    if (!item) {
        return E_POINTER;
    }
    *item = nullptr;
    if (index < 0 || index >= list_.itemCount()) {
        return E_INVALIDARG;
    }
    *item = static_cast<PITEMID_CHILD>(ILClone(entryId(index)));
    return *item ? S_OK : E_OUTOFMEMORY;
}

HRESULT NamespaceView::ItemCount(UINT flags, int* count) noexcept {
    if (!count) {
        return E_POINTER;
    }
    switch (flags & SVGIO_TYPE_MASK) {
        case SVGIO_SELECTION:
            *count = list_.selectedCount();
            return S_OK;
        case SVGIO_ALLVIEW:
            *count = list_.itemCount();
            return S_OK;
    }
    *count = 0;
    return S_OK;
}

HRESULT NamespaceView::Items(UINT flags, REFIID riid, void** object) noexcept {
    return itemObject(flags, riid, object);
}

HRESULT NamespaceView::GetSelectionMarkedItem(int* item) noexcept {
    if (!item) {
        return E_POINTER;
    }
    *item = list_ ? list_.selectionMark() : -1;
    return *item == -1 ? S_FALSE : S_OK;
}

HRESULT NamespaceView::GetFocusedItem(int* item) noexcept {
    if (!item) {
        return E_POINTER;
    }
    *item = list_ ? list_.nextItem(-1, LVNI_FOCUSED) : -1;
    return *item == -1 ? S_FALSE : S_OK;
}

HRESULT NamespaceView::GetItemPosition(PCUITEMID_CHILD, POINT*) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::GetSpacing(POINT*) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::GetDefaultSpacing(POINT*) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::GetAutoArrange() noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::SelectAndPositionItems(UINT, PCUITEMID_CHILD_ARRAY, POINT*, DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::GetView(SHELLVIEWID*, ULONG) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::CreateViewWindow2(LPSV2CVW2_PARAMS parameters) noexcept {
    if (!parameters) {
        return E_INVALIDARG;
    }
    return CreateViewWindow(parameters->psvPrev, parameters->pfs, parameters->psbOwner, parameters->prcView,
                            &parameters->hwndView);
}

HRESULT NamespaceView::HandleRename(PCUITEMID_CHILD) noexcept {
    return E_NOTIMPL;
}

HRESULT NamespaceView::SelectAndPositionItem(PCUITEMID_CHILD, UINT, POINT*) noexcept {
    return E_NOTIMPL;
}

LRESULT CALLBACK NamespaceView::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* view = static_cast<NamespaceView*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
        view->viewWindow_ = window;
    } else if (auto* view = reinterpret_cast<NamespaceView*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
        LRESULT result = 0;
        try {
            if (view->handleMessage(message, wParam, lParam, result)) {
                return result;
            }
        } catch (...) {
            // Out of memory inside a command: the command is dropped.
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool NamespaceView::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == devicesChangedMessage) {
        followDevices();
        return true;
    }
    switch (message) {
        case WM_CREATE:
            createList();
            devicesWatch_.emplace(viewWindow_);
            return true;
        case WM_SIZE:
            MoveWindow(list_.handle(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return true;
        case WM_SETFOCUS:
            mergeMenus(SVUIA_ACTIVATE_FOCUS);
            SetFocus(list_.handle());
            updateToolbar();
            return true;
        case WM_MENUSELECT:
            if ((HIWORD(wParam) != 0xFFFF || lParam != 0) && browser_) {
                LRESULT ignored = 0;
                browser_->SendControlMsg(FCW_STATUS, SB_SETTEXTA, 0x1FF, 0, &ignored);
            }
            return false;
        case WM_INITMENU:
        case WM_INITMENUPOPUP:
            if (menus_.shared()) {
                setMenuStates(menus_.shared(), menuContext());
            }
            return true;
        case WM_CONTEXTMENU:
            showContextMenu(lParam);
            return true;
        case WM_COMMAND:
            command(LOWORD(wParam));
            if (LOWORD(wParam) == IDM_REFRESH && HIWORD(wParam) == refreshAfterTransfer) {
                announce(list_.handle(), prompt::loadText(IDS_TRANSFER_FINISHED), Outcome::Completed);
            }
            return true;
        case WM_NOTIFY:
            result = notify(*reinterpret_cast<const NMHDR*>(lParam));
            return true;
        case WM_NCDESTROY:
            // The browser may destroy its window with ours inside.
            devicesWatch_.reset();
            viewWindow_ = nullptr;
            list_ = ListView();
            return false;
    }
    return false;
}

void NamespaceView::createList() {
    DWORD style = (listStyle & ~LVS_TYPEMASK) | viewModeOf(folderSettings_.ViewMode).listType;
    if (folderSettings_.fFlags & FWF_AUTOARRANGE) {
        style |= LVS_AUTOARRANGE;
    }
    if (folderSettings_.fFlags & FWF_ALIGNLEFT) {
        style |= LVS_ALIGNLEFT;
    }
    const DWORD exStyle = (folderSettings_.fFlags & FWF_NOCLIENTEDGE) ? 0 : WS_EX_CLIENTEDGE;
    list_ = ListView(CreateWindowExA(exStyle, WC_LISTVIEWA, "", style, 0, 0, 0, 0, viewWindow_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LIST)), codeModule(), nullptr));
    if (!list_) {
        return;
    }
    SetWindowSubclass(list_.handle(), &listKeys, 0, reinterpret_cast<DWORD_PTR>(this));
    nameList();
    deleteAllEntries();
    list_.setImageList(systemImageList(true), LVSIL_SMALL);
    list_.setImageList(systemImageList(false), LVSIL_NORMAL);
    fillList();
    updateToolbar();
}

void NamespaceView::fillList() {
    if (!list_) {
        return;
    }
    resetColumns(list_.handle(), showsDevices());
    scaleColumns();
    std::size_t listed = 0;
    {
        const WaitCursor wait;
        ComPtr<IEnumIDList> enumerator;
        if (FAILED(folder_->EnumObjects(quietListing_ ? nullptr : viewWindow_, viewEnumerationFlags, &enumerator)) ||
            !enumerator) {
            return;
        }
        list_.setRedraw(false);
        PITEMID_CHILD enumerated = nullptr;
        while (enumerator->Next(1, &enumerated, nullptr) == S_OK) {
            const UniqueIdList item(enumerated);
            const auto record = readLastItemRecord(item.get());
            ++listed;  // hidden system files are counted, not shown
            if (!record || (record->kind == ItemKind::SystemFile && hideSystemFiles_) ||
                (dialogHost_ && dialogHost_->IncludeObject(this, item.get()) == S_FALSE)) {
                continue;
            }
            LVITEMA entry{};
            entry.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
            entry.iItem = list_.itemCount();
            entry.pszText = LPSTR_TEXTCALLBACKA;
            entry.iImage = I_IMAGECALLBACK;
            entry.lParam = reinterpret_cast<LPARAM>(allocator_.createItemId(*record));
            if (entry.lParam && list_.insertItem(entry) == -1) {
                allocator_.freeIdList(reinterpret_cast<ITEMIDLIST*>(entry.lParam));
            }
        }
        list_.setRedraw(true);
        InvalidateRect(list_.handle(), nullptr, TRUE);
        UpdateWindow(list_.handle());
        // The order the user chose stays over a relisting.
        SortRequest request{folder_.Get(), sortedColumn(), sort_.direction};
        list_.sortItems(&compareEntries, reinterpret_cast<LPARAM>(&request));
        markSortColumn();
    }
    const std::wstring status = prompt::formatText(showsDevices() ? IDS_STATUS_DEVICES : IDS_STATUS_FILES, {listed});
    setStatusText(&status);
}

void NamespaceView::relist() {
    const int focused = list_.nextItem(-1, LVNI_FOCUSED);
    const auto focusedRecord = readLastItemRecord(entryId(focused));
    const bool focusedSelected = focused != -1 && list_.itemState(focused, LVIS_SELECTED);
    std::vector<ItemRecord> selected;
    for (int item : list_.selectedItems()) {
        if (const auto record = readLastItemRecord(entryId(item))) {
            selected.push_back(*record);
        }
    }
    deleteAllEntries();
    fillList();
    for (const ItemRecord& record : selected) {
        if (const int item = findEntry(record); item != -1) {
            list_.setItemState(item, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    const int count = list_.itemCount();
    if (count == 0 || focused == -1) {
        return;
    }
    int next = focusedRecord ? findEntry(*focusedRecord) : -1;
    if (next == -1) {
        next = std::min(focused, count - 1);
        if (focusedSelected && list_.selectedCount() == 0) {
            list_.setItemState(next, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    selectEntry(next, SVSI_FOCUSED | SVSI_ENSUREVISIBLE);
}

int NamespaceView::findEntry(const ItemRecord& record) const {
    for (int item = 0, count = list_.itemCount(); item < count; ++item) {
        const auto shown = readLastItemRecord(entryId(item));
        if (shown && sameItem(*shown, record)) {
            return item;
        }
    }
    return -1;
}

void NamespaceView::nameList() {
    std::wstring name;
    if (UniqueIdList location; SUCCEEDED(folderIdList(*folder_.Get(), location)) && location) {
        PWSTR shown = nullptr;
        if (SUCCEEDED(SHGetNameFromIDList(location.get(), SIGDN_NORMALDISPLAY, &shown)) && shown) {
            name = shown;
            CoTaskMemFree(shown);
        }
    }
    if (name.empty()) {
        // A folder that cannot say where it is: the name of its device.
        if (const auto device = folder_->device()) {
            DeviceCatalogue catalogue;
            catalogue.loadCatalogue();
            const auto remembered = catalogue.rememberedNames().find(device->serial);
            if (remembered != catalogue.rememberedNames().end()) {
                name = widen(remembered->second);
            }
        }
    }
    SetWindowTextW(list_.handle(), name.c_str());
}

void NamespaceView::markSortColumn() {
    const HWND header = ListView_GetHeader(list_.handle());
    for (int column = 0, count = Header_GetItemCount(header); column < count; ++column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, column, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == sortedColumn()) {
            item.fmt |= sort_.direction > 0 ? HDF_SORTUP : HDF_SORTDOWN;
        }
        Header_SetItem(header, column, &item);
    }
}

void NamespaceView::scaleColumns() {
    const UINT dpi = windowDpi(list_.handle());
    if (dpi == USER_DEFAULT_SCREEN_DPI) {
        return;
    }
    const HWND header = ListView_GetHeader(list_.handle());
    for (int column = 0, count = Header_GetItemCount(header); column < count; ++column) {
        const int width = ListView_GetColumnWidth(list_.handle(), column);
        ListView_SetColumnWidth(list_.handle(), column, MulDiv(width, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI));
    }
}

void NamespaceView::deleteAllEntries() {
    // Each entry's identifier goes with it (LVN_DELETEITEM).
    list_.deleteAllItems();
}

LRESULT CALLBACK NamespaceView::listKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR view) noexcept {
    const auto& self = *reinterpret_cast<const NamespaceView*>(view);
    // The Applications key opens the context menu. Windows turns its key-up
    // into WM_CONTEXTMENU, Wine never does; handled here, it gives one menu
    // on both.
    if ((message == WM_KEYDOWN || message == WM_KEYUP) && wParam == VK_APPS) {
        if (message == WM_KEYUP) {
            SendMessageA(self.viewWindow_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
        }
        return 0;
    }
    // In a file dialog Enter on a selected entry is the list's, as a double
    // click: it opens a device, or hands the file to the dialog's default
    // command. The dialog would take it for its Open button and find no name.
    if (message == WM_GETDLGCODE && self.dialogHost_ && lParam && self.list_.selectedCount() > 0) {
        const auto& key = *reinterpret_cast<const MSG*>(lParam);
        if (key.message == WM_KEYDOWN && key.wParam == VK_RETURN) {
            return DefSubclassProc(list, message, wParam, lParam) | DLGC_WANTMESSAGE;
        }
    }
    // A key the browser did not offer to TranslateAccelerator (Wine's
    // Explorer offers none) still reaches its command. Keys the browser
    // translated never come here.
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && !self.labelEditing_) {
        MSG key{list, message, wParam, lParam, 0, {}};
        if (::TranslateAcceleratorA(self.viewWindow_, self.accelerators_.get(), &key)) {
            return 0;
        }
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

int CALLBACK NamespaceView::compareEntries(LPARAM first, LPARAM second, LPARAM parameter) noexcept {
    const auto& request = *reinterpret_cast<const SortRequest*>(parameter);
    const HRESULT order = request.folder->CompareIDs(request.column, reinterpret_cast<PCUIDLIST_RELATIVE>(first),
                                                     reinterpret_cast<PCUIDLIST_RELATIVE>(second));
    return FAILED(order) ? 0 : static_cast<short>(HRESULT_CODE(order)) * request.direction;
}

void NamespaceView::sortBy(int column) {
    sort_.direction = column == sort_.column ? -sort_.direction : 1;
    sort_.column = column;
    SortRequest request{folder_.Get(), column, sort_.direction};
    list_.sortItems(&compareEntries, reinterpret_cast<LPARAM>(&request));
    markSortColumn();
    const int focused = list_.nextItem(-1, LVNI_FOCUSED);
    if (focused != -1) {
        list_.ensureVisible(focused);
    }
}

void NamespaceView::command(UINT id) {
    switch (id) {
        case IDM_VIEW_LARGE_ICONS:
        case IDM_VIEW_SMALL_ICONS:
        case IDM_VIEW_LIST:
        case IDM_VIEW_DETAILS:
            return setViewMode(viewModes[id - IDM_VIEW_LARGE_ICONS].mode);
        case IDM_DELETE:
            return deleteSelected();
        case IDM_RENAME:
            if (list_.selectedCount() == 1) {
                SetFocus(list_.handle());
                list_.editLabel(list_.nextItem(-1, LVNI_SELECTED));
            }
            return;
        case IDM_SELECT_ALL:
            SetFocus(list_.handle());
            list_.setItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
            return;
        case IDM_INVERT_SELECTION:
            SetFocus(list_.handle());
            for (int item = 0; item < list_.itemCount(); ++item) {
                list_.setItemState(item, list_.itemState(item, LVIS_SELECTED) ^ LVIS_SELECTED, LVIS_SELECTED);
            }
            return;
        case IDM_HIDE_SYSTEM_FILES:
            hideSystemFiles_ = !hideSystemFiles_;
            return relist();
        case IDM_SORT_FIRST:
        case IDM_SORT_SECOND:
        case IDM_SORT_THIRD:
            return sortBy(static_cast<int>(id - IDM_SORT_FIRST));
        case IDM_CUT:
        case IDM_COPY:
            return clipboardCommand(id == IDM_CUT);
        case IDM_PASTE:
            return pasteClipboard(target());
        case IDM_REFRESH:
            Refresh();
            return;
        case IDM_OPEN_DEVICE:
            return activateSelection();
        case IDM_PARENT_FOLDER:
            if (browser_) {
                // The browser releases this view before BrowseObject returns.
                const ComPtr<NamespaceView> self(this);
                const ComPtr<IShellBrowser> browser = browser_;
                const auto left = showsDevices() ? std::nullopt : folder_->device();
                if (SUCCEEDED(browser->BrowseObject(nullptr, SBSP_SAMEBROWSER | SBSP_PARENT)) && left) {
                    focusDeviceLeft(*browser.Get(), *left);
                }
            }
            return;
        case IDM_ABOUT:
            return showAboutBox(viewWindow_);
    }
}

LRESULT NamespaceView::notify(const NMHDR& header) {
    switch (header.code) {
        case NM_SETFOCUS:
            if (browser_) {
                browser_->OnViewWindowActive(this);
            }
            mergeMenus(SVUIA_ACTIVATE_FOCUS);
            SetFocus(list_.handle());
            list_.setItemState(std::max(list_.selectionMark(), 0), LVIS_FOCUSED, LVIS_FOCUSED);
            tellDialogHost(CDBOSC_SETFOCUS);
            return 0;
        case NM_KILLFOCUS:
            tellDialogHost(CDBOSC_KILLFOCUS);
            return 0;
        case LVN_GETDISPINFOA: {
            auto& entry = const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header)).item;
            return fillDisplayInfo(*folder_.Get(), viewWindow_, reinterpret_cast<PITEMID_CHILD>(entry.lParam), entry);
        }
        case LVN_BEGINLABELEDITA:
            return beginLabelEdit(reinterpret_cast<const NMLVDISPINFOA&>(header).item.iItem) ? FALSE : TRUE;
        case LVN_ENDLABELEDITA:
            return endLabelEdit(reinterpret_cast<const NMLVDISPINFOA&>(header).item) ? TRUE : FALSE;
        case LVN_COLUMNCLICK:
            // The list's report of a left click on its header: the header
            // itself tells only the list.
            sortBy(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
            return 0;
        case LVN_BEGINDRAG:
        case LVN_BEGINRDRAG:
            if (!showsDevices()) {
                copyCutOrDrag(target(), header.code == LVN_BEGINRDRAG ? Handover::RightDrag : Handover::Drag);
            }
            return 0;
        case LVN_ITEMACTIVATE:
            activateSelection();
            return 0;
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if ((change.uChanged & LVIF_STATE) && ((change.uOldState ^ change.uNewState) & LVIS_SELECTED)) {
                tellDialogHost(CDBOSC_SELCHANGE);
            }
            updateToolbar();
            return 0;
        }
        case LVN_DELETEITEM:
            allocator_.freeIdList(reinterpret_cast<ITEMIDLIST*>(reinterpret_cast<const NMLISTVIEW&>(header).lParam));
            return 0;
    }
    return 0;
}

void NamespaceView::focusDeviceLeft(IShellBrowser& browser, const DeviceInfo& device) {
    ComPtr<IShellView> parent;
    const UniqueIdList item(allocator_.createItemId(makeDeviceRecord("", device)));
    if (item && SUCCEEDED(browser.QueryActiveShellView(&parent)) && parent) {
        parent->SelectItem(item.get(), SVSI_SELECT | SVSI_FOCUSED | SVSI_DESELECTOTHERS | SVSI_ENSUREVISIBLE);
    }
}

void NamespaceView::followDevices() {
    const DevicesFollowed followed = folder_->followDevices();
    if (followed.what == DevicesFollowed::What::DeviceLeft) {
        deleteAllEntries();
        updateToolbar();
        const std::wstring text = prompt::formatText(IDS_ERROR_NO_COMMUNICATION, {followed.deviceName});
        setStatusText(&text);
        announce(list_.handle(), text, Outcome::Failed);
    } else if (followed.what == DevicesFollowed::What::Changed) {
        quietListing_ = true;
        try {
            relist();
        } catch (...) {
            quietListing_ = false;
            throw;
        }
        quietListing_ = false;
        if (list_.itemCount() == 0 && showsDevices()) {
            const std::wstring none = prompt::formatText(IDS_STATUS_DEVICES, {0});
            setStatusText(&none);
        }
    }
}

void NamespaceView::reportResult(const std::wstring& text) {
    setStatusText(&text);
    announce(list_.handle(), text, Outcome::Completed);
}

void NamespaceView::setStatusText(const std::wstring* text) {
    if (!browser_) {
        return;
    }
    LRESULT ignored = 0;
    browser_->SendControlMsg(FCW_STATUS, SB_SETTEXTA, 1, 0, &ignored);
    browser_->SendControlMsg(FCW_STATUS, SB_SETTEXTA, 2, 0, &ignored);
    browser_->SetStatusTextSB(text ? text->c_str() : nullptr);
}

void NamespaceView::setupToolbar() {
    browser_->SetToolbarItems(nullptr, 0, FCT_MERGE);
    TBADDBITMAP bitmap{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    LRESULT standard = 0;
    browser_->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&bitmap), &standard);
    bitmap.nID = IDB_VIEW_SMALL_COLOR;
    LRESULT viewImages = 0;
    browser_->SendControlMsg(FCW_TOOLBAR, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&bitmap), &viewImages);

    const std::pair<UINT, int> commands[] = {
        {IDM_CUT, STD_CUT}, {IDM_COPY, STD_COPY}, {IDM_PASTE, STD_PASTE}, {0, 0}, {IDM_DELETE, STD_DELETE}};
    TBBUTTON buttons[std::size(commands)] = {};
    for (std::size_t i = 0; i < std::size(commands); ++i) {
        const auto [id, image] = commands[i];
        buttons[i].idCommand = static_cast<int>(id);
        buttons[i].iBitmap = id ? static_cast<int>(standard) + image : 0;
        buttons[i].fsStyle = id ? BTNS_BUTTON : BTNS_SEP;
    }
    browser_->SetToolbarItems(buttons, static_cast<UINT>(std::size(buttons)), FCT_MERGE);
    updateToolbar();
}

void NamespaceView::updateToolbar() {
    if (!browser_) {
        return;
    }
    const int n = showsDevices() ? 0 : list_.selectedCount();
    const auto enable = [this](UINT id, bool enabled) {
        LRESULT ignored = 0;
        browser_->SendControlMsg(FCW_TOOLBAR, TB_ENABLEBUTTON, id, MAKELPARAM(enabled ? TRUE : FALSE, 0), &ignored);
    };
    enable(IDM_CUT, n != 0);
    enable(IDM_COPY, n != 0);
    enable(IDM_PASTE, !showsDevices() && clipboardCanPaste());
    enable(IDM_DELETE, n != 0);
}

void NamespaceView::mergeMenus(UINT state) {
    if (browser_) {
        menus_.merge(*browser_.Get(), viewWindow_, state);
    }
}

void NamespaceView::setViewMode(UINT mode) {
    folderSettings_.ViewMode = mode;
    const LONG_PTR style = GetWindowLongPtrA(list_.handle(), GWL_STYLE);
    SetWindowLongPtrA(list_.handle(), GWL_STYLE, (style & ~LONG_PTR{LVS_TYPEMASK}) | viewModeOf(mode).listType);
}

void NamespaceView::tellDialogHost(ULONG change) {
    if (dialogHost_) {
        dialogHost_->OnStateChange(this, change);
    }
}

void NamespaceView::activateSelection() {
    const auto record =
        list_.selectedCount() == 1 ? readLastItemRecord(entryId(list_.nextItem(-1, LVNI_SELECTED))) : std::nullopt;
    const bool device = record && record->kind == ItemKind::Device;
    // A file dialog may take a file's activation as its own (its Open
    // button). A device is opened here, in the dialog as in a window: the
    // dialog would browse into it, but Wine's knows only its own folders.
    if (!device && dialogHost_ && dialogHost_->OnDefaultCommand(this) == S_OK) {
        return;
    }
    if (!device || !browser_) {
        return;
    }
    // The browser may release this view and its entries before it returns.
    const UniqueIdList opened(allocator_.createItemId(*record));
    const ComPtr<NamespaceView> self(this);
    const ComPtr<IShellBrowser> browser = browser_;
    if (opened) {
        browser->BrowseObject(opened.get(), SBSP_RELATIVE);
    }
}

void NamespaceView::clipboardCommand(bool cut) {
    const int selected = list_.selectedCount();
    if (showsDevices() || selected == 0) {
        return;
    }
    const std::int64_t total = copyCutOrDrag(target(), cut ? Handover::Cut : Handover::Copy);
    updateToolbar();
    if (total > 0) {
        reportResult(prompt::formatText(cut ? IDS_STATUS_MOVED : IDS_STATUS_COPIED,
                                        {selected, formatSize(static_cast<std::uint64_t>(total))}));
    }
}

void NamespaceView::deleteSelected() {
    if (showsDevices() || list_.selectedCount() == 0) {
        return;
    }
    std::vector<ItemRecord> selected;
    for (int item : list_.selectedItems()) {
        if (const auto record = readLastItemRecord(entryId(item))) {
            selected.push_back(*record);
        }
    }
    // The device whose files are shown; a device gone since fails each file with its message.
    const int deleted =
        deleteSelection(folder_->device().value_or(DeviceInfo{}), viewWindow_, selected, folder_->location());
    if (deleted > 0) {
        Refresh();
        reportResult(prompt::formatText(IDS_STATUS_DELETED, {deleted}));
    }
}

void NamespaceView::showContextMenu(LPARAM position) {
    POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (at.x == -1 && at.y == -1) {
        // From the keyboard: on the first selected entry's icon, or the
        // list's top-left corner when nothing is selected.
        at = POINT{};
        const int first = list_.nextItem(-1, LVNI_SELECTED);
        if (first != -1) {
            const RECT icon = list_.itemRect(first, LVIR_ICON);
            at = POINT{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
        }
        ClientToScreen(list_.handle(), &at);
    }
    trackContextMenu(viewWindow_, contextMenuId(showsDevices(), list_.selectedCount()), at, menuContext());
}

bool NamespaceView::beginLabelEdit(int item) {
    PCUITEMID_CHILD id = entryId(item);
    SFGAOF attributes = SFGAO_CANRENAME;
    if (!id || FAILED(folder_->GetAttributesOf(1, &id, &attributes)) || !(attributes & SFGAO_CANRENAME)) {
        return false;
    }
    labelEditing_ = true;
    return true;
}

bool NamespaceView::endLabelEdit(const LVITEMA& edited) {
    labelEditing_ = false;
    // A copy: SetNameOf may show a message, and a Refresh taken meanwhile
    // frees the entry's identifier.
    const UniqueIdList old(allocator_.cloneIdList(entryId(edited.iItem)));
    const auto before = readLastItemRecord(old.get());
    if (!edited.pszText || !before) {
        return false;
    }
    PITEMID_CHILD renamed = nullptr;
    if (FAILED(folder_->SetNameOf(viewWindow_, old.get(), widen(edited.pszText).c_str(), SHGDN_NORMAL, &renamed)) ||
        !renamed) {
        return false;
    }
    UniqueIdList kept(renamed);
    const ItemRecord after = *readLastItemRecord(renamed);
    // A Refresh taken meanwhile relisted the entries: they show the device as it is.
    const PITEMID_CHILD current = entryId(edited.iItem);
    if (!current || std::memcmp(current, old.get(), itemIdBytes) != 0) {
        return false;
    }
    allocator_.freeIdList(current);
    list_.setItemData(edited.iItem, reinterpret_cast<LPARAM>(kept.release()));
    reportResult(prompt::formatText(IDS_STATUS_RENAMED, {fieldText(before->name), fieldText(after.name)}));
    list_.setItemState(edited.iItem, LVIS_FOCUSED, LVIS_FOCUSED);
    return true;
}

MenuContext NamespaceView::menuContext() const {
    MenuContext context;
    context.selected = list_.selectedCount();
    context.showsDevices = showsDevices();
    context.viewMode = folderSettings_.ViewMode;
    context.hideSystemFiles = hideSystemFiles_;
    context.canPaste = !context.showsDevices && clipboardCanPaste();
    context.sortColumn = sortedColumn();
    for (int column = 0; column < 3; ++column) {
        std::string title = list_.columnTitle(column);
        if (title.empty()) {
            break;
        }
        context.columns.push_back(std::move(title));
    }
    return context;
}

ViewTarget NamespaceView::target() const {
    return ViewTarget{list_.handle(), folder_.Get(), {viewWindow_, viewWindow_}, browserWindow_};
}

PITEMID_CHILD NamespaceView::entryId(int item) const {
    return item < 0 ? nullptr : reinterpret_cast<PITEMID_CHILD>(list_.itemData(item));
}
