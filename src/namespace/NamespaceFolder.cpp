#include "namespace/NamespaceFolder.h"

#include "devices/DeviceModels.h"
#include "devices/Discovery.h"
#include "link/NBException.h"
#include "namespace/DeviceProbe.h"
#include "namespace/FolderObjects.h"
#include "namespace/IconExtractor.h"
#include "namespace/ItemEnumerator.h"
#include "namespace/ItemOrder.h"
#include "namespace/SortState.h"
#include "protocol/SLVFamilyDevice.h"
#include "resources/resource.h"
#include "shell/NimbrelClassId.h"
#include "shell/Prompt.h"

#include <cstring>
#include <string>

namespace {

// Only the view's own enumeration reads a device's file list; the shell's
// background probing with other flags must not touch the device.
constexpr SHCONTF viewEnumerationFlags = 0x100;
constexpr std::uint32_t maximumListedFiles = 200;
// Longest name, in characters, that a rename accepts.
constexpr std::size_t maximumNameLength = 64;

int sign(int value) noexcept {
    return (value > 0) - (value < 0);
}

// The model's plain name for the messages; empty for a foreign type code.
std::string modelText(std::uint32_t typeCode) {
    const char* name = modelName(typeCode);
    return name ? name : "";
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

NamespaceFolder::NamespaceFolder(bool isRoot) : isRoot_(isRoot) {}

NamespaceFolder::NamespaceFolder(NamespaceFolder& parent, UniqueIdList ownIdList, const DeviceInfo* device)
    : ownerWindow_(parent.ownerWindow_), idList_(std::move(ownIdList)), parent_(&parent), isRoot_(false) {
    if (device) {
        devices_.push_back(*device);
    }
    deviceCount_ = static_cast<int>(devices_.size());
}

NamespaceFolder::~NamespaceFolder() = default;

const QITAB* NamespaceFolder::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<NamespaceFolder, IShellFolder>(),
        interfaceEntry<NamespaceFolder, IPersistFolder>(),
        interfaceEntry<NamespaceFolder, IPersist, IPersistFolder>(),
        {},
    };
    return table;
}

bool NamespaceFolder::showsDevices() const noexcept {
    return deviceCount_ == 0 || (isRoot_ && deviceCount_ != 1);
}

DeviceInfo NamespaceFolder::currentDevice() const noexcept {
    return currentIndex_ < devices_.size() ? devices_[currentIndex_] : DeviceInfo{};
}

bool NamespaceFolder::rescan() {
    devices_.clear();
    deviceCount_ = 0;
    ScanResult found = scanDevices();
    // One box per device, in port order, each answered before the next.
    for (const DeviceInfo& device : found.firmwareTooOld) {
        prompt::showInformation(ownerWindow_, IDS_FIRMWARE_TOO_OLD,
                                {modelText(device.typeCode), fieldText(device.serial), device.portNumber});
    }
    devices_ = std::move(found.devices);
    deviceCount_ = static_cast<int>(devices_.size());
    return deviceCount_ > 0;
}

HRESULT NamespaceFolder::ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE* idList, ULONG*) noexcept {
    if (idList) {
        *idList = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::EnumObjects(HWND, SHCONTF flags, IEnumIDList** enumerator) noexcept {
    if (!enumerator) {
        return E_POINTER;
    }
    *enumerator = nullptr;
    return comBoundary([&] { return enumerate(flags, enumerator); });
}

HRESULT NamespaceFolder::enumerate(SHCONTF flags, IEnumIDList** enumerator) {
    if (deviceCount_ == -1 && isRoot_) {
        rescan();
    }
    records_ = std::make_shared<ItemRecordList>();

    if (deviceCount_ <= 0) {
        prompt::showInformation(ownerWindow_, IDS_NO_DEVICES);
        return E_FAIL;
    }
    if (isRoot_ && deviceCount_ >= 2) {
        for (const NamedDevice& device : listDevices(devices_, catalogue_)) {
            records_->push_back(makeDeviceRecord(device.name, device.info));
        }
    } else {
        if (deviceCount_ == 1) {
            if (flags != viewEnumerationFlags) {
                return E_FAIL;
            }
            currentIndex_ = 0;
        } else if (const auto own = readLastItemRecord(idList_.get())) {
            // A device folder after a rescan finds its device by port.
            for (std::size_t index = 0; index < devices_.size(); ++index) {
                if (devices_[index].portNumber == own->port) {
                    currentIndex_ = index;
                    break;
                }
            }
        }
        if (currentIndex_ >= devices_.size()) {
            currentIndex_ = 0;
        }
        if (!listFiles(currentIndex_, *records_)) {
            return E_FAIL;
        }
    }
    *enumerator = makeComObject<ItemEnumerator>(*this, records_).Detach();
    return S_OK;
}

bool NamespaceFolder::listFiles(std::size_t index, ItemRecordList& list) {
    const DeviceInfo device = devices_[index];
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
        prompt::showError(ownerWindow_, IDS_ERROR_READ_LIST, {modelText(device.typeCode), device.portNumber});
        return false;
    }
}

HRESULT NamespaceFolder::BindToObject(PCUIDLIST_RELATIVE idList, IBindCtx*, REFIID riid, void** object) noexcept {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IShellFolder)) {
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
    if (!probeDevice(static_cast<int>(record->port), record->model)) {
        prompt::showError(ownerWindow_, IDS_ERROR_NO_COMMUNICATION, {fieldText(record->name)});
        return E_FAIL;
    }
    UniqueIdList ownIdList(allocator_.cloneIdList(idList));
    if (!ownIdList) {
        return E_OUTOFMEMORY;
    }
    DeviceInfo device;
    const bool found = probePort(device, static_cast<int>(record->port), true, false) == 1;
    NamespaceFolder* folder = new NamespaceFolder(*this, std::move(ownIdList), found ? &device : nullptr);
    const HRESULT result = folder->QueryInterface(riid, object);
    folder->Release();  // the creation reference; the caller holds its own
    return result;
}

