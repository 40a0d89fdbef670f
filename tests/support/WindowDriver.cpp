#include "WindowDriver.h"

#include <algorithm>
#include <iterator>

namespace windows {

namespace {

template <typename Condition>
bool waitFor(Condition&& condition, std::chrono::milliseconds timeout) {
    for (const auto end = std::chrono::steady_clock::now() + timeout; !condition(); std::this_thread::sleep_for(10ms))
        if (std::chrono::steady_clock::now() >= end) return false;
    return true;
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace

HWND waitForWindow(const WindowTest& test, std::chrono::milliseconds timeout) {
    struct Search {
        const WindowTest* test;
        HWND found = nullptr;
    } search{&test};
    const auto visit = [](HWND window, LPARAM parameter) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(parameter);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window) || !(*search.test)(window)) return TRUE;
        search.found = window;
        return FALSE;
    };
    waitFor([&] { return EnumWindows(visit, reinterpret_cast<LPARAM>(&search)), search.found != nullptr; }, timeout);
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

bool waitUntilEnabled(HWND dialog, int id, std::chrono::milliseconds timeout) {
    return waitFor([&] { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }, timeout);
}

std::wstring text(HWND window) {
    wchar_t buffer[512] = {};
    // WM_GETTEXT rather than GetWindowText: it reads controls of other threads too.
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void pressKey(HWND window, UINT virtualKey) {
    const LPARAM scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC) << 16;
    const bool system = virtualKey == VK_F10;
    PostMessageW(window, system ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, 1 | scan);
    PostMessageW(window, system ? WM_SYSKEYUP : WM_KEYUP, virtualKey, 1 | scan | (1u << 30) | (1u << 31));
}

HeldKeys::HeldKeys(std::initializer_list<UINT> keys) {
    GetKeyboardState(before_);
    BYTE state[256];
    std::copy(std::begin(before_), std::end(before_), state);
    for (UINT key : keys) state[key] |= 0x80;
    SetKeyboardState(state);
}

std::wstring menuItems(HMENU menu, bool withTexts) {
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
        items += item.hSubMenu ? L"popup" : std::to_wstring(item.wID);
        if (withTexts) items += L" " + std::wstring(text);
        if (item.hSubMenu) items += L"{" + menuItems(item.hSubMenu, withTexts) + L"}";
        if (withTexts && (item.fState & MFS_GRAYED)) items += L" grayed";
        if (withTexts && (item.fState & MFS_CHECKED)) items += L" checked";
        items += L'|';
    }
    return items;
}

Answerer::Answerer(WindowTest test, std::function<std::wstring(HWND)> describe, std::function<void(HWND)> answer,
                   std::chrono::milliseconds timeout)
    : thread_([=, this] {
          const HWND window = waitForWindow(test, timeout);
          if (!window) return;
          shown_ = describe(window);
          RECT place{};
          GetWindowRect(window, &place);
          at_ = POINT{place.left, place.top};
          answer(window);
          answered_ = waitUntilGone(window, timeout);
      }) {}

MenuAnswerer::MenuAnswerer(wchar_t key, std::chrono::milliseconds timeout)
    : Answerer([](HWND window) { return className(window) == L"#32768"; },
               [](HWND menu) { return menuItems(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0))); },
               [key](HWND menu) { key ? (void)PostMessageW(menu, WM_CHAR, key, 1) : pressKey(menu, VK_ESCAPE); },
               timeout) {}

DialogAnswerer::DialogAnswerer(WindowTest test, int id, std::chrono::milliseconds timeout)
    : Answerer(
          std::move(test),
          [](HWND dialog) {
              std::wstring texts;
              for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                  if (lstrcmpiW(className(child).c_str(), L"Static") == 0)
                      texts += (texts.empty() ? L"" : L"\n") + text(child);
              return texts;
          },
          [id](HWND dialog) { pressButton(dialog, id); }, timeout) {}

DialogAnswerer::DialogAnswerer(const std::wstring& caption, int id, std::chrono::milliseconds timeout)
    : DialogAnswerer([caption](HWND window) { return text(window) == caption; }, id, timeout) {}

}  // namespace windows
