#pragma once
// What a transfer into a device folder is given when it starts, on the UI
// thread: the device, the files the folder listed on it, and the windows of
// the view it came from. Worker threads read this copy, never the folder.
#include "namespace/DeviceFolder.h"
#include "protocol/DeviceInfo.h"
#include "transfer/PcTransfers.h"

#include <windows.h>

#include <vector>

// `owner` owns the transfer's messages; `refresh` hears Refresh (IDM_REFRESH)
// once the device's files changed. Either may be null, or gone by then.
// The Refresh a transfer posts carries this notification code (the high
// word of WM_COMMAND's wParam), so the view can say the transfer ended.
constexpr WORD refreshAfterTransfer = 2;

struct ViewWindows {
    HWND owner = nullptr;
    HWND refresh = nullptr;
};

struct TransferTarget {
    DeviceInfo device;
    std::vector<DeviceFileRecord> files;
    ViewWindows windows;
    FolderLocation location;  // where the shell hears of the change
};

// A transfer into the folder whose contents these are.
inline TransferTarget transferTargetOf(const FolderContents& contents, ViewWindows windows) {
    TransferTarget target{contents.device, {}, windows, contents.location};
    for (const ItemRecord& file : contents.files)
        target.files.push_back({std::string(fieldText(file.name)), file.size});
    return target;
}
