// The shell folder driven as the shell and its own view drive it, against
// simulated devices behind port numbers (in-process, through the port
// opener): listings, the device a folder keeps to, names and renames, the
// data object it makes; then how items look: icons from the system image
// lists, the column sets, and the texts of the list entries in the formats
// of the locale.
#include "FolderTestSupport.h"
#include "devsim/SimulatedBus.h"
#include "folder/NamespaceFolder.h"
#include "link/Pause.h"
#include "namespace/IconExtractor.h"
#include "namespace/ItemColumns.h"
#include "namespace/ItemFormat.h"
#include "namespace/ShellChanges.h"
#include "protocol/DeviceErrors.h"
#include "protocol/ProtocolBytes.h"
#include "resources/resource.h"
#include "shell/Prompt.h"
#include "transfer/DataValues.h"
#include "transfer/DeviceFileOperations.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <cstring>
#include <optional>
#include <tuple>

namespace {

using namespace ProtocolBytes;
const UINT error = MB_OK | MB_ICONEXCLAMATION, information = MB_OK | MB_ICONINFORMATION;
const UINT question = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;

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

// What a prompt showed: its text, caption and style.
using Shown = std::tuple<std::wstring, std::wstring, UINT>;

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.textsLoaded()) << "Nimbrel.dll is not beside the test"; }

    // A root folder after its view's scan (what the tests look at comes after it).
    ComPtr<NamespaceFolder> makeRoot() {
        auto root = makeComObject<NamespaceFolder>();
        root->refresh(owner());
        seen_ = recorder_.prompts().size();
        return root;
    }
    // One device on COM4 with these files (as long as their names), and its root listing them.
    ComPtr<NamespaceFolder> filesOn4(std::initializer_list<const char*> names, Listing& files) {
        auto& device = bus_.attach(4, corvia80("CV8-0004"));
        for (const char* name : names)
            device.putFile(name, std::string(std::strlen(name), 'x'), {.year = 2023, .month = 11});
        auto root = makeRoot();
        files = listFolder(root, viewFlags, owner());
        EXPECT_EQ(files.items.size(), names.size());
        return root;
    }
    // The folder of a device item of `root`.
    ComPtr<NamespaceFolder> open(NamespaceFolder& root, PCUITEMID_CHILD item, HRESULT expected = S_OK) {
        ComPtr<DeviceFolder> folder;
        EXPECT_EQ(
            root.BindToObject(item, nullptr, __uuidof(DeviceFolder), reinterpret_cast<void**>(folder.GetAddressOf())),
            expected);
        return static_cast<NamespaceFolder*>(folder.Get());
    }
    HRESULT rename(NamespaceFolder& folder, PCUITEMID_CHILD item, const std::wstring& name, UniqueIdList& renamed) {
        PITEMID_CHILD out = nullptr;
        const HRESULT result = folder.SetNameOf(owner(), item, name.c_str(), SHGDN_NORMAL, &out);
        renamed.reset(out);
        EXPECT_TRUE(SUCCEEDED(result) || !out) << "a failed rename handed out an identifier";
        return result;
    }
    // The prompts since the last call, each checked against text, caption, style and owner.
    void expectPrompts(const std::vector<Shown>& expected, std::optional<HWND> to = std::nullopt) {
        const auto shown = recorder_.prompts();
        ASSERT_EQ(shown.size(), seen_ + expected.size()) << "prompts shown";
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const prompt::ShownPrompt& prompt = shown[seen_ + i];
            EXPECT_EQ(std::tie(prompt.text, prompt.caption, prompt.style), expected[i]) << "prompt " << seen_ + i;
            EXPECT_EQ(prompt.owner, to.value_or(owner())) << "owner of prompt " << seen_ + i;
        }
        seen_ = shown.size();
    }
    HWND owner() const { return owner_.get(); }

    ComAndTexts com_;
    ScopedPause noWaits_{[](std::uint32_t) {}};
    devsim::SimulatedBus bus_;
    prompt::Recorder recorder_{IDOK};
    UniqueWindow owner_ = messageWindow();
    std::size_t seen_ = 0;
};

