// End to end: the registered Nimbrel.dll, made by CoCreateInstance as the
// shell makes it, lists the devices of nimbrel-devsim on pseudo-terminals
// behind mapped COM ports, through the real serial port code and its real
// timing. Every other COM link points at nothing, so those ports fail fast.
#include "FolderTestSupport.h"
#include "EndToEnd.h"
#include "shell/NimbrelClassId.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// The root folder made through the module's exported class factory, as the
// shell makes it once the class is registered. Goes before the module.
struct ModuleRoot {
    UniqueModule module{LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str())};
    ComPtr<IShellFolder> root;

    ModuleRoot() {
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        const auto get = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(module.get(), "DllGetClassObject")));
        ComPtr<IClassFactory> factory;
        ComPtr<IPersistFolder> persist;
        const USHORT desktop = 0;  // the desktop's own identifier list
        if (get && SUCCEEDED(get(CLSID_NimbrelFolder, IID_PPV_ARGS(&factory))) &&
            SUCCEEDED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&persist))) &&
            SUCCEEDED(persist->Initialize(reinterpret_cast<PCIDLIST_ABSOLUTE>(&desktop))))
            persist.As(&root);
    }
};

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

// The shell may hand the folder items of other namespaces or cut ones.
TEST(DllFolderTest, IdentifiersThatAreNotOursAreRefusedWithInvalidArg) {
    ComAndTexts com;
    ModuleRoot module;
    ASSERT_NE(module.root, nullptr);
    for (const auto& [count, kind] : {std::pair{4, 1}, {60, 0}, {143, 7}, {144, 1}}) {
        std::vector<unsigned char> bytes(count + 2, 0);
        bytes[0] = static_cast<unsigned char>(count);
        bytes[2] = static_cast<unsigned char>(kind);
        PCUITEMID_CHILD id = reinterpret_cast<PCUITEMID_CHILD>(bytes.data());
        SFGAOF attributes = 0;
        STRRET name{};
        ComPtr<IShellFolder> child;
        EXPECT_EQ(module.root->GetAttributesOf(1, &id, &attributes), E_INVALIDARG) << count;
        EXPECT_EQ(module.root->GetDisplayNameOf(id, SHGDN_NORMAL, &name), E_INVALIDARG) << count;
        EXPECT_EQ(module.root->CompareIDs(0, id, id), E_INVALIDARG) << count;
        EXPECT_EQ(module.root->BindToObject(id, nullptr, IID_PPV_ARGS(&child)), E_INVALIDARG) << count;
    }
}

// The one device's file list read again and again through the module, each
// time on a port opened and closed for it: the handle count stays flat and
// the figures are printed. NIMBREL_SOAK_TRANSACTIONS sets how many (50, at
// least 50).
TEST(DllFolderTest, ListingAgainAndAgainThroughTheModuleLeavesTheHandleCountFlat) {
    ComAndTexts com;
    TempDir folder;
    const auto device = startDevices(folder, {{9, "model=CV4,serial=CV4-SOAK,text=HELLO.TXT:hello world"}});
    ModuleRoot module;
    ASSERT_NE(module.root, nullptr);
    const char* configured = std::getenv("NIMBREL_SOAK_TRANSACTIONS");
    const int transactions = std::max(configured ? std::atoi(configured) : 50, 50);
    struct Usage {
        DWORD handles = 0;
        SIZE_T workingSet = 0, privateBytes = 0;
    };
    const auto usage = [] {
        Usage now;
        PROCESS_MEMORY_COUNTERS memory{};
        GetProcessHandleCount(GetCurrentProcess(), &now.handles);
        if (now.handles == 0) {
            // Wine counts no handles; a new handle takes the lowest free slot
            // there, so its value tells how many are open.
            const HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            now.handles = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(probe) / 4);
            CloseHandle(probe);
        }
        GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
        now.workingSet = memory.WorkingSetSize;
        now.privateBytes = memory.PagefileUsage;
        return now;
    };
    Usage settled;
    const auto start = std::chrono::steady_clock::now();
    for (int done = 1; done <= transactions; ++done) {
        const Listing files = listFolder(module.root);
        ASSERT_EQ(files.result, S_OK) << "listing " << done;
        ASSERT_EQ(files.names(), std::vector<std::string>{"HELLO.TXT"}) << "listing " << done;
        if (done == 25) settled = usage();
        if (done % (transactions / 5) == 0 || done == 25) {
            const Usage now = usage();
            std::printf(
                "after %4d listings: %lu handles, working set %zu KiB, private %zu KiB, %.1f ms a listing\n", done,
                now.handles, now.workingSet / 1024, now.privateBytes / 1024,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / done);
        }
    }
    EXPECT_LE(usage().handles, settled.handles) << "handles grew over the listings";
}

}  // namespace
