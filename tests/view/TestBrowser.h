#pragma once
// A browser of our own for the view: a top-level window that hosts the view
// of a folder, navigates as BrowseObject asks (into a device, back to the
// parent), routes keys through the view's TranslateAccelerator as a browser
// does, and records what the view asks of it. Like Wine's Explorer it can
// also refuse menus, toolbar and status texts (E_NOTIMPL).
#include "WindowDriver.h"
#include "resources/resource.h"
#include "namespace/ItemIdAllocator.h"
#include "shell/ComObject.h"
#include "shell/ShellResources.h"

#include <commctrl.h>
#include <shlobj.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

class TestBrowser final : public ComObject<TestBrowser, IShellBrowser, ICommDlgBrowser> {
public:
    explicit TestBrowser(bool frameCalls = true)
        : ComObject(LiveCount::notCounted),
          frameCalls_(frameCalls),
          window_(makeFrame()),
          addressBar_(CreateWindowW(L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 20, window_.get(), nullptr, nullptr,
                                    nullptr)) {
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<IShellBrowser*>(this)));
    }
    static const QITAB* interfaces() noexcept {
        static const QITAB table[] = {interfaceEntry<TestBrowser, IShellBrowser>(),
                                      interfaceEntry<TestBrowser, IOleWindow, IShellBrowser>(),
                                      interfaceEntry<TestBrowser, ICommDlgBrowser>(),
                                      {}};
        return table;
    }
    // A file dialog's browser only when `dialog` is set.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (riid == IID_ICommDlgBrowser && !dialog) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(riid, object);
    }
    struct Dialog {
        std::string hidden;               // the name IncludeObject leaves out
        std::vector<ULONG> stateChanges;  // OnStateChange's CDBOSC_ codes
        int defaultCommands = 0;          // OnDefaultCommand, each answered S_OK
    };
    std::optional<Dialog> dialog;
    HRESULT STDMETHODCALLTYPE OnDefaultCommand(IShellView*) noexcept override {
        ++dialog->defaultCommands;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(IShellView*, ULONG change) noexcept override {
        dialog->stateChanges.push_back(change);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IncludeObject(IShellView*, PCUITEMID_CHILD item) noexcept override {
        const auto record = readLastItemRecord(item);
        return record && fieldText(record->name) == dialog->hidden ? S_FALSE : S_OK;
    }

    // Shows the view of `folder` in place of the current one, activated with
    // the focus unless `activate` is false.
    HRESULT open(const ComPtr<IShellFolder>& folder, bool activate = true) {
        if (folders_.empty() || folders_.back().Get() != folder.Get()) folders_.push_back(folder);
        close();
        ComPtr<IShellView> view;
        HRESULT result = folder->CreateViewObject(window_.get(), IID_PPV_ARGS(&view));
        const FOLDERSETTINGS settings{FVM_DETAILS, 0};
        RECT client{};
        GetClientRect(window_.get(), &client);
        if (SUCCEEDED(result)) result = view->CreateViewWindow(nullptr, &settings, this, &client, &viewWindow_);
        if (FAILED(result)) return result;
        view_ = view;
        if (activate) view_->UIActivate(SVUIA_ACTIVATE_FOCUS);
        pump();
        return S_OK;
    }
    void close() {
        if (const ComPtr<IShellView> view = std::move(view_)) {
            view->UIActivate(SVUIA_DEACTIVATE);
            view->DestroyViewWindow();
        }
    }
    IShellView* view() const { return view_.Get(); }
    HWND list() const { return GetDlgItem(viewWindow_, IDC_LIST); }
    // The browser's own window beside the view, where keys are typed too.
    HWND addressBar() const { return addressBar_; }

    // Dispatches what is queued, keys through the view first.
    void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const ComPtr<IShellView> view = view_;
            const bool key = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
            if (key && view && view->TranslateAccelerator(&message) == S_OK) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // A key on the focused window with modifiers held, handled as a browser handles it.
    void press(UINT key, std::initializer_list<UINT> held = {}) {
        const windows::HeldKeys modifiers(held);
        windows::pressKey(GetFocus(), key);
        pump();
    }
    void type(const std::wstring& text) {
        windows::typeText(GetFocus(), text);
        pump();
    }
    void command(UINT id) {
        SendMessageW(viewWindow_, WM_COMMAND, id, 0);
        pump();
    }
    void select(std::initializer_list<int> items) {
        const UINT marks = LVIS_SELECTED | LVIS_FOCUSED;
        ListView_SetItemState(list(), -1, 0, marks);
        for (int item : items) ListView_SetItemState(list(), item, marks, marks);
        pump();
    }
    // The entries' texts in column 0 in list order, selected ones marked '*'.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (int item = 0, count = ListView_GetItemCount(list()); item < count; ++item) {
            char text[80] = {};
            LVITEMA entry{.pszText = text, .cchTextMax = sizeof text};
            SendMessageA(list(), LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&entry));
            names.push_back((ListView_GetItemState(list(), item, LVIS_SELECTED) ? "*" : "") + std::string(text));
        }
        return names;
    }
    // The columns: header text, width and alignment.
    std::vector<std::tuple<std::string, int, int>> columns() const {
        std::vector<std::tuple<std::string, int, int>> columns;
        char text[100] = {};
        for (LVCOLUMNA column{.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT, .pszText = text, .cchTextMax = 100};
             SendMessageA(list(), LVM_GETCOLUMNA, columns.size(), reinterpret_cast<LPARAM>(&column));)
            columns.emplace_back(text, column.cx, column.fmt & LVCFMT_JUSTIFYMASK);
        return columns;
    }
    // Our popups in the shared menu: File, Edit, View, Help.
    HMENU popup(int index) const { return popups_[index]; }

    // What the view asked for.
    int insertedMenus = 0, removedMenus = 0, activations = 0, addedBitmaps = 0;
    HMENU sharedMenu = nullptr;  // of the last SetMenuSB
    std::vector<std::wstring> statusTexts;
    std::vector<TBBUTTON> toolbar;
    std::map<UINT, bool> buttons;                       // enabled state of each toolbar command, as last set
    std::vector<std::pair<std::string, UINT>> browsed;  // the item's name ("" for none) and the flags

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override {
        *window = window_.get();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) noexcept override {
        if (!frameCalls_) return E_NOTIMPL;
        ++insertedMenus;
        const wchar_t* titles[] = {L"&File", L"&Edit", L"&View", L"&Help"};
        // One item of the browser's own in each, commands 0x7000 to 0x7003.
        const wchar_t* own[] = {L"&Close", L"&Undo", L"Status &bar", L"&About Browser"};
        const UINT ids[] = {FCIDM_MENU_FILE, FCIDM_MENU_EDIT, FCIDM_MENU_VIEW, FCIDM_MENU_HELP};
        for (UINT i = 0; i < 4; ++i) {
            popups_[i] = CreatePopupMenu();
            AppendMenuW(popups_[i], MF_STRING, 0x7000 + i, own[i]);
            MENUITEMINFOW item{.cbSize = sizeof item, .fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING, .wID = ids[i]};
            item.hSubMenu = popups_[i];
            item.dwTypeData = const_cast<wchar_t*>(titles[i]);
            InsertMenuItemW(shared, i, TRUE, &item);
        }
        widths->width[0] = 2;  // File and Edit
        widths->width[2] = widths->width[4] = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMenuSB(HMENU shared, HOLEMENU, HWND) noexcept override {
        if (!frameCalls_) return E_NOTIMPL;
        sharedMenu = shared;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveMenusSB(HMENU shared) noexcept override {
        if (!frameCalls_) return E_NOTIMPL;
        ++removedMenus;
        while (GetMenuItemCount(shared) > 0) RemoveMenu(shared, 0, MF_BYPOSITION);
        for (HMENU& popup : popups_) DestroyMenu(std::exchange(popup, nullptr));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetStatusTextSB(LPCWSTR text) noexcept override {
        if (!frameCalls_) return E_NOTIMPL;
        statusTexts.emplace_back(text ? text : L"<none>");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModelessSB(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAcceleratorSB(MSG*, WORD) noexcept override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE BrowseObject(PCUIDLIST_RELATIVE item, UINT flags) noexcept override {
        const auto record = readLastItemRecord(item);
        browsed.emplace_back(record ? std::string(fieldText(record->name)) : "", flags);
        ComPtr<IShellFolder> next;
        if (flags & SBSP_PARENT) {
            if (folders_.size() < 2) return E_FAIL;
            folders_.pop_back();
            next = folders_.back();
        } else if (FAILED(folders_.back()->BindToObject(item, nullptr, IID_PPV_ARGS(&next)))) {
            return E_FAIL;
        }
        return open(next);
    }
    HRESULT STDMETHODCALLTYPE GetViewStateStream(DWORD, IStream**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetControlWindow(UINT, HWND*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendControlMsg(UINT control, UINT message, WPARAM wParam, LPARAM lParam,
                                             LRESULT* result) noexcept override {
        if (!frameCalls_) return E_NOTIMPL;
        if (control == FCW_TOOLBAR && message == TB_ENABLEBUTTON) buttons[static_cast<UINT>(wParam)] = LOWORD(lParam);
        // The image lists' offsets: 20 for the first added, 40 for the second.
        if (result) *result = message == TB_ADDBITMAP ? 20 * ++addedBitmaps : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView** view) noexcept override {
        *view = view_.Get();
        if (*view) (*view)->AddRef();
        return *view ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE OnViewWindowActive(IShellView*) noexcept override {
        if (!frameCalls_) return E_NOTIMPL;
        ++activations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT) noexcept override {
        if (!frameCalls_) return E_NOTIMPL;
        if (count) toolbar.assign(buttons, buttons + count);
        return S_OK;
    }

private:
    ~TestBrowser() override { close(); }

    static HWND makeFrame() {
        static const ATOM frameClass = [] {
            WNDCLASSW frame{};
            frame.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                // Shift+F10's key-up would put a frame without a menu bar into menu mode.
                if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU) return 0;
                // WM_GETISHELLBROWSER, as an Explorer window answers it.
                if (message == WM_USER + 7) return GetWindowLongPtrW(window, GWLP_USERDATA);
                return DefWindowProcW(window, message, wParam, lParam);
            };
            frame.hInstance = GetModuleHandleW(nullptr);
            frame.lpszClassName = L"NimbrelTestBrowser";
            return RegisterClassW(&frame);
        }();
        return CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(frameClass)), L"Test browser",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }

    bool frameCalls_;
    UniqueWindow window_;
    HWND addressBar_;                            // a child of window_
    std::vector<ComPtr<IShellFolder>> folders_;  // the root first, the shown folder last
    ComPtr<IShellView> view_;
    HWND viewWindow_ = nullptr;
    HMENU popups_[4] = {};
};
