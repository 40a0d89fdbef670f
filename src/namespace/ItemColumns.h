#pragma once
// The detail columns of a folder's list and the texts and images of its
// entries, asked for by the list on demand.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

// Deletes every column of the list control, then adds the device columns
// (Device, Port, Serial number) or the file columns (File, Size, Modified).
void resetColumns(HWND list, bool showsDevices);

// Answers the list's request for the text or image of one entry (the list's
// LVN_GETDISPINFOA): `item` is the entry's own identifier, `entry` the
// request (mask, sub-item, text buffer). The list is told to keep what it
// gets. The date text corrects impossible values in the entry's identifier
// itself. `folder` gives the icon (GetUIObjectOf with `viewWindow`).
// Returns 0, the notification's answer.
LRESULT fillDisplayInfo(IShellFolder& folder, HWND viewWindow, PITEMID_CHILD item, LVITEMA& entry) noexcept;
