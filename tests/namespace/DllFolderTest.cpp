// End to end: the registered Nimbrel.dll, made by CoCreateInstance as the
// shell makes it, lists the devices of nimbrel-devsim on pseudo-terminals
// behind mapped COM ports, through the real serial port code and its real
// timing. Every other COM link points at nothing, so those ports fail fast.
#include "FolderTestSupport.h"
#include "EndToEnd.h"
#include "shell/NimbrelClassId.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// Lists and prints how long it took, the scan of all ports included.
template <typename Folder>
Listing timedListing(const Folder& folder, const char* what) {
    const auto start = std::chrono::steady_clock::now();
    Listing listing = listFolder(folder);
    std::printf("%s: %.2f s\n", what, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return listing;
}

TEST(DllFolderTest, TheRegisteredModuleStaysWhileAnEnumeratorLivesListsTwoDevicesByNameAndOpensOne) {
    ComAndTexts com;
    const RegisteredModule server;
    ASSERT_TRUE(server.registered()) << "cannot load and register Nimbrel.dll";
    const RegisteredModule::Export canUnloadNow = server.exported("DllCanUnloadNow");
    TempDir folder;
    const auto devices =
        startDevices(folder, {{5, "model=CV8,serial=CV8-E2E1,text=HELLO.TXT:hello world,seed=DATA.BIN:1500"},
                              {6, "model=MN2,serial=MN2-E2E2,text=SIX.TXT:66"}});

    // The root folder as the shell gets it from the registered class.
    const auto createRoot = [] {
        ComPtr<IShellFolder> root;
        ComPtr<IPersistFolder> persist;
        EXPECT_EQ(CoCreateInstance(CLSID_NimbrelFolder, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&persist)), S_OK);
        const USHORT desktop = 0;  // the desktop's own identifier list
        EXPECT_EQ(persist ? persist->Initialize(reinterpret_cast<PCIDLIST_ABSOLUTE>(&desktop)) : E_FAIL, S_OK);
        if (persist) persist.As(&root);
        return root;
    };
    ComPtr<IShellFolder> root = createRoot();
    ASSERT_NE(root, nullptr);
    ComPtr<IEnumIDList> enumerator;
    ASSERT_EQ(root->EnumObjects(nullptr, viewFlags, &enumerator), S_OK);
    root.Reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "a live enumerator keeps the module";
    enumerator.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK) << "nothing of the module is alive any more";

    root = createRoot();
    ASSERT_NE(root, nullptr);
    const Listing found = timedListing(root, "scan of 31 ports and listing of two devices");
    ASSERT_EQ(found.result, S_OK);
    ASSERT_EQ(found.names(), (std::vector<std::string>{"Corvia 80", "Minnow"}));
    EXPECT_EQ(found.record(1).port, 6u);
    EXPECT_EQ(fieldText(found.record(1).serial), "MN2-E2E2");
    EXPECT_EQ(displayName(*root.Get(), found.id(0)), "Corvia 80");
    ComPtr<IShellFolder> corvia;
    ASSERT_EQ(root->BindToObject(found.id(0), nullptr, IID_PPV_ARGS(&corvia)), S_OK);
    EXPECT_EQ(listFolder(corvia, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS).result, E_FAIL)
        << "the shell's own flags must not read the device";
    const Listing files = timedListing(corvia, "file list of one device");
    std::vector<std::pair<std::string, std::uint32_t>> listed;
    for (std::size_t i = 0; i < files.items.size(); ++i) {
        EXPECT_EQ(files.record(i).kind, ItemKind::File);
        listed.emplace_back(std::string(fieldText(files.record(i).name)), files.record(i).size);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::uint32_t>>{{"DATA.BIN", 1500}, {"HELLO.TXT", 11}}));
    corvia.Reset();
    root.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK) << "a device folder and its root go with their last references";
}

}  // namespace
