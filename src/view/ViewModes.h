#pragma once
// The four view modes: the list type each shows and the command that picks it.
#include "resources/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <shobjidl.h>

struct ViewMode {
    UINT mode;  // FOLDERSETTINGS::ViewMode
    DWORD listType;
    UINT command;
};

inline constexpr ViewMode viewModes[] = {
    {FVM_ICON, LVS_ICON, IDM_VIEW_LARGE_ICONS},
    {FVM_SMALLICON, LVS_SMALLICON, IDM_VIEW_SMALL_ICONS},
    {FVM_LIST, LVS_LIST, IDM_VIEW_LIST},
    {FVM_DETAILS, LVS_REPORT, IDM_VIEW_DETAILS},
};

// The row of `mode`; any other mode shows as Details.
inline const ViewMode& viewModeOf(UINT mode) {
    for (const ViewMode& row : viewModes) {
        if (row.mode == mode) {
            return row;
        }
    }
    return viewModes[3];
}
