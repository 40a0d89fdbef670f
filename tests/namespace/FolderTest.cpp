// The shell folder driven as the shell drives it, against simulated devices
// behind port numbers (in-process, through the port opener).
#include "FolderTestSupport.h"
#include "devsim/SimulatedBus.h"
#include "link/Pause.h"
#include "namespace/DeviceFileOperations.h"
#include "namespace/NamespaceFolder.h"
#include "namespace/SortState.h"
#include "protocol/ProtocolBytes.h"
#include "resources/resource.h"
#include "shell/Prompt.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using devsim::DeviceConfig;

const HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4711));

DeviceConfig corvia80(const std::string& serial, std::uint16_t version = 2)
{
    return {.typeCode = 0x78, .serial = serial, .protocolVersion = version};
}

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(com_.textsLoaded()) << "Nimbrel.dll is not beside the test";
        forgetDeviceNames();
        sortState() = SortState{};
    }
    void TearDown() override { forgetDeviceNames(); }

    // A root folder as the class factory makes it, with its owner window
    // set the way the view's CreateViewObject sets it.
    ComPtr<NamespaceFolder> makeRoot()
    {
        auto root = makeComObject<NamespaceFolder>(true);
        ComPtr<IUnknown> view;
        EXPECT_EQ(root->CreateViewObject(owner, IID_IShellView, &view), E_NOINTERFACE);
        recorder_.reset();  // the view's scan is not what the tests look at
        recorder_.emplace(IDOK);
        return root;
    }
    std::vector<prompt::ShownPrompt> prompts() const { return recorder_->prompts(); }
    void answer(int button) { recorder_->setAnswer(button); }

    // A device folder opened from the root's item `index`.
    ComPtr<IShellFolder> open(NamespaceFolder& root, const Listing& listing, std::size_t index)
    {
        ComPtr<IShellFolder> folder;
        EXPECT_EQ(root.BindToObject(listing.id(index), nullptr, IID_IShellFolder, &folder), S_OK);
        return folder;
    }

    ComAndTexts com_;
    ScopedPause noWaits_{[](std::uint32_t) {}};
    devsim::SimulatedBus bus_;
    std::optional<prompt::Recorder> recorder_{std::in_place, IDOK};
};

TEST_F(FolderTest, TwoDevicesAreListedInPortOrderWithCatalogueNamesPortAndSerial)
{
    bus_.attach(7, corvia80("CV8-0007"));
    bus_.attach(3, corvia80("CV8-0003"));
    auto root = makeRoot();

    const Listing listing = listFolder(root);
    ASSERT_EQ(listing.result, S_OK);
    ASSERT_EQ(listing.items.size(), 2u);
    EXPECT_TRUE(root->showsDevices());
    EXPECT_EQ(listing.names(), (std::vector<std::string>{"Corvia 80", "Corvia 80 (2)"}));
    EXPECT_EQ(listing.record(0).kind, ItemKind::Device);
    EXPECT_EQ(listing.record(0).port, 3u);
    EXPECT_EQ(fieldText(listing.record(0).serial), "CV8-0003");
    EXPECT_EQ(listing.record(0).model, 0x78u);
    EXPECT_EQ(listing.record(1).port, 7u);
    EXPECT_EQ(displayName(*root.Get(), listing.id(1)), "Corvia 80 (2)");
    EXPECT_TRUE(prompts().empty());

    // The names are remembered: a new folder lists them again, counter unchanged.
    const Listing again = listFolder(makeRoot());
    EXPECT_EQ(again.names(), listing.names());
    EXPECT_EQ(catalogueValue("CV8", "CV8-0007"), "Corvia 80 (2)");
}

