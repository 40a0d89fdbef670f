#pragma once
// The overwrite question (dialog 112), modal, owned by the window that
// started the transfer, so it comes to the front with it and gives the
// focus back to it when answered.
#include "transfer/TransferUser.h"

#include <windows.h>

#include <string>

// `name`: a path or a file name; the dialog names the part after its last
// backslash.
OverwriteAnswer askOverwrite(const std::wstring& name, HWND owner);

// The top-level window of `window` when a user can see it; null otherwise
// (none, gone, or a window of no screen).
HWND visibleOwner(HWND window) noexcept;
