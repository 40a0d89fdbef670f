#pragma once
// The objects a folder hands out that belong to the layers above it (the
// view, the data object of selected files, the drop targets). Those layers
// install their makers at start-up, so the folder needs no upward link;
// until a maker is installed the folder answers E_NOINTERFACE.
#include <windows.h>
#include <shtypes.h>

class NamespaceFolder;

struct FolderObjectMakers {
    // The folder's view; the view keeps a reference to the folder.
    HRESULT (*view)(NamespaceFolder& folder, HWND owner, REFIID riid, void** object) = nullptr;
    // The drop target of the folder itself (item null) or of one item.
    HRESULT (*dropTarget)
    (NamespaceFolder& folder, HWND owner, PCUITEMID_CHILD item, REFIID riid, void** object) = nullptr;
    // The data object of `count` items of the folder; `refreshWindow` gets
    // the Refresh command after a completed move (may be null).
    HRESULT (*dataObject)
    (NamespaceFolder& folder, UINT count, PCUITEMID_CHILD_ARRAY items, HWND refreshWindow, REFIID riid,
     void** object) = nullptr;
};

void setFolderObjectMakers(const FolderObjectMakers& makers) noexcept;
const FolderObjectMakers& folderObjectMakers() noexcept;
