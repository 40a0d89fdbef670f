#pragma once
// The shell folder of the namespace: the root (devices, or the files of the
// one connected device) and each device folder. All methods run on the
// shell's UI thread; device input and output in them is synchronous.
#include "devices/DeviceCatalogue.h"
#include "namespace/ItemIdAllocator.h"
#include "namespace/ItemRecord.h"
#include "protocol/DeviceInfo.h"
#include "shell/ComObject.h"
#include "shell/ShellResources.h"

#include <shlobj.h>

#include <cstdint>
#include <memory>
#include <vector>

// The list of one enumeration. Enumerators share it with the folder, so an
// enumerator made earlier keeps reading its own list after a relisting.
using ItemRecordList = std::vector<ItemRecord>;

class NamespaceFolder final : public ComObject<NamespaceFolder, IShellFolder, IPersistFolder> {
public:
    // A root folder, as the class factory makes it: no scan has run yet.
    explicit NamespaceFolder(bool isRoot);

    static const QITAB* interfaces() noexcept;

    bool isRoot() const noexcept { return isRoot_; }
    // The absolute identifier list of Initialize (root) or the device's
    // one-item identifier (device folder); null before either.
    PCIDLIST_ABSOLUTE idList() const noexcept { return idList_.get(); }

    // True when the folder lists devices rather than files: no device at
    // all, or a root with other than exactly one device.
    bool showsDevices() const noexcept;
    // The device that file operations open a device object on. An all-zero
    // record when the folder knows no device; a device object refuses it.
    DeviceInfo currentDevice() const noexcept;
    // Owner of the folder's message boxes, set by CreateViewObject.
    HWND ownerWindow() const noexcept { return ownerWindow_; }
    // The view window made for this folder (set by the view).
    HWND viewWindow() const noexcept { return viewWindow_; }
    void setViewWindow(HWND window) noexcept { viewWindow_ = window; }
    // The devices of the last scan (or the device of a device folder); -1
    // before the first scan of a root.
    int deviceCount() const noexcept { return deviceCount_; }
    const std::vector<DeviceInfo>& devices() const noexcept { return devices_; }
    // The list of the last enumeration; null before the first.
    std::shared_ptr<ItemRecordList> records() const noexcept { return records_; }

    // Probes all ports again, replacing the device list; tells the user of
    // every device whose firmware is too old. True when a usable device was
    // found. The view's Refresh calls it too.
    bool rescan();

    // IShellFolder
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND window, IBindCtx* bindContext, LPWSTR displayName, ULONG* eaten,
                                               PIDLIST_RELATIVE* idList, ULONG* attributes) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND window, SHCONTF flags, IEnumIDList** enumerator) noexcept override;
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE idList, IBindCtx* bindContext, REFIID riid,
                                           void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE idList, IBindCtx* bindContext, REFIID riid,
                                            void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM column, PCUIDLIST_RELATIVE first,
                                         PCUIDLIST_RELATIVE second) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND owner, REFIID riid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items,
                                              SFGAOF* attributes) noexcept override;
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID riid,
                                            UINT* reserved, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) noexcept override;
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND window, PCUITEMID_CHILD item, LPCWSTR name, SHGDNF flags,
                                        PITEMID_CHILD* newItem) noexcept override;

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) noexcept override;

    // IPersistFolder
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE idList) noexcept override;

private:
    ~NamespaceFolder() override;

    // A device folder for the device item `record`, made by BindToObject.
    NamespaceFolder(NamespaceFolder& parent, UniqueIdList ownIdList, const DeviceInfo* device);

    HRESULT enumerate(SHCONTF flags, IEnumIDList** enumerator);
    HRESULT bindToDevice(PCUIDLIST_RELATIVE idList, REFIID riid, void** object);
    HRESULT rename(PCUITEMID_CHILD item, LPCWSTR name, PITEMID_CHILD* newItem);
    // Reads the file list of devices_[index] into `list`; false after the
    // reported failure.
    bool listFiles(std::size_t index, ItemRecordList& list);

    HWND ownerWindow_ = nullptr;
    HWND viewWindow_ = nullptr;
    ItemIdAllocator allocator_;
    UniqueIdList idList_;
    ComPtr<NamespaceFolder> parent_;
    bool isRoot_;
    std::vector<DeviceInfo> devices_;
    int deviceCount_ = -1;
    std::size_t currentIndex_ = 0;
    std::shared_ptr<ItemRecordList> records_;
    DeviceCatalogue catalogue_;
};

// Item attributes by kind; none for a kind we do not know.
SFGAOF itemAttributes(ItemKind kind) noexcept;
