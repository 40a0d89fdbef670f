#pragma once
// The shell folder of the namespace: the root (devices, or the files of the
// one connected device) and each device folder, which keeps to its device
// (port and serial). The folder is the composition root of its shell
// objects: it makes its view, data objects and drop targets itself and
// hands each what it needs. All methods run on the shell's UI thread;
// device input and output in them is synchronous.
#include "devices/DeviceCatalogue.h"
#include "devices/PortChanges.h"
#include "namespace/DeviceFolder.h"
#include "namespace/ItemEnumerator.h"
#include "namespace/ItemIdAllocator.h"
#include "shell/ComObject.h"
#include "shell/ShellResources.h"

#include <shlobj.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NamespaceFolder final : public ComObject<NamespaceFolder, DeviceFolder, IPersistFolder2, IPersistIDList> {
public:
    // A root folder, as the class factory makes it: no scan has run yet.
    NamespaceFolder();

    static const QITAB* interfaces() noexcept;

    // DeviceFolder
    bool showsDevices() override;
    std::optional<DeviceInfo> device() override;
    std::optional<FolderContents> contents(HWND owner) override;
    void refresh(HWND owner) override;
    HRESULT dataObjectOf(UINT count, PCUITEMID_CHILD_ARRAY items, HWND owner, HWND refreshWindow,
                         IDataObject** object) override;
    FolderLocation location() override;
    HRESULT openDevice(PCUITEMID_CHILD item, HWND owner, DeviceFolder** folder) override;
    DevicesFollowed followDevices() override;

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

    // IPersistFolder2
    HRESULT STDMETHODCALLTYPE GetCurFolder(PIDLIST_ABSOLUTE* idList) noexcept override;

    // IPersistIDList
    HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE idList) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* idList) noexcept override;

private:
    ~NamespaceFolder() override;

    // The folder of the device of item `record`, found on its port by BindToObject.
    NamespaceFolder(NamespaceFolder& parent, UniqueIdList ownIdList, const ItemRecord& record, const DeviceInfo& found);

    // Probes all ports again, replacing the device list; tells the user
    // (on `owner`) of every device whose firmware is too old.
    void rescan(HWND owner);
    HRESULT enumerate(HWND owner, SHCONTF flags, IEnumIDList** enumerator);
    // The folder of device item `idList`; the user is told on `owner`, if any,
    // when the device no longer answers.
    HRESULT openFolder(PCUIDLIST_RELATIVE idList, HWND owner, ComPtr<NamespaceFolder>& folder);
    // The item `name` parses to: a device by serial, a file by name.
    std::optional<ItemRecord> child(HWND owner, const std::string& name);
    HRESULT parse(HWND owner, std::wstring_view path, PIDLIST_RELATIVE* idList, ULONG* attributes);
    // The name that parses to this folder from the desktop.
    std::wstring parsingPath();
    HRESULT rename(HWND owner, PCUITEMID_CHILD item, LPCWSTR name, PITEMID_CHILD* newItem);
    // The file list of `device` into `list`; false after the reported failure.
    bool listFiles(HWND owner, const DeviceInfo& device, ItemRecordList& list);

    ItemIdAllocator allocator_;
    UniqueIdList idList_;
    ComPtr<NamespaceFolder> parent_;
    // A device folder's device as the root listed it; none for the root.
    std::optional<ItemRecord> ownDevice_;
    std::vector<DeviceInfo> devices_;
    bool scanned_ = false;
    // The last change of the ports that the device list includes.
    std::uint64_t devicesSeen_ = portChanges().latest();
    // The list of the last enumeration and the device it is of; null before the first.
    std::shared_ptr<const ItemRecordList> records_;
    std::optional<DeviceInfo> listedDevice_;
    DeviceCatalogue catalogue_;
};

// Item attributes by kind; none for a kind we do not know.
SFGAOF itemAttributes(ItemKind kind) noexcept;
