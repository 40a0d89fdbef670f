#include "shell/ModuleState.h"

#include "shell/ResourceModule.h"

ModuleState& moduleState() noexcept {
    static ModuleState state;
    return state;
}

HMODULE ModuleState::resourceModule() {
    const std::lock_guard<std::mutex> guard(lock_);
    if (!resourcesChosen_) {
        satellite_.reset(loadGermanSatellite(serverModule_, GetUserDefaultLangID()));
        resourceModule_ = satellite_ ? satellite_.get() : serverModule_;
        resourcesChosen_ = true;
    }
    return resourceModule_;
}

void ModuleState::setResourceModule(HMODULE resources) noexcept {
    const std::lock_guard<std::mutex> guard(lock_);
    resourcesChosen_ = true;
    resourceModule_ = resources;
}

void ModuleState::release(bool processEnding) noexcept {
    const std::lock_guard<std::mutex> guard(lock_);
    resourceModule_ = serverModule_;
    if (processEnding) {
        satellite_.release();
    } else {
        satellite_.reset();
    }
}

const ClipboardFormats& ModuleState::clipboardFormats() {
    const std::lock_guard<std::mutex> guard(lock_);
    if (!formatsRegistered_) {
        formatsRegistered_ = true;
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
    return formats_;
}

UINT ModuleState::dragImageMessage() {
    clipboardFormats();
    return dragImageMessage_;
}
