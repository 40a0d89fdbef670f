#include "transfer/ClipboardCommands.h"

// Copy, cut, drag and paste come with the data object and the jobs; until
// then the commands do nothing and offer nothing.
std::int64_t copyCutOrDrag(const ViewTarget&, bool, bool) noexcept {
    return -1;
}

bool clipboardCanPaste() noexcept {
    return false;
}

void pasteClipboard(const ViewTarget&) noexcept {}
