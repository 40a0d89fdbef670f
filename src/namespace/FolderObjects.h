#pragma once
// The objects a folder hands out that belong to the layers above it (the
// view, the data object of selected files, the drop targets), and the file
// rename that the transfer layer carries out. Those layers install their
// makers at start-up, so the folder needs no upward link; until a maker is
// installed the folder answers E_NOINTERFACE (a rename fails).
#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <string>

class NamespaceFolder;

struct FolderObjectMakers {
    // The folder's view; the view keeps a reference to the folder.
    using ViewMaker = HRESULT (*)(NamespaceFolder& folder, HWND owner, REFIID riid, void** object);
    // The drop target of the folder itself (item null) or of one item.
    using DropTargetMaker = HRESULT (*)(NamespaceFolder& folder, HWND owner, PCUITEMID_CHILD item, REFIID riid,
                                        void** object);
    // The data object of `count` items of the folder; `refreshWindow` gets
    // the Refresh command after a completed move (may be null).
    using DataObjectMaker = HRESULT (*)(NamespaceFolder& folder, UINT count, PCUITEMID_CHILD_ARRAY items,
                                        HWND refreshWindow, REFIID riid, void** object);
    // Renames a file on the folder's device and tells the user of a failure:
    // 1 when renamed, 0 after the message.
    using FileRenamer = std::uint32_t (*)(const NamespaceFolder& folder, const std::string& oldName,
                                          const std::string& newName);

    ViewMaker view = nullptr;
    DropTargetMaker dropTarget = nullptr;
    DataObjectMaker dataObject = nullptr;
    FileRenamer renameFile = nullptr;
};

void setFolderObjectMakers(const FolderObjectMakers& makers) noexcept;
const FolderObjectMakers& folderObjectMakers() noexcept;
