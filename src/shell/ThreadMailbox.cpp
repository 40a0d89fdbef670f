#include "shell/ThreadMailbox.h"

#include "shell/ModuleState.h"

#include <memory>

namespace {

constexpr UINT workMessage = WM_APP;
constexpr wchar_t className[] = L"NimbrelThreadMailbox";

LRESULT CALLBACK mailboxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == workMessage) {
        const std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
        try {
            (*work)();
        } catch (...) {
            // The work reports its own failures; the thread's loop goes on.
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HINSTANCE codeModule() {
    const HMODULE server = moduleState().serverModule();
    return server ? server : GetModuleHandleW(nullptr);
}

// The class of this copy of the code: one left by an unloaded copy would
// call into code that is gone.
bool registerMailboxClass() {
    WNDCLASSW existing{};
    if (GetClassInfoW(codeModule(), className, &existing)) {
        if (existing.lpfnWndProc == &mailboxProcedure) return true;
        UnregisterClassW(className, codeModule());
    }
    WNDCLASSW mailbox{};
    mailbox.lpfnWndProc = &mailboxProcedure;
    mailbox.hInstance = codeModule();
    mailbox.lpszClassName = className;
    return RegisterClassW(&mailbox) != 0;
}

}  // namespace

ThreadMailbox::ThreadMailbox()
    : window_(registerMailboxClass()
                  ? CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, codeModule(), nullptr)
                  : nullptr),
      thread_(GetCurrentThreadId()) {}

ThreadMailbox::~ThreadMailbox() {
    if (!window_) return;
    if (GetCurrentThreadId() == thread_) {
        DestroyWindow(window_);
    } else {
        // Only its own thread may destroy a window; the default answer to WM_CLOSE does.
        PostMessageW(window_, WM_CLOSE, 0, 0);
    }
}

bool ThreadMailbox::run(std::function<void()> work) {
    if (GetCurrentThreadId() == thread_) {
        work();
        return true;
    }
    auto posted = std::make_unique<std::function<void()>>(std::move(work));
    if (!window_ || !PostMessageW(window_, workMessage, 0, reinterpret_cast<LPARAM>(posted.get()))) return false;
    posted.release();  // the mailbox's window deletes it after running it
    return true;
}
