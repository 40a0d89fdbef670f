#pragma once
// What the folder's own view and the transfers into a folder see of it
// beside IShellFolder. The folder behind it stands above the view and the
// transfer layer and makes their objects itself; they reach it only through
// this, and everything they learn comes back as a result, never as state
// left somewhere.
#include "namespace/ItemRecord.h"
#include "namespace/ShellChanges.h"

#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

// The device whose files a folder lists, and those files (system files included).
struct FolderContents {
    DeviceInfo device;
    std::vector<ItemRecord> files;
    FolderLocation location;  // of the folder that listed them
};

// What the ports that came and went since the last look did to a folder.
struct DevicesFollowed {
    enum class What { Unchanged, Changed, DeviceLeft } what = What::Unchanged;
    std::string deviceName;  // of the device that left
};

class DeviceFolder : public IShellFolder {
public:
    // The folder lists devices: no device at all, or a root with other than one.
    virtual bool showsDevices() = 0;
    // The device whose files it lists; none for the list of devices, or when
    // that device is gone.
    virtual std::optional<DeviceInfo> device() = 0;
    // The device and what the last listing found on it, listed first when the
    // folder never was; none when it lists devices or its device cannot be
    // listed (the user was told why, on `owner`).
    virtual std::optional<FolderContents> contents(HWND owner) = 0;
    // Before a relisting: scans the ports again (messages on `owner`).
    virtual void refresh(HWND owner) = 0;
    // The data object of `count` of its items for a view: `owner` owns its
    // messages, `refreshWindow` hears Refresh after a completed move.
    virtual HRESULT dataObjectOf(UINT count, PCUITEMID_CHILD_ARRAY items, HWND owner, HWND refreshWindow,
                                 IDataObject** object) = 0;
    // The folder of its device item `item`, as BindToObject gives it, but
    // telling the user on `owner` when the device no longer answers.
    // Where the shell placed the folder, to tell it of changes in it.
    virtual FolderLocation location() = 0;
    virtual HRESULT openDevice(PCUITEMID_CHILD item, HWND owner, DeviceFolder** folder) = 0;
    // Takes in the ports that changed since it last looked (or scanned), the
    // shell told of what it lists now; no device is probed here.
    virtual DevicesFollowed followDevices() = 0;
};

// Asked for through QueryInterface and BindToObject, by our own code only.
__CRT_UUID_DECL(DeviceFolder, 0x8856cf92, 0x662f, 0x4717, 0xaf, 0xea, 0x42, 0xe8, 0xd7, 0xdd, 0x1b, 0x0e)