TEST_F(FolderTest, OneDeviceListsItsFilesOnlyForTheViewsFlags)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("NOTES.TXT", std::string(1234, 'x'), {.year = 2090, .month = 3, .day = 4, .hour = 5, .minute = 6, .second = 7});
    device.putFile("BOOT.NSF", "sys");
    auto root = makeRoot();

    const Listing other = listFolder(root, SHCONTF_FOLDERS);
    EXPECT_EQ(other.result, E_FAIL) << "flags 0x20 must not read the device";
    EXPECT_TRUE(prompts().empty());
    EXPECT_FALSE(root->showsDevices());

    const Listing listing = listFolder(root, viewFlags);
    ASSERT_EQ(listing.result, S_OK);
    ASSERT_EQ(listing.items.size(), 2u);
    const auto names = listing.names();
    const std::size_t notes = names[0] == "NOTES.TXT" ? 0 : 1;
    const ItemRecord file = listing.record(notes);
    EXPECT_EQ(file.kind, ItemKind::File);
    EXPECT_EQ(file.size, 1234u);
    EXPECT_EQ(file.year, 2090u);
    EXPECT_EQ(file.month, 3);
    EXPECT_EQ(file.second, 7);
    EXPECT_EQ(listing.record(1 - notes).kind, ItemKind::SystemFile);
    EXPECT_EQ(root->currentDevice().portNumber, 4u);
    EXPECT_TRUE(prompts().empty());
}

TEST_F(FolderTest, NoDeviceTellsTheUserOnEveryEnumerationAndFails)
{
    bus_.attach(9, {.typeCode = 0x90, .serial = "OTHER"});  // found, never used
    auto root = makeRoot();

    EXPECT_EQ(listFolder(root).result, E_FAIL);
    EXPECT_EQ(listFolder(root, SHCONTF_FOLDERS).result, E_FAIL);
    const auto shown = prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, L"No supported devices connected.");
    EXPECT_EQ(shown[0].caption, L"Information");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(shown[0].owner, owner);
    EXPECT_TRUE(root->showsDevices());
}

TEST_F(FolderTest, FirstEnumerationScansAndTellsOfEveryDeviceWithTooOldFirmwareInPortOrder)
{
    bus_.attach(12, {.typeCode = 0x72, .serial = "MN2-0012", .protocolVersion = 0});
    bus_.attach(5, {.typeCode = 0x74, .serial = "CV4-0005", .protocolVersion = 0});
    bus_.attach(8, corvia80("CV8-0008"));
    auto root = makeComObject<NamespaceFolder>(true);  // never had a view: the enumeration scans
    prompt::Recorder recorder;

    const Listing listing = listFolder(root, SHCONTF_FOLDERS);
    EXPECT_EQ(listing.result, E_FAIL) << "one usable device and flags 0x20";
    const auto shown = recorder.prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text,
              L"Corvia 40 (CV4-0005) connectet to COM 5 is supported, but you need to upgrade your Firmware (at least "
              L"2.10 or higher) in order to use it inside the explorer.");
    EXPECT_EQ(shown[0].caption, L"Information");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_NE(shown[1].text.find(L"Minnow (MN2-0012) connectet to COM 12"), std::wstring::npos);
    EXPECT_EQ(root->deviceCount(), 1);
}

