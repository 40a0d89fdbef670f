#pragma once
// The clipboard and drag commands of a view: Copy, Cut and the begin of a
// drag put a data object of the selected files on the clipboard or into a
// drag; Paste hands the clipboard's contents to a device-to-device job or
// to an upload. The view only wires its commands and notifications here.
#include <windows.h>
#include <objidl.h>

#include <cstdint>

class NamespaceFolder;

// The view a command works on.
struct ViewTarget {
    HWND listWindow = nullptr;          // the list control whose selection is copied
    NamespaceFolder* folder = nullptr;  // the folder the view shows
    HWND viewWindow = nullptr;          // gets Refresh (271) after a transfer into the folder
    HWND browserWindow = nullptr;       // gets Refresh after a completed move out of the folder
};

// Copy (cut false, drag false), Cut (cut true) and begin-drag (drag true):
// the total size in bytes of the selected files, or -1 when nothing is
// selected or the drag cannot start. A folder that lists devices copies
// nothing.
std::int64_t copyCutOrDrag(const ViewTarget& view, bool cut, bool drag) noexcept;

// True when the clipboard holds device files of another folder of ours or
// PC files that can be read.
bool clipboardCanPaste() noexcept;

// Paste into the view's folder: a device-to-device job, or an upload of the
// clipboard's PC files on a thread of its own.
void pasteClipboard(const ViewTarget& view) noexcept;
// The same for a given data object (the clipboard's, or a source's own).
void pasteDataObject(const ViewTarget& view, IDataObject* data) noexcept;
