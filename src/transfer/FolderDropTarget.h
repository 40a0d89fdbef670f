#pragma once
// Drops onto a device folder's view, or onto one device of the root: files
// of another device folder of ours start a device-to-device job, PC files
// an upload on a thread of its own. The effect offered follows the target:
// none onto the files' own device, onto the device list's background, or
// for a PC folder; else copy, or move with Shift.
#include "shell/ComObject.h"
#include "shell/ShellResources.h"

#include <shlobj.h>

#include <mutex>

class NamespaceFolder;

class FolderDropTarget final : public ComObject<FolderDropTarget, IDropTarget> {
public:
    // `item`: the device of the root that receives the drop, or null for
    // the folder itself.
    FolderDropTarget(NamespaceFolder& folder, HWND window, PCUITEMID_CHILD item);
    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                        DWORD* effect) noexcept override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) noexcept override;
    HRESULT STDMETHODCALLTYPE DragLeave() noexcept override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) noexcept override;

private:
    ~FolderDropTarget() override = default;
    DWORD effectFor(DWORD keyState) const;
    // The port of the device that receives the drop.
    DWORD targetPort() const;

    mutable std::mutex lock_;
    ComPtr<IDropTargetHelper> dragImages_;
    const HWND window_;
    ComPtr<NamespaceFolder> folder_;
    bool acceptable_ = false;
    UniqueIdList item_;
    bool moveDrop_ = false;
};

// The maker the folder calls for IID_IDropTarget.
HRESULT createFolderDropTarget(NamespaceFolder& folder, HWND window, PCUITEMID_CHILD item, REFIID riid, void** object);
