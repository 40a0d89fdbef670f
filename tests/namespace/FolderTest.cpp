// The shell folder driven as the shell drives it, against simulated devices
// behind port numbers (in-process, through the port opener); then how items
// look: icons from the system image lists, the column sets, the texts of the
// list entries and the size and date formats of the locale.
#include "FolderTestSupport.h"
#include "devsim/SimulatedBus.h"
#include "link/Pause.h"
#include "namespace/IconExtractor.h"
#include "namespace/ItemColumns.h"
#include "namespace/ItemFormat.h"
#include "namespace/NamespaceFolder.h"
#include "namespace/SortState.h"
#include "protocol/ProtocolBytes.h"
#include "shell/Prompt.h"
#include "transfer/DeviceFileOperations.h"
#include "transfer/TransferObjects.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <cstring>
#include <optional>
#include <tuple>

namespace {

const HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4711));
const UINT error = MB_OK | MB_ICONEXCLAMATION, information = MB_OK | MB_ICONINFORMATION;

devsim::DeviceConfig corvia80(const std::string& serial, std::uint16_t version = 2) {
    return {.typeCode = 0x78, .serial = serial, .protocolVersion = version};
}

// A device name the catalogue remembers; none when it is absent.
std::optional<std::string> rememberedName(const std::string& serial) {
    char data[256] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Korvel\\Nimbrel\\DEVICES\\CV8", serial.c_str(), RRF_RT_REG_SZ,
                     nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.textsLoaded()) << "Nimbrel.dll is not beside the test";
        installFolderObjects(addTransferObjects);
    }

    // A root folder as the class factory makes it, with its owner window set
    // the way the view's CreateViewObject sets it (which also scans).
    ComPtr<NamespaceFolder> makeRoot() {
        auto root = makeComObject<NamespaceFolder>(true);
        ComPtr<IUnknown> view;
        EXPECT_EQ(root->CreateViewObject(owner, IID_IShellView, &view), E_NOINTERFACE);
        recorder_.reset();  // the view's scan is not what the tests look at
        recorder_.emplace(IDOK);
        return root;
    }
    // One device on COM4 with these files (as long as their names), and its root listing them.
    ComPtr<NamespaceFolder> filesOn4(std::initializer_list<const char*> names, Listing& files) {
        auto& device = bus_.attach(4, corvia80("CV8-0004"));
        for (const char* name : names)
            device.putFile(name, std::string(std::strlen(name), 'x'), {.year = 2023, .month = 11});
        auto root = makeRoot();
        files = listFolder(root);
        EXPECT_EQ(files.items.size(), names.size());
        return root;
    }
    HRESULT rename(NamespaceFolder& folder, PCUITEMID_CHILD item, const std::wstring& name, UniqueIdList& renamed) {
        PITEMID_CHILD out = nullptr;
        const HRESULT result = folder.SetNameOf(nullptr, item, name.c_str(), SHGDN_NORMAL, &out);
        renamed.reset(out);
        EXPECT_TRUE(SUCCEEDED(result) || !out) << "a failed rename handed out an identifier";
        return result;
    }
    // The prompts since the last call, each checked against text, caption, style and owner.
    void expectPrompts(const std::vector<std::tuple<std::wstring, std::wstring, UINT>>& expected, HWND to = owner) {
        const auto shown = recorder_->prompts();
        ASSERT_EQ(shown.size(), seen_ + expected.size()) << "prompts shown";
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const prompt::ShownPrompt& prompt = shown[seen_ + i];
            EXPECT_EQ(std::tie(prompt.text, prompt.caption, prompt.style), expected[i]) << "prompt " << seen_ + i;
            EXPECT_EQ(prompt.owner, to) << "owner of prompt " << seen_ + i;
        }
        seen_ = shown.size();
    }

    ComAndTexts com_;
    ScopedPause noWaits_{[](std::uint32_t) {}};
    devsim::SimulatedBus bus_;
    std::optional<prompt::Recorder> recorder_{std::in_place, IDOK};
    std::size_t seen_ = 0;
};