TEST_F(FolderTest, TheRootListsItsOneDevicesFilesForTheViewOnlyNoDeviceGives16AndAnUnreadableList13) {
    auto empty = makeRoot();
    EXPECT_EQ(listFolder(empty, viewFlags, owner()).result, E_FAIL);
    EXPECT_EQ(listFolder(empty, SHCONTF_FOLDERS, owner()).result, E_FAIL);
    const Shown none{L"No supported devices connected.", L"Information", information};
    expectPrompts({none, none});
    EXPECT_TRUE(empty->showsDevices());

    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("NOTES.TXT", std::string(1234, 'x'), {.year = 2090, .month = 3, .day = 4, .second = 7});
    device.putFile("BOOT.NSF", "sys");
    ComPtr<IUnknown> view;
    EXPECT_EQ(empty->CreateViewObject(owner(), IID_IShellView, &view), S_OK);
    EXPECT_FALSE(empty->showsDevices()) << "the view's creation must rescan";
    EXPECT_EQ(listFolder(empty, SHCONTF_FOLDERS).items.size(), 0u) << "the device holds no folders";
    const Listing listing = listFolder(empty, viewFlags, owner());
    ASSERT_EQ(listing.items.size(), 2u);
    const ItemRecord notes = *readLastItemRecord(listing.named("NOTES.TXT"));
    EXPECT_EQ(std::tie(notes.kind, notes.size, notes.year, notes.month, notes.second),
              std::make_tuple(ItemKind::File, 1234u, 2090u, std::uint8_t{3}, std::uint8_t{7}));
    EXPECT_EQ(readLastItemRecord(listing.named("BOOT.NSF"))->kind, ItemKind::SystemFile);
    expectPrompts({});

    device.setFaults({.nak = {{.at = 1, .code = DeviceError::MissingStartOfData, .confirming = GET_FILE_LIST}}});
    EXPECT_EQ(listFolder(empty, viewFlags, owner()).result, E_FAIL);
    expectPrompts({{L"Cannot read the file list from device Corvia 80 (COM 4).", L"An error occurred!", error}});
}

TEST_F(FolderTest, TheFirstScanTellsOfEveryTooOldFirmwareInPortOrder) {
    bus_.attach(12, {.typeCode = 0x72, .serial = "MN2-0012", .protocolVersion = 0});
    bus_.attach(5, {.typeCode = 0x74, .serial = "CV4-0005", .protocolVersion = 0});
    bus_.attach(8, corvia80("CV8-0008"));
    auto root = makeComObject<NamespaceFolder>();  // never had a view: the enumeration scans
    EXPECT_EQ(listFolder(root, SHCONTF_FOLDERS, owner()).result, S_OK) << "one usable device and flags 0x20";
    const std::wstring upgrade =
        L" is supported, but you need to upgrade your Firmware (at least 2.10 or higher) in "
        L"order to use it inside the explorer.";
    expectPrompts({{L"Corvia 40 (CV4-0005) connectet to COM 5" + upgrade, L"Information", information},
                   {L"Minnow (MN2-0012) connectet to COM 12" + upgrade, L"Information", information}});
    EXPECT_FALSE(root->showsDevices());
}

