#include <windows.h>

#include "Interrupt.h"

namespace {
// Windows calls this on a thread of its own.
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        handleInterrupt();
        return TRUE;
    }
    return FALSE;
}
}  // namespace

void installInterruptHandling() {
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}