TEST_F(FolderTest, OneDeviceListsItsFilesOnlyForTheViewsFlagsAndAnUnreadableListShowsMessage13) {
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("NOTES.TXT", std::string(1234, 'x'), {.year = 2090, .month = 3, .day = 4, .second = 7});
    device.putFile("BOOT.NSF", "sys");
    auto root = makeRoot();
    EXPECT_EQ(listFolder(root, SHCONTF_FOLDERS).result, E_FAIL) << "flags 0x20 must not read the device";
    EXPECT_FALSE(root->showsDevices());

    const Listing listing = listFolder(root);
    ASSERT_EQ(listing.result, S_OK);
    ASSERT_EQ(listing.items.size(), 2u);
    const ItemRecord notes = *readLastItemRecord(listing.named("NOTES.TXT"));
    EXPECT_EQ(std::tie(notes.kind, notes.size, notes.year, notes.month, notes.second),
              std::make_tuple(ItemKind::File, 1234u, 2090u, std::uint8_t{3}, std::uint8_t{7}));
    EXPECT_EQ(readLastItemRecord(listing.named("BOOT.NSF"))->kind, ItemKind::SystemFile);
    EXPECT_EQ(root->currentDevice().portNumber, 4u);
    expectPrompts({});

    device.setFaults({.nak = devsim::Faults::Nak{.at = 1, .code = 5, .confirming = ProtocolBytes::GET_FILE_LIST}});
    EXPECT_EQ(listFolder(root).result, E_FAIL);
    expectPrompts({{L"Cannot read the file list from device Corvia 80 (COM 4).", L"An error occurred!", error}});
}