TEST_F(FolderTest, ViewCreationOnTheRootRescansBeforeAnsweringNoInterface)
{
    auto root = makeRoot();
    EXPECT_EQ(root->deviceCount(), 0);
    bus_.attach(6, corvia80("CV8-0006"));
    ComPtr<IUnknown> object;
    EXPECT_EQ(root->CreateViewObject(owner, IID_IShellView, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(root->deviceCount(), 1) << "the view's creation must rescan";
    EXPECT_EQ(root->CreateViewObject(owner, IID_IDropTarget, &object), E_NOINTERFACE);
    EXPECT_EQ(root->CreateViewObject(owner, IID_IShellView, nullptr), E_POINTER);
}

TEST_F(FolderTest, OpeningADeviceItemListsThatDevicesFiles)
{
    bus_.attach(3, corvia80("CV8-0003")).putFile("A.TXT", "a");
    bus_.attach(7, corvia80("CV8-0007")).putFile("B.TXT", "bb");
    auto root = makeRoot();
    const Listing devices = listFolder(root);
    ASSERT_EQ(devices.items.size(), 2u);

    ComPtr<IShellFolder> second = open(*root.Get(), devices, 1);
    ASSERT_NE(second, nullptr);
    // The shell's own probing of a device folder must not touch the device either.
    EXPECT_EQ(listFolder(second, SHCONTF_FOLDERS).result, E_FAIL);
    const Listing files = listFolder(second);
    ASSERT_EQ(files.result, S_OK);
    EXPECT_EQ(files.names(), std::vector<std::string>{"B.TXT"});
    EXPECT_FALSE(static_cast<NamespaceFolder*>(second.Get())->showsDevices());
    EXPECT_EQ(static_cast<NamespaceFolder*>(second.Get())->currentDevice().portNumber, 7u);

    ComPtr<IUnknown> wrong;
    EXPECT_EQ(root->BindToObject(devices.id(0), nullptr, IID_IEnumIDList, &wrong), E_NOINTERFACE);
    EXPECT_TRUE(prompts().empty());
}

TEST_F(FolderTest, OpeningAnUnpluggedOrReplacedDeviceShowsMessage21AndMakesNoFolder)
{
    bus_.attach(3, corvia80("CV8-0003"));
    bus_.attach(7, corvia80("CV8-0007"));
    auto root = makeRoot();
    const Listing devices = listFolder(root);
    ASSERT_EQ(devices.items.size(), 2u);

    bus_.detach(3);
    bus_.attach(7, {.typeCode = 0x74, .serial = "CV4-0007"});  // another model now
    for (std::size_t index : {0u, 1u}) {
        ComPtr<IShellFolder> folder;
        EXPECT_EQ(root->BindToObject(devices.id(index), nullptr, IID_IShellFolder, &folder), E_FAIL);
        EXPECT_EQ(folder, nullptr);
    }
    const auto shown = prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, L"No communication with Corvia 80 possible.");
    EXPECT_EQ(shown[0].caption, L"An error occurred!");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(shown[1].text, L"No communication with Corvia 80 (2) possible.");
}

TEST_F(FolderTest, AFileListThatCannotBeReadShowsMessage13)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    auto root = makeRoot();
    device.setFaults({.nak = devsim::Faults::Nak{.at = 1, .code = 5, .confirming = ProtocolBytes::GET_FILE_LIST}});

    EXPECT_EQ(listFolder(root).result, E_FAIL);
    const auto shown = prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"Cannot read the file list from device Corvia 80 (COM 4).");
    EXPECT_EQ(shown[0].caption, L"An error occurred!");
}

TEST_F(FolderTest, CompareIdsFollowsTheColumnAndTheProcessWideDirection)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("apple.txt", std::string(10, 'a'));
    device.putFile("Banana.txt", std::string(5, 'b'));
    auto root = makeRoot();
    const Listing files = listFolder(root);
    ASSERT_EQ(files.items.size(), 2u);
    const std::size_t apple = files.names()[0] == "apple.txt" ? 0 : 1;
    const auto a = files.id(apple);
    const auto b = files.id(1 - apple);

    EXPECT_EQ(root->CompareIDs(0, a, b), -1) << "names ignore case";
    EXPECT_EQ(root->CompareIDs(1, a, b), 1) << "10 bytes after 5";
    EXPECT_EQ(root->CompareIDs(0, a, a), 0);
    EXPECT_EQ(root->CompareIDs(7, a, b), 0) << "unknown columns compare equal";
    sortState().direction = -1;
    EXPECT_EQ(root->CompareIDs(0, a, b), 1) << "descending reverses the name order";
}

