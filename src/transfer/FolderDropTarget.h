#pragma once
// Drops onto a device folder's view, or onto one device of the root: files
// of another device folder of ours start a device-to-device job, PC files
// an upload on a thread of its own. The effect offered follows the target:
// none onto the files' own device, onto the device list's background, or
// for a PC folder; else copy, or move with Shift.
#include "namespace/DeviceFolder.h"
#include "shell/ComObject.h"
#include "shell/ShellResources.h"
#include "transfer/TransferTarget.h"

#include <shlobj.h>

#include <mutex>

class FolderDropTarget final : public ComObject<FolderDropTarget, IDropTarget> {
public:
    // `folder` receives the drops, or, with `item`, the device `item` of it
    // (a device of the root) does. `windows` are the view's the drops land in.
    FolderDropTarget(DeviceFolder& folder, PCUITEMID_CHILD item, ViewWindows windows);
    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                        DWORD* effect) noexcept override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) noexcept override;
    HRESULT STDMETHODCALLTYPE DragLeave() noexcept override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) noexcept override;

private:
    ~FolderDropTarget() override = default;
    DWORD effectFor(DWORD keyState) const;
    // The port of the device that receives the drops; none where none are taken.
    std::optional<DWORD> targetPort() const;
    // The folder the drop goes into, taken on the UI thread.
    ComPtr<DeviceFolder> dropFolder() const;

    mutable std::mutex lock_;
    ComPtr<IDropTargetHelper> dragImages_;
    const ViewWindows windows_;
    const ComPtr<DeviceFolder> folder_;
    const UniqueIdList item_;
    bool acceptable_ = false;
};
