#pragma once
// The wait cursor for the span of a synchronous device operation on the UI
// thread; the cursor from before comes back on every way out.
#include <windows.h>

class WaitCursor {
public:
    WaitCursor() noexcept : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};
