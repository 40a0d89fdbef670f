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
#include "transfer/Announcer.h"
#include "transfer/DeviceFileOperations.h"
#include "transfer/FileDataObject.h"
#include "transfer/FolderDropTarget.h"
#include "view/ItemCommands.h"
#include "view/NamespaceView.h"

#include <algorithm>
#include <cstring>
#include <iterator>
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

// What an item is known by: a device's serial, a file's name.
std::string_view identityText(const ItemRecord& record) {
    return record.kind == ItemKind::Device ? fieldText(record.serial) : fieldText(record.name);
}

// A device is known by its port and its serial text.
bool sameDevice(const DeviceInfo& device, std::uint32_t port, std::string_view serial) {
    return device.portNumber == port && fieldText(device.serial) == serial;
}

// An item's part of a parsing name: a device by its serial, a file by its
// name. Both come from the device, so the separator and the escape character
// are escaped, and every name parses back to the item it came from.
std::wstring parsingComponent(const ItemRecord& record) {
    const std::wstring text = widen(identityText(record));
    std::wstring escaped;
    for (const wchar_t c : text) {
        if (c == L'%' || c == L'\\') {
            escaped += c == L'%' ? L"%25" : L"%5C";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// The text of one escaped component; none for a broken escape.
std::optional<std::string> unescapeComponent(std::wstring_view component) {
    std::wstring text;
    for (std::size_t i = 0; i < component.size(); ++i) {
        if (component[i] != L'%') {
            text += component[i];
            continue;
        }
        const std::wstring_view code = component.substr(i + 1, 2);
        if (code == L"25") {
            text += L'%';
        } else if (code == L"5C" || code == L"5c") {
            text += L'\\';
        } else {
            return std::nullopt;
        }
        i += 2;
    }
    return narrow(text);
}

// A short order as the code of a success, so a "less than" is no failure.
HRESULT orderResult(int order) {
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(static_cast<short>((order > 0) - (order < 0))));
}

// The order of two items of one level: by the column, or by identity alone
// (a device's serial, a file's exact name) when the shell asks only whether
// they are the same; every field decides a tie when it asks for all.
int compareLevel(LPARAM parameter, const ItemRecord& a, const ItemRecord& b) {
    int order = 0;
    if (parameter & SHCIDS_CANONICALONLY) {
        order = static_cast<int>(a.kind) - static_cast<int>(b.kind);
        if (order == 0) order = identityText(a).compare(identityText(b));
    } else {
        const auto column = static_cast<int>(parameter & SHCIDS_COLUMNMASK);
        order = column > 2 ? 0 : compareItems(column, a, b);
    }
    // Records are zero-filled, so their bytes compare every field.
    if (order == 0 && (parameter & SHCIDS_ALLFIELDS)) order = std::memcmp(&a, &b, sizeof a);
    return order;
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
        interfaceEntry<NamespaceFolder, IPersistFolder2>(),
        interfaceEntry<NamespaceFolder, IPersistFolder, IPersistFolder2>(),
        interfaceEntry<NamespaceFolder, IPersistIDList>(),
        interfaceEntry<NamespaceFolder, IPersist, IPersistFolder2>(),
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
    return FolderContents{*listedDevice_, *records_, location()};
}

void NamespaceFolder::refresh(HWND owner) {
    rescan(owner);
}

void NamespaceFolder::rescan(HWND owner) {
    devicesSeen_ = portChanges().latest();
    ScanResult found = scanDevices();
    // One box per device, in port order, each answered before the next.
    // Without an owner (the navigation pane, the address bar) nobody asked: no boxes.
    for (const DeviceInfo& device : owner ? found.firmwareTooOld : std::vector<DeviceInfo>{}) {
        prompt::showInformation(owner, IDS_FIRMWARE_TOO_OLD,
                                {modelText(device.typeCode), fieldText(device.serial), device.portNumber});
    }
    devices_ = std::move(found.devices);
    scanned_ = true;
}

DevicesFollowed NamespaceFolder::followDevices() {
    const std::uint64_t latest = portChanges().latest();
    const std::vector<PortChange> changes = portChanges().since(devicesSeen_);
    devicesSeen_ = latest;
    std::vector<DeviceInfo> now = followPortChanges(devices_, changes);
    const auto same = [](const DeviceInfo& a, const DeviceInfo& b) {
        return a.typeCode == b.typeCode && sameDevice(a, b.portNumber, fieldText(b.serial));
    };
    if (!scanned_ || std::equal(now.begin(), now.end(), devices_.begin(), devices_.end(), same)) return {};
    const bool had = !ownDevice_ || device();
    devices_ = std::move(now);
    location().contentsChanged();
    if (!ownDevice_ || (!had && device())) return {DevicesFollowed::What::Changed, {}};
    if (!had || device()) return {};
    // It says so once: the list empties until the device is back.
    records_ = std::make_shared<const ItemRecordList>();
    listedDevice_.reset();
    return {DevicesFollowed::What::DeviceLeft, std::string(fieldText(ownDevice_->name))};
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
        return makeComObject<FileDataObject>(*source, std::move(records), ViewWindows{owner, refreshWindow}, location())
            ->QueryInterface(IID_PPV_ARGS(object));
    });
}

