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

// The first visible top-level window of this process that passes `test`,
// waiting up to `timeout`; null when none came.
HWND waitForWindow(const WindowTest& test, std::chrono::milliseconds timeout = 10s);
// The same for a caption.
HWND waitForWindow(const std::wstring& caption, std::chrono::milliseconds timeout = 10s);
// A dialog that has a control with this identifier (the progress dialogs,
// whose caption follows the transfer).
WindowTest hasControl(int id);
// True once `window` is gone (or hidden), waiting up to `timeout`.
bool waitUntilGone(HWND window, std::chrono::milliseconds timeout = 10s);

std::wstring text(HWND window);
std::wstring controlText(HWND dialog, int id);
bool controlEnabled(HWND dialog, int id);
// Waits until the control is enabled; false when it never was.
bool waitUntilEnabled(HWND dialog, int id, std::chrono::milliseconds timeout = 10s);

// Presses a button as a click would (the dialog hears BN_CLICKED). Does not
// wait for what the press sets off.
void pressButton(HWND dialog, int id);
// A key pressed and released on `window` (WM_KEYDOWN, WM_KEYUP; F10 as
// the system key it is).
void pressKey(HWND window, UINT virtualKey);
// Characters typed into `window`, as the keyboard's translation gives them (WM_CHAR).
void typeText(HWND window, const std::wstring& text);

// Holds modifier keys (VK_CONTROL, VK_SHIFT) down for the calling thread
// while alive: what GetKeyState tells that thread when it handles the keys
// it was sent meanwhile.
class HeldKeys {
public:
    explicit HeldKeys(std::initializer_list<UINT> keys);
    ~HeldKeys();
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    BYTE before_[256] = {};
};

// The items of a menu in order, each ended by '|': "-" for a separator,
// else the command, the text and the states, e.g. "260 &Delete\tDEL grayed|",
// "265 Hide system &files checked|", "popup &View|".
std::wstring menuItems(HMENU menu);

// Answers the popup menu that the code under test tracks, from a thread of
// its own: waits for it, reads its items, then presses `key` in it (a
// mnemonic character, or 0 for Escape).
class MenuAnswerer {
public:
    explicit MenuAnswerer(wchar_t key = 0, std::chrono::milliseconds timeout = 10s);
    ~MenuAnswerer();
    MenuAnswerer(const MenuAnswerer&) = delete;
    MenuAnswerer& operator=(const MenuAnswerer&) = delete;

    // Waits for the answer; the items as menuItems gives them, empty when no menu came.
    const std::wstring& shownItems();
    // Where the menu showed, in screen coordinates.
    POINT shownAt();

private:
    std::thread thread_;
    std::wstring items_;
    POINT at_{};
};

// Answers one dialog from a thread of its own while the code under test
// shows it: waits for a window passing `test` and presses button `id`.
// `answered()` tells whether it came.
class DialogAnswerer {
public:
    DialogAnswerer(WindowTest test, int id, std::chrono::milliseconds timeout = 10s);
    DialogAnswerer(const std::wstring& caption, int id, std::chrono::milliseconds timeout = 10s);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // Waits for the answer; the texts of the dialog's static controls, as
    // they were when it was answered, in child order.
    bool answered();
    const std::wstring& shownText() const { return shownText_; }

private:
    std::thread thread_;
    bool answered_ = false;
    std::wstring shownText_;
};

}  // namespace windows