// After a rescan a device folder lists its own device or, when that one is
// gone or replaced, nothing: never the device left on another port.
TEST_F(FolderTest, ADeviceFolderKeepsToItsDeviceAndAnUnpluggedOrReplacedOneGives21) {
    bus_.attach(3, corvia80("CV8-0003")).putFile("A.TXT", "a");
    bus_.attach(7, corvia80("CV8-0007")).putFile("B.TXT", "bb");
    auto root = makeRoot();
    const Listing devices = listFolder(root, viewFlags, owner());
    ASSERT_EQ(devices.names(), (std::vector<std::string>{"Corvia 80", "Corvia 80 (2)"}));
    auto second = open(*root.Get(), devices.id(1));
    ASSERT_NE(second, nullptr);
    const Listing files = listFolder(second, viewFlags, owner());
    EXPECT_EQ(files.names(), std::vector<std::string>{"B.TXT"});
    ComPtr<IUnknown> wrong;
    EXPECT_EQ(root->BindToObject(devices.id(0), nullptr, IID_IEnumIDList, &wrong), E_NOINTERFACE);
    expectPrompts({});

    const std::size_t firstDeviceTraffic = bus_.device(3).events().size();
    bus_.detach(7);
    second->refresh(owner());
    EXPECT_EQ(listFolder(second, viewFlags, owner()).result, E_FAIL);
    EXPECT_EQ(second->device(), std::nullopt);
    ComPtr<IDataObject> data;
    PCUITEMID_CHILD file = files.id(0);
    EXPECT_EQ(second->dataObjectOf(1, &file, owner(), nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(bus_.device(3).events().size(), firstDeviceTraffic) << "the folder went to the device left";
    bus_.attach(7, corvia80("CV8-0099"));  // the same model with another serial
    second->refresh(owner());
    EXPECT_EQ(listFolder(second, viewFlags, owner()).result, E_FAIL);
    const Shown gone{L"No communication with Corvia 80 (2) possible.", L"An error occurred!", error};
    expectPrompts({gone, gone});

    // The shell binds with no window and hears only the failure; our own opening tells its owner.
    bus_.detach(3);
    EXPECT_EQ(open(*root.Get(), devices.id(0), E_FAIL), nullptr);
    ComPtr<DeviceFolder> replaced;
    EXPECT_EQ(root->openDevice(devices.id(1), owner(), &replaced), E_FAIL);
    expectPrompts({gone});
}

// The data object of files keeps the device it was made for: the root
// listing another device after a rescan changes nothing for it.
TEST_F(FolderTest, ADataObjectKeepsToTheDeviceItWasMadeFor) {
    Listing files;
    auto root = filesOn4({"NOTES.TXT"}, files);
    ComPtr<IDataObject> data;
    PCUITEMID_CHILD notes = files.id(0);
    ASSERT_EQ(root->dataObjectOf(1, &notes, owner(), nullptr, &data), S_OK);
    bus_.detach(4);
    auto& other = bus_.attach(5, corvia80("CV8-0005"));
    other.putFile("NOTES.TXT", "other");
    root->refresh(owner());
    const std::size_t identified = other.events().size();
    EXPECT_EQ(readValue(*data.Get(), moduleState().clipboardFormats().devicePort), 4u);
    FORMATETC contents{static_cast<CLIPFORMAT>(moduleState().clipboardFormats().fileContents), nullptr,
                       DVASPECT_CONTENT, 0, TYMED_ISTREAM};
    STGMEDIUM medium{};
    EXPECT_EQ(data->GetData(&contents, &medium), E_ABORT);
    EXPECT_EQ(other.events().size(), identified) << "the download went to the device on another port";
}

TEST_F(FolderTest, ItemsCompareByColumnOrIdentityAsSuccessCodesAndAttributesComeFromTheFirstItem) {
    Listing files;
    auto root = filesOn4({"apple.txt", "Banana.txt", "CORE.NSF", "A.TXT", "B.TXT"}, files);
    const auto a = files.named("apple.txt"), b = files.named("Banana.txt");
    const auto sameSizeA = files.named("A.TXT"), sameSizeB = files.named("B.TXT");
    struct Row {
        LPARAM parameter;
        PCUITEMID_CHILD first, second;
        short order;
        const char* why;
    };
    for (const Row& row : std::initializer_list<Row>{
             {0, a, b, -1, "names ignore case"},
             {1, a, b, -1, "9 bytes before 10"},
             {SHCIDS_CANONICALONLY | 0, a, b, 1, "identity is the exact name"},
             {SHCIDS_CANONICALONLY, a, a, 0, "an item is itself"},
             {1, sameSizeA, sameSizeB, 0, "equal sizes"},
             {SHCIDS_ALLFIELDS | 1, sameSizeA, sameSizeB, -1, "every field breaks the tie"},
             {7, a, b, 0, "unknown columns compare equal"},
             {SHCIDS_ALLFIELDS | 7, b, a, -1, "but not with every field: bytes decide"},
         }) {
        const HRESULT result = root->CompareIDs(row.parameter, row.first, row.second);
        EXPECT_TRUE(SUCCEEDED(result)) << row.why << ": " << std::hex << result;
        EXPECT_EQ(static_cast<short>(HRESULT_CODE(result)), row.order) << row.why;
    }

    const SFGAOF file = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
    PCUITEMID_CHILD three[] = {a, files.named("CORE.NSF"), files.named("CORE.NSF")};
    SFGAOF attributes = 0xFFFFFFFF;
    EXPECT_EQ(root->GetAttributesOf(3, three, &attributes), S_OK);
    EXPECT_EQ(attributes, file) << "only the first of three counts, and the mask is overwritten";
    EXPECT_EQ(root->GetAttributesOf(1, &three[1], &attributes), S_OK);
    EXPECT_EQ(attributes, file | SFGAO_GHOSTED | SFGAO_HIDDEN);

    bus_.attach(9, corvia80("CV8-0009"));
    root = makeRoot();
    const Listing devices = listFolder(root, viewFlags, owner());
    PCUITEMID_CHILD first = devices.id(0);
    EXPECT_EQ(root->GetAttributesOf(1, &first, &attributes), S_OK);
    EXPECT_EQ(attributes,
              SFGAOF{SFGAO_FOLDER | SFGAO_BROWSABLE | SFGAO_NEWCONTENT | SFGAO_DROPTARGET | SFGAO_CANRENAME});
    EXPECT_EQ(root->GetUIObjectOf(owner(), 1, &first, IID_IExtractIconA, nullptr, nullptr), E_POINTER);
}

// The navigation pane, the address bar and a restore ask with no window:
// nothing is shown, and a question for folders leaves a device alone.
TEST_F(FolderTest, WithoutAnOwnerNothingIsShownAndAQuestionForFoldersLeavesTheDeviceAlone) {
    const long before = moduleState().liveObjects();
    EXPECT_EQ(listFolder(makeComObject<NamespaceFolder>()).result, E_FAIL) << "no device";
    bus_.attach(5, {.typeCode = 0x74, .serial = "CV4-0005", .protocolVersion = 0});
    auto& device = bus_.attach(3, corvia80("CV8-0003"));
    bus_.attach(7, corvia80("CV8-0007"));
    auto root = makeComObject<NamespaceFolder>();
    const Listing devices = listFolder(root, SHCONTF_FOLDERS);  // the first scan finds a too old firmware
    ASSERT_EQ(devices.items.size(), 2u);
    EXPECT_EQ(listFolder(root, SHCONTF_NONFOLDERS).items.size(), 0u);
    auto folder = open(*root.Get(), devices.id(0));
    const std::size_t traffic = device.events().size();
    EXPECT_EQ(listFolder(folder, SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN).result, S_OK);
    EXPECT_EQ(device.events().size(), traffic) << "a question for folders went to the device";
    device.setFaults({.nak = {{.at = 1, .code = DeviceError::MissingStartOfData, .confirming = GET_FILE_LIST}}});
    EXPECT_EQ(listFolder(folder).result, E_FAIL);
    bus_.detach(3);
    folder->refresh(nullptr);
    EXPECT_EQ(listFolder(folder).result, E_FAIL);
    EXPECT_EQ(open(*root.Get(), devices.id(0), E_FAIL), nullptr);
    EXPECT_EQ(recorder_.prompts().size(), 0u);
    folder.Reset();
    root.Reset();
    EXPECT_EQ(moduleState().liveObjects(), before) << "an opened device folder outlived its last reference";
}

// What the address bar, pins and restore keep: a name per item that parses
// back to the item from the root, whatever is listed beside it; the
// navigation pane hears of each change with those absolute identifiers.
TEST_F(FolderTest, ParsingNamesAreStableAndParseBackToTheItemsAndChangesAreToldWithThem) {
    auto& third = bus_.attach(3, corvia80("CV8-0003"));
    third.putFile("A%5C.TXT", "a");
    third.putFile("B.TXT", "b");
    bus_.attach(7, corvia80("CV8\\0007"));
    auto root = makeRoot();
    const USHORT desktop = 0;
    ASSERT_EQ(root->Initialize(reinterpret_cast<PCIDLIST_ABSOLUTE>(&desktop)), S_OK);
    const Listing devices = listFolder(root, viewFlags, owner());
    auto first = open(*root.Get(), devices.id(0));
    const Listing files = listFolder(first, viewFlags, owner());
    const PCUITEMID_CHILD a = files.named("A%5C.TXT");
    const std::wstring rootName = L"::{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}";
    struct Row {
        NamespaceFolder* folder;
        PCUITEMID_CHILD item;
        SHGDNF flags;
        std::wstring name;
    };
    for (const Row& row : std::initializer_list<Row>{
             {root.Get(), devices.id(0), SHGDN_FORPARSING, rootName + L"\\CV8-0003"},
             {root.Get(), devices.id(1), SHGDN_FORPARSING | SHGDN_INFOLDER, L"CV8%5C0007"},
             {root.Get(), devices.id(1), SHGDN_FORPARSING | SHGDN_FORADDRESSBAR, rootName + L"\\CV8%5C0007"},
             {first.Get(), a, SHGDN_FORPARSING, rootName + L"\\CV8-0003\\A%255C.TXT"},
             {first.Get(), a, SHGDN_FORPARSING | SHGDN_INFOLDER, L"A%255C.TXT"},
             {root.Get(), devices.id(0), SHGDN_INFOLDER, L"Corvia 80"},
             {first.Get(), a, SHGDN_NORMAL, L"A%5C.TXT"},
         }) {
        STRRET name{};
        PWSTR text = nullptr;
        ASSERT_EQ(row.folder->GetDisplayNameOf(row.item, row.flags, &name), S_OK);
        ASSERT_EQ(StrRetToStrW(&name, row.item, &text), S_OK);
        EXPECT_EQ(std::wstring(text), row.name) << "flags " << row.flags;
        CoTaskMemFree(text);
    }

    // The address bar hands the root what follows its own name.
    const auto parsed = [&](const std::wstring& path, HRESULT expected = S_OK) {
        std::wstring text = path;
        PIDLIST_RELATIVE idList = nullptr;
        ULONG eaten = 0, attributes = SFGAO_FOLDER | SFGAO_CANDELETE;
        EXPECT_EQ(root->ParseDisplayName(nullptr, nullptr, text.data(), &eaten, &idList, &attributes), expected)
            << narrow(path);
        EXPECT_EQ(eaten, SUCCEEDED(expected) ? path.size() : 0u);
        return UniqueIdList(idList);
    };
    const UniqueIdList device = parsed(L"CV8%5C0007");
    EXPECT_EQ(root->CompareIDs(SHCIDS_CANONICALONLY | SHCIDS_ALLFIELDS, device.get(), devices.id(1)), S_OK);
    const UniqueIdList both(ILCombine(devices.id(0), a));
    EXPECT_EQ(root->CompareIDs(SHCIDS_CANONICALONLY, parsed(L"CV8-0003\\A%255C.TXT").get(), both.get()), S_OK);
    EXPECT_EQ(root->CompareIDs(0, devices.id(0), both.get()), MAKE_HRESULT(0, 0, 0xFFFF)) << "a folder first";
    PIDLIST_ABSOLUTE current = nullptr;
    ASSERT_EQ(first->GetCurFolder(&current), S_OK);
    EXPECT_EQ(root->CompareIDs(SHCIDS_CANONICALONLY, UniqueIdList(current).get(), devices.id(0)), S_OK);
    parsed(L"CV8-0003\\NONE.TXT", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    parsed(L"CV8%zz", E_INVALIDARG);

    shellchange::Recorder notices;
    UniqueIdList renamedDevice, renamedFile;
    ASSERT_EQ(rename(*root.Get(), devices.id(1), L"Desk", renamedDevice), S_OK);
    ASSERT_EQ(rename(*first.Get(), files.named("B.TXT"), L"C.TXT", renamedFile), S_OK);
    recorder_.setAnswer(IDYES);
    EXPECT_EQ(deleteSelection(*first->device(), owner(), {*readLastItemRecord(renamedFile.get())}, first->location()),
              1);
    expectPrompts({{L"Do you really want to delete the selected file \"C.TXT\"?", L"Attention", question}});

    // Each identifier told: the levels below the desktop, by the names they carry.
    const auto levels = [](const std::vector<BYTE>& bytes) {
        std::vector<std::string> names;
        for (auto item = reinterpret_cast<PCUIDLIST_RELATIVE>(bytes.data()); !ILIsEmpty(item); item = ILNext(item))
            names.emplace_back(fieldText(readFirstItemRecord(item)->name));
        return names;
    };
    using Names = std::vector<std::string>;
    const std::vector<std::tuple<LONG, Names, Names>> expected{
        {SHCNE_RENAMEFOLDER, {"Corvia 80 (2)"}, {"Desk"}},
        {SHCNE_RENAMEITEM, {"Corvia 80", "B.TXT"}, {"Corvia 80", "C.TXT"}},
        {SHCNE_DELETE, {"Corvia 80", "C.TXT"}, {}},
    };
    const auto told = notices.notices();
    ASSERT_EQ(told.size(), expected.size());
    for (std::size_t i = 0; i < told.size(); ++i)
        EXPECT_EQ(std::make_tuple(told[i].event, levels(told[i].first),
                                  told[i].second.empty() ? Names{} : levels(told[i].second)),
                  expected[i])
            << "notice " << i;

    bus_.detach(7);  // now the root lists the one device's files, and the saved names still parse
    root->refresh(owner());
    EXPECT_EQ(listFolder(root, viewFlags, owner()).items.size(), 1u);
    third.putFile("LATER.TXT", "l");
    EXPECT_TRUE(parsed(L"LATER.TXT")) << "a file come since the last listing";
    EXPECT_EQ(root->CompareIDs(SHCIDS_CANONICALONLY, parsed(L"A%255C.TXT").get(), a), S_OK);
    EXPECT_EQ(root->CompareIDs(SHCIDS_CANONICALONLY, parsed(L"CV8-0003\\A%255C.TXT").get(), both.get()), S_OK);
    expectPrompts({});
}

TEST_F(FolderTest, TwoDevicesAreListedInPortOrderWithCatalogueNamesAndRenamedUpTo64CharactersWithoutTraffic) {
    bus_.attach(7, corvia80("CV8-0007"));
    bus_.attach(3, corvia80("CV8-0003"));
    auto root = makeRoot();
    const Listing devices = listFolder(root, viewFlags, owner());
    ASSERT_EQ(devices.names(), (std::vector<std::string>{"Corvia 80", "Corvia 80 (2)"}));
    EXPECT_TRUE(root->showsDevices());
    EXPECT_EQ(devices.record(1).port, 7u);
    // The names are remembered: a new folder lists them again, counter unchanged.
    EXPECT_EQ(listFolder(makeRoot(), viewFlags, owner()).names(), devices.names());
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
    EXPECT_EQ(listFolder(root, viewFlags, owner()).names(), (std::vector<std::string>{"Desk", "Kitchen"}));
    expectPrompts({});
}

TEST_F(FolderTest, RenamingAndDeletingFilesChangeTheDeviceAndRefusalsAndSystemFilesAreTold) {
    Listing files;
    auto root = filesOn4({"OLD.TXT", "B.TXT", "CORE.NSF"}, files);
    auto& device = bus_.device(4);
    UniqueIdList renamed;
    ASSERT_EQ(rename(*root.Get(), files.named("OLD.TXT"), L"NEW.NSF", renamed), S_OK);
    EXPECT_TRUE(device.hasFile("NEW.NSF") && !device.hasFile("OLD.TXT"));
    const ItemRecord record = *readLastItemRecord(renamed.get());
    EXPECT_EQ(fieldText(record.name), "NEW.NSF");
    EXPECT_EQ(std::tie(record.kind, record.size, record.year, record.month),
              std::make_tuple(ItemKind::File, 7u, 2023u, std::uint8_t{11}))
        << "the kind is kept for the new name";

    EXPECT_EQ(rename(*root.Get(), files.named("B.TXT"), L"NEW.NSF", renamed), E_FAIL);
    device.setFaults({.nak = {{.at = 1, .code = DeviceError::CannotRenameFile, .confirming = RENAME_FILE}}});
    EXPECT_EQ(rename(*root.Get(), files.named("B.TXT"), L"C.TXT", renamed), E_FAIL);
    EXPECT_TRUE(device.hasFile("B.TXT"));
    const DeviceInfo onPort4 = *root->device();
    EXPECT_TRUE(deleteFileOnDevice(onPort4, "NEW.NSF", owner()));
    EXPECT_FALSE(deleteFileOnDevice(onPort4, "NEW.NSF", owner()));
    const std::wstring fault = L"An error occurred!";
    expectPrompts({{L"Cannot rename File \"B.TXT\" to \"NEW.NSF\". The target filename already exists.", fault, error},
                   {L"Could not rename file \"B.TXT\" for unknown reason.", fault, error},
                   {L"Could not delete file \"NEW.NSF\".", fault, error}});

    // A system file: message 47 first; No keeps its name without device traffic.
    const auto eventsBefore = device.events().size();
    recorder_.setAnswer(IDNO);
    EXPECT_EQ(rename(*root.Get(), files.named("CORE.NSF"), L"CORE2.NSF", renamed), E_FAIL);
    EXPECT_EQ(device.events().size(), eventsBefore);
    recorder_.setAnswer(IDYES);
    ASSERT_EQ(rename(*root.Get(), files.named("CORE.NSF"), L"CORE2.NSF", renamed), S_OK);
    EXPECT_TRUE(device.hasFile("CORE2.NSF"));
    const Shown renaming{
        L"Renaming a system file may lead to an unstable or unusable system.  Do you want to continue?", L"Attention",
        question};
    expectPrompts({renaming, renaming});
}

TEST_F(FolderTest, EnumeratorsWalkSkipResetCloneKeepTheirOwnListAndKeepTheModuleLoaded) {
    const long before = moduleState().liveObjects();
    Listing files;
    auto root = filesOn4({"1.TXT", "2.TXT", "3.TXT"}, files);
    ComPtr<IEnumIDList> enumerator, clone;
    ASSERT_EQ(root->EnumObjects(owner(), viewFlags, &enumerator), S_OK);
    PITEMID_CHILD items[4] = {};
    ULONG fetched = 99;
    EXPECT_EQ(enumerator->Next(2, items, nullptr), E_POINTER);
    ASSERT_EQ(enumerator->Next(2, items, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    UniqueIdList first(items[0]), second(items[1]);
    ASSERT_EQ(enumerator->Clone(&clone), S_OK);

    bus_.device(4).putFile("4.TXT", "x");  // a relisting gives the folder a new list, not the enumerators
    EXPECT_EQ(listFolder(root, viewFlags, owner()).items.size(), 4u);
    ASSERT_EQ(enumerator->Next(4, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    UniqueIdList third(items[0]);
    ASSERT_EQ(clone->Next(1, items, nullptr), S_OK);
    UniqueIdList cloneThird(items[0]);
    EXPECT_EQ(std::memcmp(third.get(), cloneThird.get(), itemIdBytes), 0)
        << "the clone goes on where its original stood";
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(3), S_OK);
    EXPECT_EQ(enumerator->Skip(1), S_FALSE);

    clone.Reset();
    root.Reset();
    EXPECT_EQ(moduleState().liveObjects(), before + 2) << "the enumerator holds its folder";
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

    int icon(const ItemRecord& record) {
        UniqueIdList id = idOf(record);
        ComPtr<IExtractIconA> extractor = makeComObject<IconExtractor>(id.get());
        int index = -1;
        UINT flags = 0;
        EXPECT_EQ(extractor->GetIconLocation(0, nullptr, 0, &index, &flags), S_OK);
        EXPECT_EQ(flags, static_cast<UINT>(GIL_PERCLASS));
        return index;
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
    ComPtr<NamespaceFolder> folder_ = makeComObject<NamespaceFolder>();
};

TEST_F(ColumnsTest, FilesTakeTheIconOfTheirExtensionAndDevicesTheFolderImage) {
    const int lower = icon(fileRecord("a.txt"));
    EXPECT_GE(lower, 0);
    EXPECT_EQ(icon(fileRecord("b.TXT")), lower) << "the extension decides, whatever its case";
    EXPECT_EQ(icon(fileRecord("c.qqzz")), icon(fileRecord("d.zzqq"))) << "unknown extensions share one";
    EXPECT_EQ(icon(makeDeviceRecord("Corvia 80", 3, "CV8-0003", 0x78)), deviceImageIndex);

    ComPtr<IExtractIconA> empty = makeComObject<IconExtractor>(nullptr);  // an item without a record
    int index = 0;
    UINT outFlags = 0;
    EXPECT_EQ(empty->GetIconLocation(0, nullptr, 0, &index, &outFlags), E_FAIL);
    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(empty->Extract(nullptr, static_cast<UINT>(lower), &large, &small, 0), S_OK);
    EXPECT_TRUE(large && small);
    DestroyIcon(large);
    DestroyIcon(small);
}

TEST_F(ColumnsTest, EntriesShowNamePortSerialOrSizeAndCorrectedDateAndKeepTheCorrection) {
    UniqueIdList device = idOf(makeDeviceRecord("Corvia 80 (2)", 12, "CV8-0012", 0x78));
    EXPECT_EQ(shown(device.get(), 0, LVIF_TEXT).first, "Corvia 80 (2)");
    EXPECT_EQ(shown(device.get(), 1, LVIF_TEXT).first, "COM 12");
    EXPECT_EQ(shown(device.get(), 2, LVIF_TEXT).first, "CV8-0012");
    EXPECT_EQ(shown(device.get(), 0, LVIF_TEXT, 7).first, "Corvia") << "cut to the buffer";
    EXPECT_EQ(shown(device.get(), 0, LVIF_IMAGE).second, deviceImageIndex);

    // Sizes in groups of three with the locale's separator; impossible dates
    // corrected field by field, and the correction kept in the entry.
    for (const auto& [size, text] : {std::pair{999u, "999 B"}, {1000u, "1,000 B"}, {4294967295u, "4,294,967,295 B"}})
        EXPECT_EQ(shown(idOf(fileRecord("R.TXT", size)).get(), 1, LVIF_TEXT).first, text);
    ItemRecord record = fileRecord("REPORT.TXT");
    std::tie(record.year, record.month, record.day, record.hour, record.minute, record.second) =
        std::make_tuple(0u, 13, 0, 25, 75, 61);
    UniqueIdList file = idOf(record);
    EXPECT_EQ(shown(file.get(), 2, LVIF_TEXT).first, localDateTime(1980, 5, 15, 12, 30, 0));
    const ItemRecord kept = *readLastItemRecord(file.get());
    EXPECT_EQ(std::tie(kept.year, kept.month, kept.day, kept.hour, kept.minute, kept.second),
              std::make_tuple(1980u, 5, 15, 12, 30, 0));
    UniqueIdList edge = idOf(fileRecord("EDGE.TXT"));
    EXPECT_EQ(shown(edge.get(), 2, LVIF_TEXT).first, localDateTime(2024, 6, 30, 23, 59, 59));
    EXPECT_EQ(shown(file.get(), 0, LVIF_IMAGE).second, icon(fileRecord("other.txt")));
}

}  // namespace