HRESULT NamespaceFolder::ParseDisplayName(HWND window, IBindCtx*, LPWSTR displayName, ULONG* eaten,
                                          PIDLIST_RELATIVE* idList, ULONG* attributes) noexcept {
    if (!idList) {
        return E_POINTER;
    }
    *idList = nullptr;
    if (!displayName) {
        return E_INVALIDARG;
    }
    return comBoundary([&] {
        const HRESULT result = parse(window, displayName, idList, attributes);
        if (SUCCEEDED(result) && eaten) *eaten = static_cast<ULONG>(std::wcslen(displayName));
        return result;
    });
}

HRESULT NamespaceFolder::parse(HWND owner, std::wstring_view path, PIDLIST_RELATIVE* idList, ULONG* attributes) {
    const std::size_t separator = path.find(L'\\');
    const std::wstring_view rest = separator == std::wstring_view::npos ? L"" : path.substr(separator + 1);
    const std::optional<std::string> name = unescapeComponent(path.substr(0, separator));
    if (!name || name->empty()) {
        return E_INVALIDARG;
    }
    const std::optional<ItemRecord> found = child(owner, *name);
    if (!found || (!rest.empty() && found->kind != ItemKind::Device)) {
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    UniqueIdList item(allocator_.createItemId(*found));
    if (!item) {
        return E_OUTOFMEMORY;
    }
    if (rest.empty()) {
        if (attributes) *attributes &= itemAttributes(found->kind);
        *idList = item.release();
        return S_OK;
    }
    ComPtr<NamespaceFolder> folder;
    PIDLIST_RELATIVE inner = nullptr;
    HRESULT result = openFolder(item.get(), owner, folder);
    if (SUCCEEDED(result)) result = folder->parse(owner, rest, &inner, attributes);
    const UniqueIdList innerOwned(inner);
    if (FAILED(result)) {
        return result;
    }
    *idList = ILCombine(item.get(), inner);
    return *idList ? S_OK : E_OUTOFMEMORY;
}

std::optional<ItemRecord> NamespaceFolder::child(HWND owner, const std::string& name) {
    if (!scanned_) {
        rescan(owner);
    }
    if (!showsDevices()) {
        const auto listedFile = [&]() -> std::optional<ItemRecord> {
            for (const ItemRecord& record : records_ ? *records_ : ItemRecordList{}) {
                if (fieldText(record.name) == name) return record;
            }
            return std::nullopt;
        };
        std::optional<ItemRecord> file = listedDevice_ ? listedFile() : std::nullopt;
        if (!file) {
            // Not listed yet, or come since the last listing.
            ComPtr<IEnumIDList> enumerator;
            if (SUCCEEDED(enumerate(owner, viewEnumerationFlags, &enumerator))) file = listedFile();
        }
        if (file) return file;
    }
    // The root knows its devices by serial even while it lists one device's
    // files, so a saved name stays valid whatever else is plugged in.
    if (ownDevice_) {
        return std::nullopt;
    }
    for (const NamedDevice& device : listDevices(devices_, catalogue_)) {
        if (fieldText(device.info.serial) == name) return makeDeviceRecord(device.name, device.info);
    }
    return std::nullopt;
}

std::wstring NamespaceFolder::parsingPath() {
    if (ownDevice_) {
        return parent_->parsingPath() + L"\\" + parsingComponent(*ownDevice_);
    }
    if (idList_ && !ILIsEmpty(idList_.get())) {
        PWSTR name = nullptr;
        if (SUCCEEDED(SHGetNameFromIDList(idList_.get(), SIGDN_DESKTOPABSOLUTEPARSING, &name))) {
            const UniqueTaskMemory<wchar_t> owned(name);
            return name;
        }
    }
    wchar_t classId[40] = {};
    StringFromGUID2(CLSID_NimbrelFolder, classId, static_cast<int>(std::size(classId)));
    return std::wstring(L"::") + classId;
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
    const bool forView = flags == viewEnumerationFlags;
    // Devices are the only folders and files the only other items: a question
    // for the other kind is answered empty, without the device.
    if (!forView && !(flags & (showsDevices() ? SHCONTF_FOLDERS : SHCONTF_NONFOLDERS))) {
        *enumerator =
            makeComObject<ItemEnumerator>(*static_cast<IShellFolder*>(this), std::make_shared<const ItemRecordList>())
                .Detach();
        return S_OK;
    }
    // The shell's own probing with other flags leaves the last listing as it was.
    if (!showsDevices() && !forView) {
        return E_FAIL;
    }
    auto records = std::make_shared<ItemRecordList>();
    records_ = records;
    listedDevice_.reset();
    if (devices_.empty()) {
        if (owner) prompt::showInformation(owner, IDS_NO_DEVICES);
        return E_FAIL;
    }
    if (showsDevices()) {
        for (const NamedDevice& device : listDevices(devices_, catalogue_)) {
            records->push_back(makeDeviceRecord(device.name, device.info));
        }
    } else {
        const std::optional<DeviceInfo> listed = device();
        if (!listed) {
            if (owner)
                tellFailure(owner, IDS_ERROR_NO_COMMUNICATION, prompt::errorStyle, {fieldText(ownDevice_->name)});
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
        if (owner)
            tellFailure(owner, IDS_ERROR_READ_LIST, prompt::errorStyle,
                        {modelText(device.typeCode), device.portNumber});
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
    return comBoundary([&] {
        // The shell binds with no window to own a message: a failure is quiet.
        ComPtr<NamespaceFolder> folder;
        const HRESULT result = openFolder(idList, nullptr, folder);
        return SUCCEEDED(result) ? folder->QueryInterface(riid, object) : result;
    });
}

HRESULT NamespaceFolder::openDevice(PCUITEMID_CHILD item, HWND owner, DeviceFolder** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return comBoundary([&] {
        ComPtr<NamespaceFolder> folder;
        const HRESULT result = openFolder(item, owner, folder);
        if (SUCCEEDED(result)) *object = static_cast<DeviceFolder*>(folder.Detach());
        return result;
    });
}

HRESULT NamespaceFolder::openFolder(PCUIDLIST_RELATIVE idList, HWND owner, ComPtr<NamespaceFolder>& folder) {
    const auto record = readLastItemRecord(idList);
    // Only device items open as folders; files have no port to probe.
    if (!record || record->kind != ItemKind::Device) {
        return E_INVALIDARG;
    }
    // The device the item stands for, or none: an unplugged or replaced one is not opened.
    const std::optional<DeviceInfo> found = probePort(static_cast<int>(record->port));
    if (!found || found->typeCode != record->model || !sameDevice(*found, record->port, fieldText(record->serial))) {
        if (owner) tellFailure(owner, IDS_ERROR_NO_COMMUNICATION, prompt::errorStyle, {fieldText(record->name)});
        return E_FAIL;
    }
    // The new folder knows its place only when the shell placed us.
    UniqueIdList ownIdList(idList_ ? ILCombine(idList_.get(), idList) : nullptr);
    if (idList_ && !ownIdList) {
        return E_OUTOFMEMORY;
    }
    // Its one reference goes to `folder` (MinGW's Attach would add another).
    *folder.ReleaseAndGetAddressOf() = new NamespaceFolder(*this, std::move(ownIdList), *record, *found);
    return S_OK;
}

HRESULT NamespaceFolder::BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** object) noexcept {
    if (object) {
        *object = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT NamespaceFolder::CompareIDs(LPARAM parameter, PCUIDLIST_RELATIVE first, PCUIDLIST_RELATIVE second) noexcept {
    // Level by level from the first item: the first difference decides, and
    // a list that ends first (a folder before what it holds) comes first.
    if (!first || !second) {
        return E_INVALIDARG;
    }
    for (;;) {
        const bool firstEnds = ILIsEmpty(first), secondEnds = ILIsEmpty(second);
        if (firstEnds || secondEnds) {
            return orderResult(static_cast<int>(secondEnds) - static_cast<int>(firstEnds));
        }
        const auto a = readFirstItemRecord(first);
        const auto b = readFirstItemRecord(second);
        if (!a || !b) {
            return E_INVALIDARG;
        }
        if (const int order = compareLevel(parameter, *a, *b)) {
            return orderResult(order);
        }
        first = ILNext(first);
        second = ILNext(second);
    }
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
        if (IsEqualIID(riid, IID_IContextMenu)) {
            return itemContextMenu(*this, count, items, owner, riid, object);
        }
        return E_NOINTERFACE;
    });
}

HRESULT NamespaceFolder::GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) noexcept {
    if (!name) {
        return E_POINTER;
    }
    const auto record = readLastItemRecord(item);
    if (!record) {
        return E_INVALIDARG;
    }
    if (flags & SHGDN_FORPARSING) {
        // A name that stays the item's whatever is listed beside it: relative
        // to this folder, or from the desktop, as the address bar asks.
        return comBoundary([&] {
            std::wstring text = parsingComponent(*record);
            if (!(flags & SHGDN_INFOLDER)) text = parsingPath() + L"\\" + text;
            name->uType = STRRET_WSTR;
            return SHStrDupW(text.c_str(), &name->pOleStr);
        });
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
    if (!*newItem) {
        return E_OUTOFMEMORY;
    }
    location().itemChanged(record.kind == ItemKind::Device ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM, record, &renamed);
    return S_OK;
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

FolderLocation NamespaceFolder::location() {
    return FolderLocation(idList_.get());
}

HRESULT NamespaceFolder::GetCurFolder(PIDLIST_ABSOLUTE* idList) noexcept {
    if (!idList) {
        return E_POINTER;
    }
    *idList = nullptr;
    if (!idList_) {
        return S_FALSE;  // never initialised
    }
    *idList = allocator_.cloneIdList(idList_.get());
    return *idList ? S_OK : E_OUTOFMEMORY;
}

HRESULT NamespaceFolder::SetIDList(PCIDLIST_ABSOLUTE idList) noexcept {
    return Initialize(idList);
}

HRESULT NamespaceFolder::GetIDList(PIDLIST_ABSOLUTE* idList) noexcept {
    const HRESULT result = GetCurFolder(idList);
    return result == S_FALSE ? E_FAIL : result;
}
