// End to end: the registered Nimbrel.dll, made by CoCreateInstance as the
// shell makes it, lists the devices of nimbrel-devsim on pseudo-terminals
// behind mapped COM ports, through the real serial port code and its real
// timing. Every other COM link points at nothing, so those ports fail fast.
#include "FolderTestSupport.h"
#include "TestFiles.h"
#include "ToolProcess.h"
#include "shell/NimbrelClassId.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

std::string portLink(int number)
{
    return std::string(NIMBREL_PORT_DIR) + "/COM" + std::to_string(number);
}

class DllFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_.reset(LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str()));
        ASSERT_TRUE(server_) << "cannot load Nimbrel.dll, error " << GetLastError();
        using Export = HRESULT(STDAPICALLTYPE*)();
        auto registerServer = reinterpret_cast<Export>(GetProcAddress(server_.get(), "DllRegisterServer"));
        unregisterServer_ = reinterpret_cast<Export>(GetProcAddress(server_.get(), "DllUnregisterServer"));
        canUnloadNow_ = reinterpret_cast<Export>(GetProcAddress(server_.get(), "DllCanUnloadNow"));
        ASSERT_TRUE(registerServer && unregisterServer_ && canUnloadNow_);
        ASSERT_EQ(registerServer(), S_OK);
        for (int number = 1; number <= 31; ++number) removeLink(portLink(number));
        forgetDeviceNames();
    }
    void TearDown() override
    {
        devices_.reset();
        forgetDeviceNames();
        if (unregisterServer_) unregisterServer_();
    }

    // Devices on pseudo-terminals, one `--device` option each.
    void startDevices(const std::vector<std::string>& deviceOptions)
    {
        const std::string pidFile = folder_.file("devsim.pid");
        ToolLaunch launch{nativeTool("nimbrel-devsim"), {"-q", "--pid-file", pidFile}, pidFile, pidFile};
        for (const std::string& option : deviceOptions) {
            launch.args.push_back("--device");
            launch.args.push_back(option);
        }
        devices_ = std::make_unique<ToolProcess>(launch);
    }

    // The root folder as the shell gets it from the registered class.
    ComPtr<IShellFolder> createRoot()
    {
        ComPtr<IShellFolder> root;
        EXPECT_EQ(CoCreateInstance(CLSID_NimbrelFolder, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&root)), S_OK);
        if (!root) return root;
        ComPtr<IPersistFolder> persist;
        EXPECT_EQ(root.As(&persist), S_OK);
        const USHORT emptyList = 0;  // the desktop's own identifier list
        EXPECT_EQ(persist->Initialize(reinterpret_cast<PCIDLIST_ABSOLUTE>(&emptyList)), S_OK);
        return root;
    }

    // Lists and reports how long it took, the scan of all ports included.
    template <typename Folder>
    Listing timedListing(const Folder& folder, const char* what)
    {
        const auto start = Clock::now();
        Listing listing = listFolder(folder);
        const auto elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("%s: %.2f s\n", what, elapsed);
        return listing;
    }

    ComAndTexts com_;
    TempDir folder_;
    UniqueModule server_;
    HRESULT(STDAPICALLTYPE* unregisterServer_)() = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow_)() = nullptr;
    std::unique_ptr<ToolProcess> devices_;
};

TEST_F(DllFolderTest, TheRegisteredModuleListsTheFilesOfTheOneDeviceOnItsPort)
{
    startDevices({"link=" + portLink(5) + ",model=CV8,serial=CV8-E2E1,text=HELLO.TXT:hello world,seed=DATA.BIN:1500"});
    ComPtr<IShellFolder> root = createRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(listFolder(root, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS).result, E_FAIL)
        << "the shell's own flags must not read the device";

    ComPtr<IEnumIDList> enumerator;
    ASSERT_EQ(root->EnumObjects(nullptr, viewFlags, &enumerator), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "a live enumerator keeps the module";
    root.Reset();
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the enumerator holds its folder";

    std::vector<UniqueIdList> items;
    PITEMID_CHILD item = nullptr;
    while (enumerator->Next(1, &item, nullptr) == S_OK) items.emplace_back(item);
    ASSERT_EQ(items.size(), 2u);
    std::vector<std::pair<std::string, std::uint32_t>> files;
    for (const auto& id : items) {
        const ItemRecord record = *readLastItemRecord(id.get());
        EXPECT_EQ(record.kind, ItemKind::File);
        files.emplace_back(std::string(fieldText(record.name)), record.size);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::pair<std::string, std::uint32_t>>{{"DATA.BIN", 1500}, {"HELLO.TXT", 11}}));

    enumerator.Reset();
    EXPECT_EQ(canUnloadNow_(), S_OK) << "nothing of the module is alive any more";
}

TEST_F(DllFolderTest, TheRegisteredModuleListsTwoDevicesByNameAndOpensOne)
{
    startDevices({"link=" + portLink(5) + ",model=CV8,serial=CV8-E2E1,text=FIVE.TXT:5",
                  "link=" + portLink(6) + ",model=MN2,serial=MN2-E2E2,text=SIX.TXT:66"});
    ComPtr<IShellFolder> root = createRoot();
    ASSERT_NE(root, nullptr);

    const Listing devices = timedListing(root, "scan of 31 ports and listing of two devices");
    ASSERT_EQ(devices.result, S_OK);
    ASSERT_EQ(devices.items.size(), 2u);
    EXPECT_EQ(devices.names(), (std::vector<std::string>{"Corvia 80", "Minnow"}));
    EXPECT_EQ(devices.record(1).port, 6u);
    EXPECT_EQ(fieldText(devices.record(1).serial), "MN2-E2E2");
    EXPECT_EQ(displayName(*root.Get(), devices.id(0)), "Corvia 80");

    ComPtr<IShellFolder> minnow;
    const auto start = Clock::now();
    ASSERT_EQ(root->BindToObject(devices.id(1), nullptr, IID_PPV_ARGS(&minnow)), S_OK);
    std::printf("opening a device: %.2f s\n", std::chrono::duration<double>(Clock::now() - start).count());
    const Listing files = timedListing(minnow, "file list of one device");
    ASSERT_EQ(files.result, S_OK);
    EXPECT_EQ(files.names(), std::vector<std::string>{"SIX.TXT"});
}

}  // namespace
