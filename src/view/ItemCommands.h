#pragma once
// The commands of a folder's items where the shell asks the folder itself
// (GetUIObjectOf) with no view in between: the navigation pane, the
// address bar's menu, the command bar. The same menu, verbs and command
// code as the view's, on the given items.
#include "namespace/DeviceFolder.h"

#include "shell/ShellResources.h"

#include <shlobj.h>

// The IContextMenu of `count` items of `folder` (devices of a folder that
// lists devices, else files): "open" and "rename" for a device; "cut",
// "copy", "paste", "delete" and "rename" for files. `owner` owns the
// questions and messages; without one nothing that asks or tells runs.
HRESULT itemContextMenu(DeviceFolder& folder, UINT count, PCUITEMID_CHILD_ARRAY items, HWND owner, REFIID riid,
                        void** object);

// Where the shell placed `folder`: its absolute identifier list in `idList`
// (null for a folder it never placed), or why it cannot say.
HRESULT folderIdList(DeviceFolder& folder, UniqueIdList& idList);
