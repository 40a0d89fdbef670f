#include "folder/NamespaceFolder.h"

#include "devices/DeviceModels.h"
#include "devices/Discovery.h"
#include "link/NBException.h"
#include "namespace/IconExtractor.h"
#include "namespace/ItemOrder.h"
#include "protocol/SLVFamilyDevice.h"
#include "resources/resource.h"
#include "shell/NimbrelClassId.h"
#include "shell/Prompt.h"
#include "transfer/DeviceFileOperations.h"
#include "transfer/FileDataObject.h"
#include "transfer/FolderDropTarget.h"
#include "view/NamespaceView.h"

#include <cstring>
#include <string>

namespace {

// Only the view's own enumeration reads a device's file list; the shell's
// background probing with other flags must not touch the device.
constexpr SHCONTF viewEnumerationFlags = SHCONTF_INIT_ON_FIRST_NEXT;
constexpr std::uint32_t maximumListedFiles = 200;

// The model's plain name for the messages; empty for a foreign type code.
std::string modelText(std::uint32_t typeCode) {
    const char* name = modelName(typeCode);
    return name ? name : "";
}

// A device is known by its port and its serial text.
bool sameDevice(const DeviceInfo& device, std::uint32_t port, std::string_view serial) {
    return device.portNumber == port && fieldText(device.serial) == serial;
}

}  // namespace

SFGAOF itemAttributes(ItemKind kind) noexcept {
    constexpr SFGAOF fileAttributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
    switch (kind) {
        case ItemKind::Device:
            return SFGAO_FOLDER | SFGAO_BROWSABLE | SFGAO_NEWCONTENT | SFGAO_DROPTARGET | SFGAO_CANRENAME;
        case ItemKind::File:
            return fileAttributes;
        case ItemKind::SystemFile:
            return fileAttributes | SFGAO_GHOSTED | SFGAO_HIDDEN;
    }
    return 0;
}

NamespaceFolder::NamespaceFolder() = default;

NamespaceFolder::NamespaceFolder(NamespaceFolder& parent, UniqueIdList ownIdList, const ItemRecord& record,
                                 const DeviceInfo& found)
    : idList_(std::move(ownIdList)), parent_(&parent), ownDevice_(record), devices_{found}, scanned_(true) {}

NamespaceFolder::~NamespaceFolder() = default;

const QITAB* NamespaceFolder::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<NamespaceFolder, IShellFolder, DeviceFolder>(),
        interfaceEntry<NamespaceFolder, DeviceFolder>(),
        interfaceEntry<NamespaceFolder, IPersistFolder>(),
        interfaceEntry<NamespaceFolder, IPersist, IPersistFolder>(),
        {},
    };
    return table;
}

bool NamespaceFolder::showsDevices() {
    return ownDevice_ ? devices_.empty() : devices_.size() != 1;
}

std::optional<DeviceInfo> NamespaceFolder::device() {
    std::optional<DeviceInfo> found;
    if (!ownDevice_) {
        if (devices_.size() == 1) found = devices_.front();
    } else {
        // After a rescan a device folder finds its own device, or none: never another.
        for (const DeviceInfo& candidate : devices_)
            if (sameDevice(candidate, ownDevice_->port, fieldText(ownDevice_->serial))) found = candidate;
    }
    // Operations act on the device whose files the user sees, or on none.
    if (found && listedDevice_ && !sameDevice(*found, listedDevice_->portNumber, fieldText(listedDevice_->serial)))
        return std::nullopt;
    return found;
}

std::optional<FolderContents> NamespaceFolder::contents(HWND owner) {
    if (!records_) {
        ComPtr<IEnumIDList> enumerator;
        if (FAILED(enumerate(owner, viewEnumerationFlags, &enumerator))) return std::nullopt;
    }
    if (!listedDevice_ || !records_) return std::nullopt;
    return FolderContents{*listedDevice_, *records_};
}

void NamespaceFolder::refresh(HWND owner) {
    rescan(owner);
}

void NamespaceFolder::rescan(HWND owner) {
    ScanResult found = scanDevices();
    // One box per device, in port order, each answered before the next.
    for (const DeviceInfo& device : found.firmwareTooOld) {
        prompt::showInformation(owner, IDS_FIRMWARE_TOO_OLD,
                                {modelText(device.typeCode), fieldText(device.serial), device.portNumber});
    }
    devices_ = std::move(found.devices);
    scanned_ = true;
}

HRESULT NamespaceFolder::dataObjectOf(UINT count, PCUITEMID_CHILD_ARRAY items, HWND owner, HWND refreshWindow,
                                      IDataObject** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return comBoundary([&]() -> HRESULT {
        const std::optional<DeviceInfo> source = showsDevices() ? std::nullopt : device();
        if (count == 0 || !items || !source) return E_INVALIDARG;
        std::vector<ItemRecord> records;
        for (UINT i = 0; i < count; ++i) {
            const auto record = readLastItemRecord(items[i]);
            if (!record || record->kind == ItemKind::Device) return E_INVALIDARG;
            records.push_back(*record);
        }
        return makeComObject<FileDataObject>(*source, std::move(records), ViewWindows{owner, refreshWindow})
            ->QueryInterface(IID_PPV_ARGS(object));
    });
}

