#include "WindowDriver.h"

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
    PostMessageW(window, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(window, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
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
