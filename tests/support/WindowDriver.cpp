#include "WindowDriver.h"

#include <algorithm>
#include <iterator>

namespace windows {

namespace {

struct Search {
    const WindowTest* test;
    HWND found = nullptr;
};

BOOL CALLBACK visit(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && (*search.test)(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

template <typename Condition>
bool waitFor(Condition&& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(10ms);
    }
}

BOOL CALLBACK collectStatic(HWND child, LPARAM parameter) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Static") == 0) {
        auto& texts = *reinterpret_cast<std::wstring*>(parameter);
        if (!texts.empty()) texts += L'\n';
        texts += text(child);
    }
    return TRUE;
}

}  // namespace

HWND waitForWindow(const WindowTest& test, std::chrono::milliseconds timeout) {
    Search search{&test};
    waitFor(
        [&] {
            EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeout);
    return search.found;
}

HWND waitForWindow(const std::wstring& caption, std::chrono::milliseconds timeout) {
    return waitForWindow([&](HWND window) { return text(window) == caption; }, timeout);
}

WindowTest hasControl(int id) {
    return [id](HWND window) { return GetDlgItem(window, id) != nullptr; };
}

bool waitUntilGone(HWND window, std::chrono::milliseconds timeout) {
    return waitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout);
}

std::wstring text(HWND window) {
    wchar_t buffer[512] = {};
    // WM_GETTEXT rather than GetWindowText: it reads controls of other threads too.
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::wstring controlText(HWND dialog, int id) {
    return text(GetDlgItem(dialog, id));
}

bool controlEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool waitUntilEnabled(HWND dialog, int id, std::chrono::milliseconds timeout) {
    return waitFor([&] { return controlEnabled(dialog, id); }, timeout);
}

void pressButton(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void pressKey(HWND window, UINT virtualKey) {
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    const bool system = virtualKey == VK_F10;
    PostMessageW(window, system ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(window, system ? WM_SYSKEYUP : WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void typeText(HWND window, const std::wstring& text) {
    for (wchar_t c : text) PostMessageW(window, WM_CHAR, c, 1);
}

HeldKeys::HeldKeys(std::initializer_list<UINT> keys) {
    GetKeyboardState(before_);
    BYTE state[256];
    std::copy(std::begin(before_), std::end(before_), state);
    for (UINT key : keys) state[key] |= 0x80;
    SetKeyboardState(state);
}

HeldKeys::~HeldKeys() {
    SetKeyboardState(before_);
}

std::wstring menuItems(HMENU menu) {
    std::wstring items;
    for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        item.dwTypeData = text;
        item.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
        if (item.fType & MFT_SEPARATOR) {
            items += L"-|";
            continue;
        }
        items += (item.hSubMenu ? L"popup" : std::to_wstring(item.wID)) + L" " + text;
        if (item.fState & MFS_GRAYED) items += L" grayed";
        if (item.fState & MFS_CHECKED) items += L" checked";
        items += L'|';
    }
    return items;
}

MenuAnswerer::MenuAnswerer(wchar_t key, std::chrono::milliseconds timeout)
    : thread_([this, key, timeout] {
          wchar_t className[16] = {};
          const HWND menu = waitForWindow(
              [&](HWND window) { return GetClassNameW(window, className, 16) && lstrcmpW(className, L"#32768") == 0; },
              timeout);
          if (!menu) return;
          items_ = menuItems(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)));
          RECT place{};
          GetWindowRect(menu, &place);
          at_ = POINT{place.left, place.top};
          if (key) {
              PostMessageW(menu, WM_CHAR, key, 1);
          } else {
              pressKey(menu, VK_ESCAPE);
          }
          waitUntilGone(menu, timeout);
      }) {}

MenuAnswerer::~MenuAnswerer() {
    if (thread_.joinable()) thread_.join();
}

const std::wstring& MenuAnswerer::shownItems() {
    if (thread_.joinable()) thread_.join();
    return items_;
}

POINT MenuAnswerer::shownAt() {
    shownItems();
    return at_;
}

DialogAnswerer::DialogAnswerer(WindowTest test, int id, std::chrono::milliseconds timeout)
    : thread_([this, test = std::move(test), id, timeout] {
          const HWND dialog = waitForWindow(test, timeout);
          if (!dialog) return;
          EnumChildWindows(dialog, collectStatic, reinterpret_cast<LPARAM>(&shownText_));
          pressButton(dialog, id);
          answered_ = waitUntilGone(dialog, timeout);
      }) {}

DialogAnswerer::DialogAnswerer(const std::wstring& caption, int id, std::chrono::milliseconds timeout)
    : DialogAnswerer([caption](HWND window) { return text(window) == caption; }, id, timeout) {}

DialogAnswerer::~DialogAnswerer() {
    if (thread_.joinable()) thread_.join();
}

bool DialogAnswerer::answered() {
    if (thread_.joinable()) thread_.join();
    return answered_;
}

}  // namespace windows