TEST_F(FolderTest, NoDeviceShowsMessage16OnEveryEnumerationAndTheViewsCreationRescans) {
    bus_.attach(9, {.typeCode = 0x90, .serial = "OTHER"});  // found, never used
    auto root = makeRoot();
    EXPECT_EQ(listFolder(root).result, E_FAIL);
    EXPECT_EQ(listFolder(root, SHCONTF_FOLDERS).result, E_FAIL);
    const std::wstring none = L"No supported devices connected.";
    expectPrompts({{none, L"Information", information}, {none, L"Information", information}});
    EXPECT_TRUE(root->showsDevices());

    bus_.attach(6, corvia80("CV8-0006"));
    ComPtr<IUnknown> object;
    EXPECT_EQ(root->CreateViewObject(owner, IID_IShellView, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(root->deviceCount(), 1) << "the view's creation must rescan";
    EXPECT_EQ(root->CreateViewObject(owner, IID_IDropTarget, &object), S_OK);
    EXPECT_EQ(root->CreateViewObject(owner, IID_IShellView, nullptr), E_POINTER);
}

TEST_F(FolderTest, FirstEnumerationScansAndShowsMessage28ForEveryTooOldFirmwareInPortOrder) {
    bus_.attach(12, {.typeCode = 0x72, .serial = "MN2-0012", .protocolVersion = 0});
    bus_.attach(5, {.typeCode = 0x74, .serial = "CV4-0005", .protocolVersion = 0});
    bus_.attach(8, corvia80("CV8-0008"));
    auto root = makeComObject<NamespaceFolder>(true);  // never had a view: the enumeration scans
    EXPECT_EQ(listFolder(root, SHCONTF_FOLDERS).result, E_FAIL) << "one usable device and flags 0x20";
    const std::wstring upgrade =
        L" is supported, but you need to upgrade your Firmware (at least 2.10 or higher) in "
        L"order to use it inside the explorer.";
    expectPrompts({{L"Corvia 40 (CV4-0005) connectet to COM 5" + upgrade, L"Information", information},
                   {L"Minnow (MN2-0012) connectet to COM 12" + upgrade, L"Information", information}},
                  nullptr);
    EXPECT_EQ(root->deviceCount(), 1);
}

TEST_F(FolderTest, OpeningADeviceListsItsFilesAndAnUnpluggedOrReplacedOneShowsMessage21) {
    bus_.attach(3, corvia80("CV8-0003")).putFile("A.TXT", "a");
    bus_.attach(7, corvia80("CV8-0007")).putFile("B.TXT", "bb");
    auto root = makeRoot();
    const Listing devices = listFolder(root);
    ASSERT_EQ(devices.items.size(), 2u);
    ComPtr<IShellFolder> second;
    ASSERT_EQ(root->BindToObject(devices.id(1), nullptr, IID_IShellFolder, &second), S_OK);
    EXPECT_EQ(listFolder(second, SHCONTF_FOLDERS).result, E_FAIL) << "the shell's probing must not read the device";
    EXPECT_EQ(listFolder(second).names(), std::vector<std::string>{"B.TXT"});
    EXPECT_EQ(static_cast<NamespaceFolder*>(second.Get())->currentDevice().portNumber, 7u);
    ComPtr<IUnknown> wrong;
    EXPECT_EQ(root->BindToObject(devices.id(0), nullptr, IID_IEnumIDList, &wrong), E_NOINTERFACE);
    expectPrompts({});

    bus_.detach(3);
    bus_.attach(7, {.typeCode = 0x74, .serial = "CV4-0007"});  // another model now
    for (std::size_t index : {0u, 1u}) {
        ComPtr<IShellFolder> folder;
        EXPECT_EQ(root->BindToObject(devices.id(index), nullptr, IID_IShellFolder, &folder), E_FAIL);
        EXPECT_EQ(folder, nullptr);
    }
    expectPrompts({{L"No communication with Corvia 80 possible.", L"An error occurred!", error},
                   {L"No communication with Corvia 80 (2) possible.", L"An error occurred!", error}});
}

TEST_F(FolderTest, CompareIdsFollowsColumnAndDirectionAndAttributesAndNamesComeFromTheFirstItem) {
    Listing files;
    auto root = filesOn4({"apple.txt", "Banana.txt", "CORE.NSF"}, files);
    const auto a = files.named("apple.txt"), b = files.named("Banana.txt");
    EXPECT_EQ(root->CompareIDs(0, a, b), -1) << "names ignore case";
    EXPECT_EQ(root->CompareIDs(1, a, b), -1) << "9 bytes before 10";
    EXPECT_EQ(root->CompareIDs(0, a, a), 0);
    EXPECT_EQ(root->CompareIDs(7, a, b), 0) << "unknown columns compare equal";
    sortState().direction = -1;
    EXPECT_EQ(root->CompareIDs(0, a, b), 1) << "descending reverses the name order";

    PCUITEMID_CHILD three[] = {a, files.named("CORE.NSF"), files.named("CORE.NSF")};
    SFGAOF attributes = 0xFFFFFFFF;
    EXPECT_EQ(root->GetAttributesOf(3, three, &attributes), S_OK);
    EXPECT_EQ(attributes, 0x33u) << "only the first of three counts, and the mask is overwritten";
    EXPECT_EQ(root->GetAttributesOf(1, &three[1], &attributes), S_OK);
    EXPECT_EQ(attributes, 0x88033u);
    EXPECT_EQ(displayName(*root.Get(), a), "apple.txt");

    bus_.attach(9, corvia80("CV8-0009"));
    root = makeRoot();
    const Listing devices = listFolder(root);
    ASSERT_EQ(devices.items.size(), 2u);
    PCUITEMID_CHILD first = devices.id(0);
    EXPECT_EQ(root->GetAttributesOf(1, &first, &attributes), S_OK);
    EXPECT_EQ(attributes, 0x28200110u);
    ComPtr<IUnknown> object;
    EXPECT_EQ(root->GetUIObjectOf(owner, 1, &first, IID_IExtractIconA, nullptr, &object), S_OK);
    EXPECT_EQ(root->GetUIObjectOf(owner, 1, &first, IID_IExtractIconA, nullptr, nullptr), E_POINTER);
}

TEST_F(FolderTest, TwoDevicesAreListedInPortOrderWithCatalogueNamesAndRenamedUpTo64CharactersWithoutTraffic) {
    bus_.attach(7, corvia80("CV8-0007"));
    bus_.attach(3, corvia80("CV8-0003"));
    auto root = makeRoot();
    const Listing devices = listFolder(root);
    ASSERT_EQ(devices.result, S_OK);
    ASSERT_EQ(devices.names(), (std::vector<std::string>{"Corvia 80", "Corvia 80 (2)"}));
    EXPECT_TRUE(root->showsDevices());
    EXPECT_EQ(devices.record(1).port, 7u);
    EXPECT_EQ(displayName(*root.Get(), devices.id(1)), "Corvia 80 (2)");
    // The names are remembered: a new folder lists them again, counter unchanged.
    EXPECT_EQ(listFolder(makeRoot()).names(), devices.names());
    EXPECT_EQ(rememberedName("CV8-0007"), "Corvia 80 (2)");

    const auto eventsBefore = bus_.device(3).events().size();
    UniqueIdList renamed, second;
    EXPECT_EQ(rename(*root.Get(), devices.id(0), std::wstring(65, L'n'), renamed), E_FAIL);
    const std::wstring longest = L"Kitchen " + std::wstring(56, L'k');
    ASSERT_EQ(rename(*root.Get(), devices.id(0), longest, renamed), S_OK);
    const ItemRecord record = *readLastItemRecord(renamed.get());
    EXPECT_EQ(fieldText(record.name), narrow(longest));
    EXPECT_EQ(std::tie(record.kind, record.port, record.model), std::make_tuple(ItemKind::Device, 3u, 0x78u));
    EXPECT_EQ(fieldText(record.serial), "CV8-0003");
    EXPECT_EQ(rememberedName("CV8-0003"), narrow(longest));
    EXPECT_EQ(bus_.device(3).events().size(), eventsBefore) << "a device rename is no device traffic";
    ASSERT_EQ(rename(*root.Get(), devices.id(1), L"Kitchen", second), S_OK);
    ASSERT_EQ(rename(*root.Get(), devices.id(0), L"Desk", renamed), S_OK);
    EXPECT_EQ(listFolder(root).names(), (std::vector<std::string>{"Desk", "Kitchen"}));
    expectPrompts({});
}

TEST_F(FolderTest, RenamingAndDeletingAFileChangeTheDeviceAndRefusalsShowMessage25Or30Or31EvenWithoutADevice) {
    Listing files;
    auto root = filesOn4({"OLD.TXT", "B.TXT"}, files);
    auto& device = bus_.device(4);
    UniqueIdList renamed;
    ASSERT_EQ(rename(*root.Get(), files.named("OLD.TXT"), L"NEW.NSF", renamed), S_OK);
    EXPECT_TRUE(device.hasFile("NEW.NSF") && !device.hasFile("OLD.TXT"));
    const ItemRecord record = *readLastItemRecord(renamed.get());
    EXPECT_EQ(fieldText(record.name), "NEW.NSF");
    EXPECT_EQ(std::tie(record.kind, record.size, record.year, record.month),
              std::make_tuple(ItemKind::File, 7u, 2023u, std::uint8_t{11}))
        << "the kind is kept for the new name";
    expectPrompts({});

    EXPECT_EQ(rename(*root.Get(), files.named("B.TXT"), L"NEW.NSF", renamed), E_FAIL);
    device.setFaults({.nak = devsim::Faults::Nak{.at = 1, .code = 16, .confirming = ProtocolBytes::RENAME_FILE}});
    EXPECT_EQ(rename(*root.Get(), files.named("B.TXT"), L"C.TXT", renamed), E_FAIL);
    EXPECT_TRUE(device.hasFile("B.TXT"));
    EXPECT_EQ(deleteFileOnDevice(*root.Get(), "NEW.NSF"), 1u);
    EXPECT_FALSE(device.hasFile("NEW.NSF"));
    EXPECT_EQ(deleteFileOnDevice(*root.Get(), "NEW.NSF"), 0u);
    const std::wstring fault = L"An error occurred!";
    expectPrompts({{L"Cannot rename File \"B.TXT\" to \"NEW.NSF\". The target filename already exists.", fault, error},
                   {L"Could not rename file \"B.TXT\" for unknown reason.", fault, error},
                   {L"Could not delete file \"NEW.NSF\".", fault, error}});
    auto empty = makeComObject<NamespaceFolder>(true);
    EXPECT_EQ(deleteFileOnDevice(*empty.Get(), "X.TXT"), 0u);
    EXPECT_EQ(renameFileOnDevice(*empty.Get(), "X.TXT", "Y.TXT"), 0u);
    EXPECT_EQ(recorder_->prompts().size(), seen_ + 2) << "each failure without a device is told";
}

TEST_F(FolderTest, RenamingASystemFileShowsMessage47AndNoKeepsTheNameWithoutDeviceTraffic) {
    Listing files;
    auto root = filesOn4({"CORE.NSF"}, files);
    auto& device = bus_.device(4);
    const auto eventsBefore = device.events().size();
    recorder_->setAnswer(IDNO);
    UniqueIdList renamed;
    EXPECT_EQ(rename(*root.Get(), files.id(0), L"CORE2.NSF", renamed), E_FAIL);
    EXPECT_EQ(device.events().size(), eventsBefore);
    EXPECT_TRUE(device.hasFile("CORE.NSF"));
    expectPrompts({{L"Renaming a system file may lead to an unstable or unusable system.  Do you want to continue?",
                    L"Attention", MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2}});

    recorder_->setAnswer(IDYES);
    ASSERT_EQ(rename(*root.Get(), files.id(0), L"CORE2.NSF", renamed), S_OK);
    EXPECT_TRUE(device.hasFile("CORE2.NSF"));
    EXPECT_EQ(readLastItemRecord(renamed.get())->kind, ItemKind::SystemFile);
}

TEST_F(FolderTest, EnumeratorsWalkSkipResetCloneKeepTheirOwnListAndKeepTheModuleLoaded) {
    const long before = moduleState().liveObjects();
    Listing files;
    auto root = filesOn4({"1.TXT", "2.TXT", "3.TXT"}, files);
    ComPtr<IEnumIDList> enumerator, clone;
    ASSERT_EQ(root->EnumObjects(nullptr, viewFlags, &enumerator), S_OK);
    PITEMID_CHILD items[4] = {};
    ULONG fetched = 99;
    EXPECT_EQ(enumerator->Next(2, items, nullptr), E_POINTER);
    EXPECT_EQ(enumerator->Next(1, nullptr, &fetched), E_POINTER);
    ASSERT_EQ(enumerator->Next(2, items, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    UniqueIdList first(items[0]), second(items[1]);
    ASSERT_EQ(enumerator->Clone(&clone), S_OK);

    bus_.device(4).putFile("4.TXT", "x");  // a relisting gives the folder a new list, not the enumerators
    EXPECT_EQ(listFolder(root).items.size(), 4u);
    ASSERT_EQ(enumerator->Next(4, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    UniqueIdList third(items[0]);
    ASSERT_EQ(clone->Next(1, items, nullptr), S_OK);
    UniqueIdList cloneThird(items[0]);
    EXPECT_EQ(std::memcmp(third.get(), cloneThird.get(), itemIdBytes), 0)
        << "the clone goes on where its original stood";
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(0), S_OK);
    EXPECT_EQ(enumerator->Skip(3), S_OK);
    EXPECT_EQ(enumerator->Skip(1), S_FALSE);
    EXPECT_EQ(enumerator->Next(1, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    clone.Reset();
    root.Reset();
    EXPECT_EQ(moduleState().liveObjects(), before + 2) << "the enumerator holds its folder";
    EXPECT_FALSE(moduleState().canUnload());
    enumerator.Reset();
    EXPECT_EQ(moduleState().liveObjects(), before);
}

std::string localDateTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    const SYSTEMTIME time{year, month, 0, day, hour, minute, second, 0};
    char date[32] = {}, clock[32] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, sizeof clock);
    return std::string(date) + " " + clock;
}

// A file listed as 2024-06-30 23:59:59.
ItemRecord fileRecord(const char* name, std::uint32_t size = 0) {
    FileListEntry entry{{}, 24, 6, 30, 23, 59, 59, size};
    std::strcpy(entry.name, name);
    return makeFileRecord(entry);
}

class ColumnsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.textsLoaded()); }
    UniqueIdList idOf(const ItemRecord& record) { return UniqueIdList(allocator_.createItemId(record)); }

    std::pair<int, UINT> icon(const ItemRecord& record) {
        UniqueIdList id = idOf(record);
        PCUITEMID_CHILD item = id.get();
        ComPtr<IExtractIconA> extractor;
        EXPECT_EQ(folder_->GetUIObjectOf(nullptr, 1, &item, IID_IExtractIconA, nullptr, &extractor), S_OK);
        int index = -1;
        UINT flags = 0;
        EXPECT_EQ(extractor->GetIconLocation(0, nullptr, 0, &index, &flags), S_OK);
        return {index, flags};
    }
    // What the list would get for one sub-item.
    std::pair<std::string, int> shown(PITEMID_CHILD item, int subItem, UINT mask, int room = 64) {
        std::string buffer(static_cast<std::size_t>(room), '#');
        LVITEMA entry{.mask = mask, .iSubItem = subItem, .pszText = buffer.data(), .cchTextMax = room, .iImage = -7};
        EXPECT_EQ(fillDisplayInfo(*folder_.Get(), nullptr, item, entry), 0);
        EXPECT_TRUE(!(mask & LVIF_IMAGE) || entry.mask == (LVIF_IMAGE | LVIF_DI_SETITEM)) << "mask " << entry.mask;
        return {(mask & LVIF_TEXT) ? std::string(entry.pszText) : std::string(), entry.iImage};
    }

    ComAndTexts com_;
    ItemIdAllocator allocator_;
    ComPtr<NamespaceFolder> folder_ = makeComObject<NamespaceFolder>(true);
};

TEST_F(ColumnsTest, SizesGroupThreeDigitsWithCommasInTheTestLocaleAndEndInB) {
    const std::pair<std::uint32_t, const char*> sizes[] = {
        {0, "0 B"}, {999, "999 B"}, {1000, "1,000 B"}, {123456, "123,456 B"}, {4294967295u, "4,294,967,295 B"}};
    for (const auto& [size, text] : sizes) EXPECT_EQ(formatSize(size), text) << size << " bytes";
}

TEST_F(ColumnsTest, DatesOutOfRangeAreCorrectedAndTheCorrectionsKept) {
    ItemRecord record = fileRecord("X.TXT");
    std::tie(record.year, record.month, record.day, record.hour, record.minute, record.second) =
        std::make_tuple(0u, 13, 0, 25, 75, 61);
    EXPECT_EQ(formatDateTime(record), localDateTime(1980, 5, 15, 12, 30, 0));
    EXPECT_EQ(std::tie(record.year, record.month, record.day, record.hour, record.minute, record.second),
              std::make_tuple(1980u, 5, 15, 12, 30, 0));

    ItemRecord edge = fileRecord("Y.TXT");
    EXPECT_EQ(formatDateTime(edge), localDateTime(2024, 6, 30, 23, 59, 59)) << "the last second passes unchanged";
    edge.year = 2090;
    EXPECT_NE(formatDateTime(edge).find("2090"), std::string::npos);
    edge.year = 2101;
    formatDateTime(edge);
    EXPECT_EQ(edge.year, 1980u);
}

TEST_F(ColumnsTest, FilesTakeTheIconOfTheirExtensionAndDevicesTheFolderImage) {
    const auto [lower, flags] = icon(fileRecord("a.txt"));
    EXPECT_GE(lower, 0);
    EXPECT_EQ(flags, static_cast<UINT>(GIL_PERCLASS));
    EXPECT_EQ(icon(fileRecord("b.TXT")).first, lower) << "the extension decides, whatever its case";
    EXPECT_EQ(icon(fileRecord("c.qqzz")).first, icon(fileRecord("d.zzqq")).first) << "unknown extensions share one";
    EXPECT_EQ(icon(makeDeviceRecord("Corvia 80", 3, "CV8-0003", 0x78)), std::make_pair(3, UINT{GIL_PERCLASS}));

    ComPtr<IExtractIconA> empty = makeComObject<IconExtractor>(nullptr);  // an item without a record
    int index = 0;
    UINT outFlags = 0;
    EXPECT_EQ(empty->GetIconLocation(0, nullptr, 0, &index, &outFlags), E_FAIL);
    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(empty->Extract(nullptr, static_cast<UINT>(lower), &large, &small, 0), S_OK);
    EXPECT_TRUE(large && small);
    DestroyIcon(large);
    DestroyIcon(small);
    EXPECT_EQ(empty->Extract(nullptr, 0, nullptr, &small, 0), E_FAIL);
    EXPECT_NE(systemImageList(true), systemImageList(false));
}

TEST_F(ColumnsTest, EntriesShowNamePortSerialOrSizeAndCorrectedDateAndKeepTheCorrection) {
    UniqueIdList device = idOf(makeDeviceRecord("Corvia 80 (2)", 12, "CV8-0012", 0x78));
    EXPECT_EQ(shown(device.get(), 0, LVIF_TEXT).first, "Corvia 80 (2)");
    EXPECT_EQ(shown(device.get(), 1, LVIF_TEXT).first, "COM 12");
    EXPECT_EQ(shown(device.get(), 2, LVIF_TEXT).first, "CV8-0012");
    EXPECT_EQ(shown(device.get(), 0, LVIF_TEXT, 7).first, "Corvia") << "cut to the buffer";
    EXPECT_EQ(shown(device.get(), 0, LVIF_IMAGE).second, 3);

    ItemRecord record = fileRecord("REPORT.TXT", 1000);
    record.month = 13;
    UniqueIdList file = idOf(record);
    EXPECT_EQ(shown(file.get(), 1, LVIF_TEXT).first, "1,000 B");
    EXPECT_EQ(shown(file.get(), 2, LVIF_TEXT).first, localDateTime(2024, 5, 30, 23, 59, 59));
    EXPECT_EQ(readLastItemRecord(file.get())->month, 5) << "the correction is written into the entry's identifier";
    EXPECT_EQ(shown(file.get(), 0, LVIF_IMAGE).second, icon(fileRecord("other.txt")).first);
}

}  // namespace
