#include "TestBrowser.h"

#include "WindowDriver.h"
#include "namespace/ItemIdAllocator.h"

#include <commctrl.h>

namespace {

constexpr UINT browserPopups[] = {FCIDM_MENU_FILE, FCIDM_MENU_EDIT, FCIDM_MENU_VIEW, FCIDM_MENU_HELP};
constexpr const wchar_t* popupTitles[] = {L"&File", L"&Edit", L"&View", L"&Help"};
// One item of the browser's own in each popup, commands 0x7000 to 0x7003.
constexpr const wchar_t* ownItems[] = {L"&Close", L"&Undo", L"Status &bar", L"&About Browser"};

LRESULT CALLBACK frameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Shift+F10's key-up would otherwise put a frame without a menu bar into menu mode.
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND makeFrame() {
    static const ATOM frameClass = [] {
        WNDCLASSW frame{};
        frame.lpfnWndProc = frameProcedure;
        frame.hInstance = GetModuleHandleW(nullptr);
        frame.lpszClassName = L"NimbrelTestBrowser";
        return RegisterClassW(&frame);
    }();
    return CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(frameClass)), L"Test browser",
                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TestBrowser::TestBrowser(bool frameCalls)
    : ComObject(LiveCount::notCounted), frameCalls_(frameCalls), window_(makeFrame()) {}

TestBrowser::~TestBrowser() {
    close();
}

const QITAB* TestBrowser::interfaces() noexcept {
    static const QITAB table[] = {
        QITABENT(TestBrowser, IShellBrowser),
        QITABENTMULTI(TestBrowser, IOleWindow, IShellBrowser),
        {},
    };
    return table;
}

HRESULT TestBrowser::open(const ComPtr<IShellFolder>& folder, bool activate) {
    if (folders_.empty() || folders_.back().Get() != folder.Get()) folders_.push_back(folder);
    close();
    ComPtr<IShellView> view;
    HRESULT result = folder->CreateViewObject(window(), IID_PPV_ARGS(&view));
    if (FAILED(result)) return result;
    const FOLDERSETTINGS settings{FVM_DETAILS, 0};
    RECT client{};
    GetClientRect(window(), &client);
    result = view->CreateViewWindow(nullptr, &settings, this, &client, &viewWindow_);
    if (FAILED(result)) return result;
    view_ = view;
    if (activate) view_->UIActivate(SVUIA_ACTIVATE_FOCUS);
    pump();
    return S_OK;
}

void TestBrowser::close() {
    if (!view_) return;
    const ComPtr<IShellView> view = std::move(view_);
    view->UIActivate(SVUIA_DEACTIVATE);
    view->DestroyViewWindow();
    viewWindow_ = nullptr;
}

HWND TestBrowser::list() const {
    return GetDlgItem(viewWindow_, 159);
}

void TestBrowser::pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const ComPtr<IShellView> view = view_;
        const bool key = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
        if (key && view && view->TranslateAccelerator(&message) == S_OK) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void TestBrowser::press(UINT key, std::initializer_list<UINT> held) {
    const windows::HeldKeys modifiers(held);
    windows::pressKey(GetFocus(), key);
    pump();
}

void TestBrowser::type(const std::wstring& text) {
    windows::typeText(GetFocus(), text);
    pump();
}

std::vector<std::string> TestBrowser::entries() const {
    std::vector<std::string> names;
    const HWND entries = list();
    for (int item = 0, count = ListView_GetItemCount(entries); item < count; ++item) {
        char text[80] = {};
        LVITEMA entry{};
        entry.pszText = text;
        entry.cchTextMax = sizeof text;
        SendMessageA(entries, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&entry));
        names.push_back((ListView_GetItemState(entries, item, LVIS_SELECTED) ? "*" : "") + std::string(text));
    }
    return names;
}

void TestBrowser::select(std::initializer_list<int> items) {
    ListView_SetItemState(list(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int item : items)
        ListView_SetItemState(list(), item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    pump();
}

std::map<UINT, bool> TestBrowser::buttons() const {
    std::map<UINT, bool> enabled;
    for (const ControlMessage& sent : controlMessages)
        if (sent.control == FCW_TOOLBAR && sent.message == TB_ENABLEBUTTON)
            enabled[static_cast<UINT>(sent.wParam)] = LOWORD(sent.lParam) != 0;
    return enabled;
}

HRESULT TestBrowser::GetWindow(HWND* window) noexcept {
    *window = this->window();
    return S_OK;
}

HRESULT TestBrowser::InsertMenusSB(HMENU shared, LPOLEMENUGROUPWIDTHS widths) noexcept {
    if (!frameCalls_) return E_NOTIMPL;
    ++insertedMenus;
    for (int i = 0; i < 4; ++i) {
        popups_[i] = CreatePopupMenu();
        AppendMenuW(popups_[i], MF_STRING, 0x7000 + i, ownItems[i]);
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        item.wID = browserPopups[i];
        item.hSubMenu = popups_[i];
        item.dwTypeData = const_cast<wchar_t*>(popupTitles[i]);
        InsertMenuItemW(shared, static_cast<UINT>(i), TRUE, &item);
    }
    widths->width[0] = 2;  // File and Edit
    widths->width[2] = 1;  // View
    widths->width[4] = 1;  // Help
    return S_OK;
}

HRESULT TestBrowser::SetMenuSB(HMENU shared, HOLEMENU, HWND) noexcept {
    if (!frameCalls_) return E_NOTIMPL;
    sharedMenu = shared;
    return S_OK;
}

HRESULT TestBrowser::RemoveMenusSB(HMENU shared) noexcept {
    if (!frameCalls_) return E_NOTIMPL;
    ++removedMenus;
    while (GetMenuItemCount(shared) > 0) RemoveMenu(shared, 0, MF_BYPOSITION);
    for (HMENU& popup : popups_) DestroyMenu(std::exchange(popup, nullptr));
    return S_OK;
}

HRESULT TestBrowser::SetStatusTextSB(LPCWSTR text) noexcept {
    if (!frameCalls_) return E_NOTIMPL;
    statusTexts.emplace_back(text ? text : L"<none>");
    return S_OK;
}

HRESULT TestBrowser::BrowseObject(PCUIDLIST_RELATIVE item, UINT flags) noexcept {
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

HRESULT TestBrowser::SendControlMsg(UINT control, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT* result) noexcept {
    if (!frameCalls_) return E_NOTIMPL;
    controlMessages.push_back({control, message, wParam, lParam});
    if (result) *result = message == TB_ADDBITMAP ? std::exchange(nextBitmapOffset_, nextBitmapOffset_ + 20) : 0;
    return S_OK;
}

HRESULT TestBrowser::QueryActiveShellView(IShellView** view) noexcept {
    *view = view_.Get();
    if (view_) view_->AddRef();
    return view_ ? S_OK : E_FAIL;
}

HRESULT TestBrowser::OnViewWindowActive(IShellView*) noexcept {
    if (!frameCalls_) return E_NOTIMPL;
    ++activations;
    return S_OK;
}

HRESULT TestBrowser::SetToolbarItems(LPTBBUTTONSB buttons, UINT count, UINT) noexcept {
    if (!frameCalls_) return E_NOTIMPL;
    if (count) toolbar.assign(buttons, buttons + count);
    return S_OK;
}