HRESULT NamespaceFolder::ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE* idList, ULONG*) noexcept {
    if (idList) {
        *idList = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::EnumObjects(HWND window, SHCONTF flags, IEnumIDList** enumerator) noexcept {
    if (!enumerator) {
        return E_POINTER;
    }
    *enumerator = nullptr;
    return comBoundary([&] { return enumerate(window, flags, enumerator); });
}

HRESULT NamespaceFolder::enumerate(HWND owner, SHCONTF flags, IEnumIDList** enumerator) {
    if (!scanned_) {
        rescan(owner);
    }
    // The shell's own probing with other flags leaves the last listing as it was.
    if (!showsDevices() && flags != viewEnumerationFlags) {
        return E_FAIL;
    }
    auto records = std::make_shared<ItemRecordList>();
    records_ = records;
    listedDevice_.reset();
    if (devices_.empty()) {
        prompt::showInformation(owner, IDS_NO_DEVICES);
        return E_FAIL;
    }
    if (showsDevices()) {
        for (const NamedDevice& device : listDevices(devices_, catalogue_)) {
            records->push_back(makeDeviceRecord(device.name, device.info));
        }
    } else {
        const std::optional<DeviceInfo> listed = device();
        if (!listed) {
            prompt::showError(owner, IDS_ERROR_NO_COMMUNICATION, {fieldText(ownDevice_->name)});
            return E_FAIL;
        }
        if (!listFiles(owner, *listed, *records)) {
            return E_FAIL;
        }
        listedDevice_ = listed;
    }
    *enumerator = makeComObject<ItemEnumerator>(*static_cast<IShellFolder*>(this), records).Detach();
    return S_OK;
}

bool NamespaceFolder::listFiles(HWND owner, const DeviceInfo& device, ItemRecordList& list) {
    try {
        std::vector<FileListEntry> files;
        {
            SLVFamilyDevice deviceObject(device);
            files = deviceObject.sendFileList(maximumListedFiles);
        }
        for (const FileListEntry& file : files) {
            list.push_back(makeFileRecord(file));
        }
        return true;
    } catch (const NBException&) {
        prompt::showError(owner, IDS_ERROR_READ_LIST, {modelText(device.typeCode), device.portNumber});
        return false;
    }
}

HRESULT NamespaceFolder::BindToObject(PCUIDLIST_RELATIVE idList, IBindCtx*, REFIID riid, void** object) noexcept {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IShellFolder) && !IsEqualIID(riid, __uuidof(DeviceFolder))) {
        return E_NOINTERFACE;
    }
    return comBoundary([&] { return bindToDevice(idList, riid, object); });
}

HRESULT NamespaceFolder::bindToDevice(PCUIDLIST_RELATIVE idList, REFIID riid, void** object) {
    const auto record = readLastItemRecord(idList);
    // Only device items open as folders; files have no port to probe.
    if (!record || record->kind != ItemKind::Device) {
        return E_INVALIDARG;
    }
    // The device the item stands for, or none: an unplugged or replaced one is not opened.
    const std::optional<DeviceInfo> found = probePort(static_cast<int>(record->port));
    if (!found || found->typeCode != record->model || !sameDevice(*found, record->port, fieldText(record->serial))) {
        prompt::showError(nullptr, IDS_ERROR_NO_COMMUNICATION, {fieldText(record->name)});
        return E_FAIL;
    }
    UniqueIdList ownIdList(allocator_.cloneIdList(idList));
    if (!ownIdList) {
        return E_OUTOFMEMORY;
    }
    const ComPtr<NamespaceFolder> folder(new NamespaceFolder(*this, std::move(ownIdList), *record, *found));
    folder->Release();  // the creation reference: the ComPtr holds its own
    return folder->QueryInterface(riid, object);
}

HRESULT NamespaceFolder::BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** object) noexcept {
    if (object) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::CompareIDs(LPARAM parameter, PCUIDLIST_RELATIVE first, PCUIDLIST_RELATIVE second) noexcept {
    const auto a = readLastItemRecord(first);
    const auto b = readLastItemRecord(second);
    if (!a || !b) {
        return E_INVALIDARG;
    }
    // The column is the low word; the high word holds the shell's SHCIDS_ flags.
    const auto column = static_cast<int>(parameter & SHCIDS_COLUMNMASK);
    const int order = column > 2 ? 0 : compareItems(column, *a, *b);
    // The order is the code of a success: negative, zero or positive.
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(static_cast<short>((order > 0) - (order < 0))));
}

