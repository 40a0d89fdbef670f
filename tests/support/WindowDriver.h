#pragma once
// Drives the real windows of the process as a user would: finds a dialog by
// its caption (or by what it contains) on any thread, reads its texts and
// button states, presses its buttons and keys. Windows only.
#include <windows.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>

namespace windows {

using namespace std::chrono_literals;
using WindowTest = std::function<bool(HWND)>;

// The first visible top-level window of this process that passes `test`
// (or has this caption), waiting up to `timeout`; null when none came.
HWND waitForWindow(const WindowTest& test, std::chrono::milliseconds timeout = 10s);
HWND waitForWindow(const std::wstring& caption, std::chrono::milliseconds timeout = 10s);
// A dialog that has a control with this identifier (the progress dialogs,
// whose caption follows the transfer).
WindowTest hasControl(int id);
// True once `window` is gone (or hidden), waiting up to `timeout`.
bool waitUntilGone(HWND window, std::chrono::milliseconds timeout = 10s);
// Waits until the control is enabled; false when it never was.
bool waitUntilEnabled(HWND dialog, int id, std::chrono::milliseconds timeout = 10s);

std::wstring text(HWND window);
inline std::wstring controlText(HWND dialog, int id) {
    return text(GetDlgItem(dialog, id));
}

// Presses a button as a click would (the dialog hears BN_CLICKED). Does not
// wait for what the press sets off.
inline void pressButton(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
// A key pressed and released on `window` (WM_KEYDOWN, WM_KEYUP; F10 as
// the system key it is).
void pressKey(HWND window, UINT virtualKey);
// Characters typed into `window`, as the keyboard's translation gives them (WM_CHAR).
inline void typeText(HWND window, const std::wstring& text) {
    for (wchar_t c : text) PostMessageW(window, WM_CHAR, c, 1);
}

// Holds modifier keys (VK_CONTROL, VK_SHIFT) down for the calling thread
// while alive: what GetKeyState tells that thread when it handles the keys
// it was sent meanwhile.
class HeldKeys {
public:
    explicit HeldKeys(std::initializer_list<UINT> keys);
    ~HeldKeys() { SetKeyboardState(before_); }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    BYTE before_[256] = {};
};

// The items of a menu in order, each ended by '|': "-" for a separator,
// else the command, the text and the states, e.g. "260 &Delete\tDEL grayed|",
// "265 Hide system &files checked|", "popup &View{...}|" with the popup's
// items; without texts, the commands and popups only.
std::wstring menuItems(HMENU menu, bool withTexts = true);

// Answers a window from a thread of its own while the code under test shows
// it: waits for a window passing `test`, keeps what `describe` reads of it
// and where it is, then lets `answer` act on it and waits until it is gone.
class Answerer {
public:
    Answerer(WindowTest test, std::function<std::wstring(HWND)> describe, std::function<void(HWND)> answer,
             std::chrono::milliseconds timeout);
    ~Answerer() { wait(); }
    Answerer(const Answerer&) = delete;
    Answerer& operator=(const Answerer&) = delete;

    // Each waits for the answer: whether the window came and went, what it
    // showed (empty when none came), and where, in screen coordinates.
    bool answered() { return wait(), answered_; }
    const std::wstring& shownText() { return wait(), shown_; }
    POINT shownAt() { return wait(), at_; }

private:
    void wait() {
        if (thread_.joinable()) thread_.join();
    }
    bool answered_ = false;
    std::wstring shown_;
    POINT at_{};
    std::thread thread_;
};

// The popup menu that the code under test tracks: its items as menuItems
// gives them, answered with `key` (a mnemonic character, or 0 for Escape).
class MenuAnswerer : public Answerer {
public:
    explicit MenuAnswerer(wchar_t key = 0, std::chrono::milliseconds timeout = 10s);
    const std::wstring& shownItems() { return shownText(); }
};

// A dialog (by a test or its caption), answered with button `id`; it shows
// the texts of its static controls, as they were when it was answered, one
// a line in child order.
class DialogAnswerer : public Answerer {
public:
    DialogAnswerer(WindowTest test, int id, std::chrono::milliseconds timeout = 10s);
    DialogAnswerer(const std::wstring& caption, int id, std::chrono::milliseconds timeout = 10s);
};

}  // namespace windows
