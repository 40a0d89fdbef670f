#pragma once
// What the loaded module shares among all its objects: how many COM objects
// and server locks keep it loaded, where its texts and dialogs come from,
// and the clipboard formats and window message registered at start-up.
#include <windows.h>

#include <atomic>

struct ClipboardFormats {
    UINT fileGroupDescriptor = 0;         // "FileGroupDescriptor"
    UINT fileContents = 0;                // "FileContents"
    UINT pasteSucceeded = 0;              // "Paste Succeeded"
    UINT performedDropEffect = 0;         // "Performed DropEffect"
    UINT logicalPerformedDropEffect = 0;  // "Logical Performed DropEffect"
    UINT preferredDropEffect = 0;         // "Preferred DropEffect"
    UINT fileNameMap = 0;                 // "FileNameMap"
    UINT dragContext = 0;                 // "DragContext"
    UINT deviceFiles = 0;                 // "NBNSE": device files of this namespace
    UINT devicePort = 0;                  // "NBNSE_GETPORT"
    UINT moveSystemFile = 0;              // "NBNSE_MOVESYSFILE"
    // "NBNSE_NAMES": the device's own names of the files, in descriptor
    // order, each ended by a NUL (descriptors carry names safe on the PC).
    UINT deviceFileNames = 0;
};

class ModuleState {
public:
    void objectCreated() noexcept { ++liveObjects_; }
    void objectDestroyed() noexcept { --liveObjects_; }
    long liveObjects() const noexcept { return liveObjects_; }

    void lockServer() noexcept { ++locks_; }
    void unlockServer() noexcept { --locks_; }
    long serverLocks() const noexcept { return locks_; }

    // The shell may unload the module only when nothing of it is in use.
    bool canUnload() const noexcept { return liveObjects_ == 0 && locks_ == 0; }

    // The module that holds our code, and the one every string, menu,
    // dialog and accelerator is loaded from (the German satellite or the
    // server itself). Until set, both are the running program.
    HMODULE serverModule() const noexcept { return serverModule_; }
    HMODULE resourceModule() const noexcept { return resourceModule_; }
    void setModules(HMODULE server, HMODULE resources) noexcept {
        serverModule_ = server;
        resourceModule_ = resources;
    }
    void setResourceModule(HMODULE resources) noexcept { resourceModule_ = resources; }

    // Registers the formats in their fixed order, then "ShellGetDragImage".
    void registerClipboardFormats() noexcept;
    const ClipboardFormats& clipboardFormats() const noexcept { return formats_; }
    UINT dragImageMessage() const noexcept { return dragImageMessage_; }

private:
    std::atomic<long> liveObjects_{0};
    std::atomic<long> locks_{0};
    HMODULE serverModule_ = nullptr;
    HMODULE resourceModule_ = nullptr;
    ClipboardFormats formats_;
    UINT dragImageMessage_ = 0;
};

ModuleState& moduleState() noexcept;