TEST_F(FolderTest, AttributesAndDisplayNamesComeFromTheFirstItemsRecord)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("PLAIN.TXT", "p");
    device.putFile("CORE.NSF", "c");
    auto root = makeRoot();
    const Listing files = listFolder(root);
    ASSERT_EQ(files.items.size(), 2u);
    const std::size_t plain = files.names()[0] == "PLAIN.TXT" ? 0 : 1;

    PCUITEMID_CHILD three[] = {files.id(plain), files.id(1 - plain), files.id(1 - plain)};
    SFGAOF attributes = 0xFFFFFFFF;
    EXPECT_EQ(root->GetAttributesOf(3, three, &attributes), S_OK);
    EXPECT_EQ(attributes, 0x33u) << "only the first of three counts, and the mask is overwritten";
    EXPECT_EQ(root->GetAttributesOf(1, &three[1], &attributes), S_OK);
    EXPECT_EQ(attributes, 0x88033u);
    EXPECT_EQ(displayName(*root.Get(), files.id(plain)), "PLAIN.TXT");

    bus_.attach(9, corvia80("CV8-0009"));
    root = makeRoot();
    const Listing devices = listFolder(root);
    ASSERT_EQ(devices.items.size(), 2u);
    PCUITEMID_CHILD first = devices.id(0);
    EXPECT_EQ(root->GetAttributesOf(1, &first, &attributes), S_OK);
    EXPECT_EQ(attributes, 0x28200110u);

    ComPtr<IUnknown> object;
    EXPECT_EQ(root->GetUIObjectOf(owner, 1, &first, IID_IDataObject, nullptr, &object), E_NOINTERFACE);
    EXPECT_EQ(root->GetUIObjectOf(owner, 1, &first, IID_IDropTarget, nullptr, &object), E_NOINTERFACE);
    EXPECT_EQ(root->GetUIObjectOf(owner, 1, &first, IID_IExtractIconA, nullptr, &object), S_OK);
    EXPECT_EQ(root->GetUIObjectOf(owner, 1, &first, IID_IExtractIconA, nullptr, nullptr), E_POINTER);
}

TEST_F(FolderTest, RenamingADeviceIsRememberedUpTo64Characters)
{
    bus_.attach(3, corvia80("CV8-0003"));
    bus_.attach(7, corvia80("CV8-0007"));
    auto root = makeRoot();
    const Listing devices = listFolder(root);
    ASSERT_EQ(devices.items.size(), 2u);
    const auto eventsBefore = bus_.device(3).events().size();

    PITEMID_CHILD renamed = nullptr;
    const std::wstring tooLong(65, L'n');
    EXPECT_EQ(root->SetNameOf(nullptr, devices.id(0), tooLong.c_str(), SHGDN_NORMAL, &renamed), E_FAIL);
    EXPECT_EQ(renamed, nullptr);

    const std::wstring longest = L"Kitchen " + std::wstring(56, L'k');
    ASSERT_EQ(root->SetNameOf(nullptr, devices.id(0), longest.c_str(), SHGDN_NORMAL, &renamed), S_OK);
    UniqueIdList owned(renamed);
    ASSERT_NE(renamed, nullptr);
    const ItemRecord record = *readLastItemRecord(renamed);
    EXPECT_EQ(fieldText(record.name), narrow(longest));
    EXPECT_EQ(record.port, 3u);
    EXPECT_EQ(fieldText(record.serial), "CV8-0003");
    EXPECT_EQ(record.model, 0x78u);
    EXPECT_EQ(catalogueValue("CV8", "CV8-0003"), narrow(longest));
    EXPECT_EQ(bus_.device(3).events().size(), eventsBefore) << "a device rename is no device traffic";

    ASSERT_EQ(root->SetNameOf(nullptr, devices.id(1), L"Kitchen", SHGDN_NORMAL, &renamed), S_OK);
    UniqueIdList second(renamed);
    ASSERT_EQ(root->SetNameOf(nullptr, devices.id(0), L"Desk", SHGDN_NORMAL, &renamed), S_OK);
    UniqueIdList third(renamed);
    const Listing again = listFolder(root);
    EXPECT_EQ(again.names(), (std::vector<std::string>{"Desk", "Kitchen"}));
    EXPECT_TRUE(prompts().empty());
}

