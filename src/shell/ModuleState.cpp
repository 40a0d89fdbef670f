#include "shell/ModuleState.h"

#include "shell/ResourceModule.h"

ModuleState& moduleState() noexcept {
    static ModuleState state;
    return state;
}

HMODULE ModuleState::resourceModule() {
    std::call_once(resourcesChosen_, [this] {
        if (resourcesSet_) return;
        satellite_.reset(loadGermanSatellite(serverModule_, GetUserDefaultLangID()));
        resourceModule_ = satellite_ ? satellite_.get() : serverModule_;
    });
    return resourceModule_;
}

void ModuleState::setResourceModule(HMODULE resources) noexcept {
    resourcesSet_ = true;
    resourceModule_ = resources;
}

void ModuleState::release(bool processEnding) noexcept {
    resourceModule_ = serverModule_;
    if (processEnding) {
        satellite_.release();
    } else {
        satellite_.reset();
    }
}

const ClipboardFormats& ModuleState::clipboardFormats() {
    std::call_once(formatsRegistered_, [this] {
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
    });
    return formats_;
}

UINT ModuleState::dragImageMessage() {
    clipboardFormats();
    return dragImageMessage_;
}
