#pragma once
// What the loaded module shares among all its objects: how many COM objects
// and server locks keep it loaded, where its texts and dialogs come from,
// and the clipboard formats and window message it registers. Loading the
// module only records where it is: the resources are chosen and the
// formats registered on first use, never under the loader lock.
#include "shell/ShellResources.h"

#include <windows.h>

#include <atomic>
#include <mutex>

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

    // The module that holds our code; until set, the running program.
    HMODULE serverModule() const noexcept { return serverModule_; }
    void setServerModule(HMODULE server) noexcept { serverModule_ = server; }

    // The module every string, menu, dialog and accelerator is loaded from:
    // chosen on first use (the German satellite for a German user, else the
    // server itself), or as set.
    HMODULE resourceModule();
    void setResourceModule(HMODULE resources) noexcept;
    // When the module goes: the satellite is given back, unless the process
    // is ending (then other modules may be gone already).
    void release(bool processEnding) noexcept;

    // Registered on first use, in their fixed order, then "ShellGetDragImage".
    const ClipboardFormats& clipboardFormats();
    UINT dragImageMessage();

private:
    std::atomic<long> liveObjects_{0};
    std::atomic<long> locks_{0};
    HMODULE serverModule_ = nullptr;
    std::mutex lock_;  // what is chosen or registered on first use
    bool resourcesChosen_ = false;
    HMODULE resourceModule_ = nullptr;
    UniqueModule satellite_;
    bool formatsRegistered_ = false;
    ClipboardFormats formats_;
    UINT dragImageMessage_ = 0;
};

ModuleState& moduleState() noexcept;