HRESULT NamespaceFolder::CreateViewObject(HWND owner, REFIID riid, void** object) noexcept {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    return comBoundary([&]() -> HRESULT {
        if (IsEqualIID(riid, IID_IShellView)) {
            if (!ownDevice_) {
                rescan(owner);
            }
            return makeComObject<NamespaceView>(*this)->QueryInterface(riid, object);
        }
        if (IsEqualIID(riid, IID_IDropTarget)) {
            return makeComObject<FolderDropTarget>(*this, nullptr, ViewWindows{owner, owner})
                ->QueryInterface(riid, object);
        }
        return E_NOINTERFACE;
    });
}

HRESULT NamespaceFolder::GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* attributes) noexcept {
    if (!attributes || !items || count == 0) {
        return E_INVALIDARG;
    }
    const auto record = readLastItemRecord(items[0]);
    if (!record) {
        return E_INVALIDARG;
    }
    *attributes = itemAttributes(record->kind);
    return S_OK;
}

HRESULT NamespaceFolder::GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID riid, UINT*,
                                       void** object) noexcept {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (count == 0 || !items) {
        return E_INVALIDARG;
    }
    return comBoundary([&]() -> HRESULT {
        if (IsEqualIID(riid, IID_IExtractIconA)) {
            return makeComObject<IconExtractor>(lastItem(items[0]))->QueryInterface(riid, object);
        }
        if (IsEqualIID(riid, IID_IDataObject)) {
            return dataObjectOf(count, items, owner, nullptr, reinterpret_cast<IDataObject**>(object));
        }
        if (IsEqualIID(riid, IID_IDropTarget)) {
            if (count != 1) {
                return E_FAIL;
            }
            return makeComObject<FolderDropTarget>(*this, items[0], ViewWindows{owner, owner})
                ->QueryInterface(riid, object);
        }
        return E_NOINTERFACE;
    });
}

HRESULT NamespaceFolder::GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF, STRRET* name) noexcept {
    if (!name) {
        return E_POINTER;
    }
    const auto record = readLastItemRecord(item);
    if (!record) {
        return E_INVALIDARG;
    }
    name->uType = STRRET_CSTR;
    const std::string_view text = fieldText(record->name);
    const std::size_t length = std::min(text.size(), sizeof name->cStr - 1);
    std::memcpy(name->cStr, text.data(), length);
    name->cStr[length] = '\0';
    return S_OK;
}

HRESULT NamespaceFolder::SetNameOf(HWND window, PCUITEMID_CHILD item, LPCWSTR name, SHGDNF,
                                   PITEMID_CHILD* newItem) noexcept {
    if (!newItem) {
        return E_FAIL;
    }
    *newItem = nullptr;
    return comBoundary([&] { return rename(window, item, name, newItem); });
}

HRESULT NamespaceFolder::rename(HWND owner, PCUITEMID_CHILD item, LPCWSTR name, PITEMID_CHILD* newItem) {
    SFGAOF attributes = 0;
    if (!name || FAILED(GetAttributesOf(1, &item, &attributes)) || !(attributes & SFGAO_CANRENAME)) {
        return E_FAIL;
    }
    if (std::wcslen(name) > longestDeviceName) {
        return E_FAIL;
    }
    const std::string newName = narrow(name);
    const ItemRecord record = *readLastItemRecord(item);

    ItemRecord renamed{};
    if (record.kind == ItemKind::Device) {
        if (!isFileCapableModel(record.model)) {
            // Nothing can remember the name of a device of no known model.
            return S_OK;
        }
        catalogue_.storeDeviceName(record.model, std::string(fieldText(record.serial)), newName);
        renamed = makeDeviceRecord(newName, record.port, fieldText(record.serial), record.model);
    } else {
        if (record.kind == ItemKind::SystemFile && !prompt::confirm(owner, IDS_CONFIRM_RENAME_SYSFILE)) {
            return E_FAIL;
        }
        if (!renameFileOnDevice(device().value_or(DeviceInfo{}), std::string(fieldText(record.name)), newName, owner)) {
            return E_FAIL;
        }
        // The kind stays as it was, whatever the new name ends in.
        renamed.kind = record.kind;
        setRecordName(renamed, newName);
        renamed.size = record.size;
        renamed.year = record.year;
        renamed.month = record.month;
        renamed.day = record.day;
        renamed.hour = record.hour;
        renamed.minute = record.minute;
        renamed.second = record.second;
    }
    *newItem = allocator_.createItemId(renamed);
    return *newItem ? S_OK : E_OUTOFMEMORY;
}

HRESULT NamespaceFolder::GetClassID(CLSID* classId) noexcept {
    if (!classId) {
        return E_POINTER;
    }
    *classId = CLSID_NimbrelFolder;
    return S_OK;
}

HRESULT NamespaceFolder::Initialize(PCIDLIST_ABSOLUTE idList) noexcept {
    // The shell keeps its own list; ours is a copy that lives with us.
    UniqueIdList copy(allocator_.cloneIdList(idList));
    if (idList && !copy) {
        return E_OUTOFMEMORY;
    }
    idList_ = std::move(copy);
    return S_OK;
}