TEST_F(FolderTest, RenamingAFileRenamesItOnTheDevice)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("OLD.TXT", std::string(42, 'o'), {.year = 2023, .month = 11, .day = 2});
    auto root = makeRoot();
    const Listing files = listFolder(root);
    ASSERT_EQ(files.items.size(), 1u);

    PITEMID_CHILD renamed = nullptr;
    ASSERT_EQ(root->SetNameOf(nullptr, files.id(0), L"NEW.NSF", SHGDN_NORMAL, &renamed), S_OK);
    UniqueIdList owned(renamed);
    EXPECT_TRUE(device.hasFile("NEW.NSF"));
    EXPECT_FALSE(device.hasFile("OLD.TXT"));
    const ItemRecord record = *readLastItemRecord(renamed);
    EXPECT_EQ(fieldText(record.name), "NEW.NSF");
    EXPECT_EQ(record.kind, ItemKind::File) << "the kind is kept for the new name";
    EXPECT_EQ(record.size, 42u);
    EXPECT_EQ(record.year, 2023u);
    EXPECT_EQ(record.month, 11);
    EXPECT_TRUE(prompts().empty());
}

TEST_F(FolderTest, RenamingASystemFileAsksFirstAndNoKeepsTheNameWithoutDeviceTraffic)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("CORE.NSF", "c");
    auto root = makeRoot();
    const Listing files = listFolder(root);
    ASSERT_EQ(files.items.size(), 1u);
    const auto eventsBefore = device.events().size();

    answer(IDNO);
    PITEMID_CHILD renamed = nullptr;
    EXPECT_EQ(root->SetNameOf(nullptr, files.id(0), L"CORE2.NSF", SHGDN_NORMAL, &renamed), E_FAIL);
    EXPECT_EQ(renamed, nullptr);
    EXPECT_EQ(device.events().size(), eventsBefore);
    EXPECT_TRUE(device.hasFile("CORE.NSF"));
    auto shown = prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"Renaming a system file may lead to an unstable or unusable system.  Do you want to "
                             L"continue?");
    EXPECT_EQ(shown[0].caption, L"Attention");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2));

    answer(IDYES);
    ASSERT_EQ(root->SetNameOf(nullptr, files.id(0), L"CORE2.NSF", SHGDN_NORMAL, &renamed), S_OK);
    UniqueIdList owned(renamed);
    EXPECT_TRUE(device.hasFile("CORE2.NSF"));
    EXPECT_EQ(readLastItemRecord(renamed)->kind, ItemKind::SystemFile);
}

TEST_F(FolderTest, RenameRefusalsShowMessage25ForAnExistingTargetAnd30OtherwiseAndKeepTheName)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("A.TXT", "a");
    device.putFile("B.TXT", "b");
    auto root = makeRoot();
    const Listing files = listFolder(root);
    ASSERT_EQ(files.items.size(), 2u);
    const std::size_t a = files.names()[0] == "A.TXT" ? 0 : 1;

    PITEMID_CHILD renamed = nullptr;
    EXPECT_EQ(root->SetNameOf(nullptr, files.id(a), L"B.TXT", SHGDN_NORMAL, &renamed), E_FAIL);
    EXPECT_EQ(renamed, nullptr);
    device.setFaults({.nak = devsim::Faults::Nak{.at = 1, .code = 16, .confirming = ProtocolBytes::RENAME_FILE}});
    EXPECT_EQ(root->SetNameOf(nullptr, files.id(a), L"C.TXT", SHGDN_NORMAL, &renamed), E_FAIL);
    EXPECT_TRUE(device.hasFile("A.TXT"));

    const auto shown = prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, L"Cannot rename File \"A.TXT\" to \"B.TXT\". The target filename already exists.");
    EXPECT_EQ(shown[0].caption, L"An error occurred!");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(shown[0].owner, owner);
    EXPECT_EQ(shown[1].text, L"Could not rename file \"A.TXT\" for unknown reason.");
}

