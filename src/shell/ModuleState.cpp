#include "shell/ModuleState.h"

ModuleState& moduleState() noexcept {
    static ModuleState state;
    return state;
}

void ModuleState::registerClipboardFormats() noexcept {
    formats_.fileGroupDescriptor = RegisterClipboardFormatA("FileGroupDescriptor");
    formats_.fileContents = RegisterClipboardFormatA("FileContents");
    formats_.pasteSucceeded = RegisterClipboardFormatA("Paste Succeeded");
    formats_.performedDropEffect = RegisterClipboardFormatA("Performed DropEffect");
    formats_.logicalPerformedDropEffect = RegisterClipboardFormatA("Logical Performed DropEffect");
    formats_.preferredDropEffect = RegisterClipboardFormatA("Preferred DropEffect");
    formats_.fileNameMap = RegisterClipboardFormatA("FileNameMap");
    formats_.dragContext = RegisterClipboardFormatA("DragContext");
    formats_.deviceFiles = RegisterClipboardFormatA("NBNSE");
    formats_.devicePort = RegisterClipboardFormatA("NBNSE_GETPORT");
    formats_.moveSystemFile = RegisterClipboardFormatA("NBNSE_MOVESYSFILE");
    formats_.deviceFileNames = RegisterClipboardFormatA("NBNSE_NAMES");
    dragImageMessage_ = RegisterWindowMessageA("ShellGetDragImage");
}