HRESULT NamespaceFolder::BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** object) noexcept {
    if (object) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::CompareIDs(LPARAM column, PCUIDLIST_RELATIVE first, PCUIDLIST_RELATIVE second) noexcept {
    const auto a = readLastItemRecord(first);
    const auto b = readLastItemRecord(second);
    if (!a || !b) {
        return E_INVALIDARG;
    }
    // Columns beyond the three (the whole parameter, sort flags included)
    // compare equal.
    if (column < 0 || column > 2) {
        return 0;
    }
    // Only the sign counts; keeping the value to -1, 0, 1 keeps it intact
    // for callers that read the result's low 16 bits.
    return sign(compareItems(static_cast<int>(column), *a, *b)) * sortState().direction;
}

HRESULT NamespaceFolder::CreateViewObject(HWND owner, REFIID riid, void** object) noexcept {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    ownerWindow_ = owner;
    return comBoundary([&]() -> HRESULT {
        const FolderObjectMakers& makers = folderObjectMakers();
        if (IsEqualIID(riid, IID_IShellView)) {
            if (isRoot_) {
                rescan();
            }
            return makers.view ? makers.view(*this, owner, riid, object) : E_NOINTERFACE;
        }
        if (IsEqualIID(riid, IID_IDropTarget)) {
            return makers.dropTarget ? makers.dropTarget(*this, owner, nullptr, riid, object) : E_NOINTERFACE;
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

HRESULT NamespaceFolder::GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID riid, UINT* reserved,
                                       void** object) noexcept {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    return comBoundary([&]() -> HRESULT {
        const FolderObjectMakers& makers = folderObjectMakers();
        if (IsEqualIID(riid, IID_IExtractIconA)) {
            if (count == 0 || !items) {
                return E_INVALIDARG;
            }
            return makeComObject<IconExtractor>(lastItem(items[0]))->QueryInterface(riid, object);
        }
        if (IsEqualIID(riid, IID_IDataObject)) {
            if (!makers.dataObject) {
                return E_NOINTERFACE;
            }
            // The caller passes a pointer to a window handle through the
            // reserved argument: the window that hears of a completed move.
            HWND refreshWindow = reserved ? *reinterpret_cast<HWND*>(reserved) : nullptr;
            return makers.dataObject(*this, count, items, refreshWindow, riid, object);
        }
        if (IsEqualIID(riid, IID_IDropTarget)) {
            if (!makers.dropTarget) {
                return E_NOINTERFACE;
            }
            if (count != 1 || !items) {
                return E_FAIL;
            }
            return makers.dropTarget(*this, owner, items[0], riid, object);
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

HRESULT NamespaceFolder::SetNameOf(HWND, PCUITEMID_CHILD item, LPCWSTR name, SHGDNF, PITEMID_CHILD* newItem) noexcept {
    if (!newItem) {
        return E_FAIL;
    }
    *newItem = nullptr;
    return comBoundary([&] { return rename(item, name, newItem); });
}

HRESULT NamespaceFolder::rename(PCUITEMID_CHILD item, LPCWSTR name, PITEMID_CHILD* newItem) {
    SFGAOF attributes = 0;
    if (!name || FAILED(GetAttributesOf(1, &item, &attributes)) || !(attributes & SFGAO_CANRENAME)) {
        return E_FAIL;
    }
    if (std::wcslen(name) > maximumNameLength) {
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
        if (record.kind == ItemKind::SystemFile && !prompt::confirm(ownerWindow_, IDS_CONFIRM_RENAME_SYSFILE)) {
            return E_FAIL;
        }
        const auto renameFile = folderObjectMakers().renameFile;
        if (!renameFile || renameFile(*this, std::string(fieldText(record.name)), newName) != 1) {
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