TEST_F(FolderTest, DeletingOnTheDeviceReportsFailuresWithMessage31)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    device.putFile("GONE.TXT", "g");
    auto root = makeRoot();
    ASSERT_EQ(listFolder(root).items.size(), 1u);

    EXPECT_EQ(deleteFileOnDevice(*root.Get(), "GONE.TXT"), 1u);
    EXPECT_FALSE(device.hasFile("GONE.TXT"));
    EXPECT_TRUE(prompts().empty());

    EXPECT_EQ(deleteFileOnDevice(*root.Get(), "GONE.TXT"), 0u);
    const auto shown = prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"Could not delete file \"GONE.TXT\".");
    EXPECT_EQ(shown[0].caption, L"An error occurred!");
    EXPECT_EQ(shown[0].owner, owner);

    // A folder that knows no device refuses alike, with the same message.
    auto empty = makeComObject<NamespaceFolder>(true);
    EXPECT_EQ(deleteFileOnDevice(*empty.Get(), "X.TXT"), 0u);
    EXPECT_EQ(renameFileOnDevice(*empty.Get(), "X.TXT", "Y.TXT"), 0u);
    EXPECT_EQ(prompts().size(), 3u);
}

TEST_F(FolderTest, EnumeratorWalksSkipsResetsAndClonesItsOwnList)
{
    auto& device = bus_.attach(4, corvia80("CV8-0004"));
    for (const char* name : {"1.TXT", "2.TXT", "3.TXT"}) device.putFile(name, "x");
    auto root = makeRoot();
    ComPtr<IEnumIDList> enumerator;
    ASSERT_EQ(root->EnumObjects(nullptr, viewFlags, &enumerator), S_OK);

    PITEMID_CHILD items[4] = {};
    ULONG fetched = 99;
    EXPECT_EQ(enumerator->Next(2, items, nullptr), E_POINTER);
    EXPECT_EQ(enumerator->Next(1, nullptr, &fetched), E_POINTER);
    ASSERT_EQ(enumerator->Next(2, items, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    UniqueIdList first(items[0]), second(items[1]);

    ComPtr<IEnumIDList> clone;
    ASSERT_EQ(enumerator->Clone(&clone), S_OK);
    // A relisting gives the folder a new list; the enumerators keep theirs.
    device.putFile("4.TXT", "x");
    EXPECT_EQ(listFolder(root).items.size(), 4u);
    ASSERT_EQ(enumerator->Next(4, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    UniqueIdList third(items[0]);
    ASSERT_EQ(clone->Next(1, items, nullptr), S_OK);
    UniqueIdList cloneThird(items[0]);
    EXPECT_EQ(std::memcmp(third.get(), cloneThird.get(), 146), 0) << "the clone goes on where its original stood";

    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(0), S_OK);
    EXPECT_EQ(enumerator->Skip(3), S_OK);
    EXPECT_EQ(enumerator->Skip(1), S_FALSE);
    EXPECT_EQ(enumerator->Next(1, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}

TEST_F(FolderTest, LiveEnumeratorsAndFoldersKeepTheModuleLoaded)
{
    bus_.attach(4, corvia80("CV8-0004")).putFile("A.TXT", "a");
    const long before = moduleState().liveObjects();
    {
        auto root = makeRoot();
        ComPtr<IEnumIDList> enumerator;
        ASSERT_EQ(root->EnumObjects(nullptr, viewFlags, &enumerator), S_OK);
        root.Reset();
        EXPECT_EQ(moduleState().liveObjects(), before + 2) << "the enumerator holds its folder";
        EXPECT_FALSE(moduleState().canUnload());
    }
    EXPECT_EQ(moduleState().liveObjects(), before);
}

}  // namespace
