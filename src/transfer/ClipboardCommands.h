#pragma once
// The clipboard and drag commands of a view: Copy, Cut and the begin of a
// drag put a data object of the selected files on the clipboard or into a
// drag; Paste hands the clipboard's contents to a device-to-device job or
// to an upload. The view only wires its commands and notifications here.
#include "namespace/DeviceFolder.h"
#include "transfer/TransferTarget.h"

#include <objidl.h>

#include <cstdint>
#include <vector>

// The view a command works on.
struct ViewTarget {
    HWND listWindow = nullptr;       // the list control whose selection is handed over
    DeviceFolder* folder = nullptr;  // the folder the view shows
    ViewWindows windows;             // the view's: owns messages, hears Refresh after a transfer into the folder
    HWND browserWindow = nullptr;    // hears Refresh after a completed move out of the folder
};

enum class Handover { Copy, Cut, Drag, RightDrag };

// Copy, Cut or the begin of a drag (with the left or the right button) of
// the selected files: the total size in bytes, or -1 when nothing is
// selected or the drag cannot start. A folder that lists devices hands
// nothing over. Cut marks the selected entries.
std::int64_t copyCutOrDrag(const ViewTarget& view, Handover handover) noexcept;

// Copy or Cut of `items` of `folder` with no list in between (the folder's
// own item menu): the same data object on the clipboard; no window hears
// Refresh after a move, the shell hears of it. The total size, or -1.
std::int64_t copyOrCutItems(DeviceFolder& folder, const std::vector<PCUITEMID_CHILD>& items, HWND owner,
                            bool cut) noexcept;

// True when the clipboard holds device files of another folder of ours or
// PC files that can be read. Answered once for each content of the
// clipboard: a file on an offline share is opened once, not at every key.
bool clipboardCanPaste() noexcept;

// Paste into the view's folder, or in the list of devices into the one
// selected device (with none selected, nothing happens): a device-to-device
// job, or an upload of the clipboard's PC files on a thread of its own.
void pasteClipboard(const ViewTarget& view) noexcept;
// The same for a given data object (the clipboard's, or a source's own).
void pasteDataObject(const ViewTarget& view, IDataObject* data) noexcept;
