// End to end: the registered Nimbrel.dll, made by CoCreateInstance as the
// shell makes it, lists the devices of nimbrel-devsim on pseudo-terminals
// behind mapped COM ports, through the real serial port code and its real
// timing; and stays loaded while an upload it began runs. Every other COM
// link points at nothing, so those ports fail fast.
#include "EndToEnd.h"
#include "FileListSource.h"
#include "FolderTestSupport.h"
#include "shell/NimbrelClassId.h"
#include "shell/TextFormat.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The root folder as the shell gets it from the registered class.
ComPtr<IShellFolder> createRoot() {
    ComPtr<IShellFolder> root;
    ComPtr<IPersistFolder> persist;
    EXPECT_EQ(CoCreateInstance(CLSID_NimbrelFolder, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&persist)), S_OK);
    const USHORT desktop = 0;  // the desktop's own identifier list
    EXPECT_EQ(persist ? persist->Initialize(reinterpret_cast<PCIDLIST_ABSOLUTE>(&desktop)) : E_FAIL, S_OK);
    if (persist) persist.As(&root);
    return root;
}

// Open handles (Wine counts none, but gives a new handle the lowest free
// slot, so its value tells how many are open) and memory, printed.
DWORD printUsage(int listings, Clock::time_point start) {
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    if (handles == 0) {
        const HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        handles = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(probe) / 4);
        CloseHandle(probe);
    }
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("after %4d listings: %lu handles, working set %zu KiB, private %zu KiB, %.1f ms a listing\n", listings,
                handles, memory.WorkingSetSize / 1024, memory.PagefileUsage / 1024,
                secondsSince(start) * 1000 / listings);
    return handles;
}

// Then the one device's file list is read again and again, each time on a
// port opened and closed for it: the handle count stays flat and the figures
// are printed. NIMBREL_SOAK_TRANSACTIONS sets how many (50, at least 50).
TEST(DllFolderTest, TheRegisteredModuleListsDevicesAgainAndAgainRefusesForeignIdsAndReleasesWhatItHeld) {
    ComAndTexts com;
    const RegisteredModule server;
    ASSERT_TRUE(server.registered()) << "cannot load and register Nimbrel.dll";
    const RegisteredModule::Export canUnloadNow = server.exported("DllCanUnloadNow");
    TempDir folder;
    const auto devices =
        startDevices(folder, {{5, "model=CV8,serial=CV8-E2E1,text=HELLO.TXT:hello world,seed=DATA.BIN:1500"},
                              {6, "model=MN2,serial=MN2-E2E2,text=SIX.TXT:66"}});

    ComPtr<IShellFolder> root = createRoot();
    ASSERT_NE(root, nullptr);
    auto start = Clock::now();
    const Listing found = listFolder(root);
    std::printf("scan of 31 ports and listing of two devices: %.2f s\n", secondsSince(start));
    ASSERT_EQ(found.result, S_OK);
    ASSERT_EQ(found.names(), (std::vector<std::string>{"Corvia 80", "Minnow"}));

    // The shell may hand the folder items of other namespaces or cut ones.
    for (const auto& [count, kind] : {std::pair{4, 1}, {60, 0}, {143, 7}, {144, 1}}) {
        std::vector<unsigned char> bytes(count + 2, 0);
        bytes[0] = static_cast<unsigned char>(count);
        bytes[2] = static_cast<unsigned char>(kind);
        PCUITEMID_CHILD id = reinterpret_cast<PCUITEMID_CHILD>(bytes.data());
        SFGAOF attributes = 0;
        STRRET name{};
        ComPtr<IShellFolder> child;
        EXPECT_EQ(root->GetAttributesOf(1, &id, &attributes), E_INVALIDARG) << count;
        EXPECT_EQ(root->GetDisplayNameOf(id, SHGDN_NORMAL, &name), E_INVALIDARG) << count;
        EXPECT_EQ(root->CompareIDs(0, id, id), E_INVALIDARG) << count;
        EXPECT_EQ(root->BindToObject(id, nullptr, IID_PPV_ARGS(&child)), E_INVALIDARG) << count;
    }

    ComPtr<IShellFolder> corvia;
    ASSERT_EQ(root->BindToObject(found.id(0), nullptr, IID_PPV_ARGS(&corvia)), S_OK);
    start = Clock::now();
    const Listing files = listFolder(corvia);
    std::printf("file list of one device: %.2f s\n", secondsSince(start));
    EXPECT_EQ(files.items.size(), 2u);

    const char* configured = std::getenv("NIMBREL_SOAK_TRANSACTIONS");
    const int transactions = std::max(configured ? std::atoi(configured) : 50, 50);
    DWORD settled = 0, last = 0;
    start = Clock::now();
    for (int done = 1; done <= transactions; ++done) {
        ASSERT_EQ(listFolder(corvia).names(), files.names()) << "listing " << done;
        if (done == 25) settled = printUsage(done, start);
        if (done % (transactions / 5) == 0 || done == transactions) last = printUsage(done, start);
    }
    EXPECT_LE(last, settled) << "handles grew over the listings";

    // The address bar's round trip through the desktop: the name of a file
    // on a device parses to the item, which is named so again.
    ComPtr<IShellFolder> desktop;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    std::wstring path = L"::{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}\\CV8-E2E1\\HELLO.TXT";
    PIDLIST_RELATIVE parsed = nullptr;
    ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, path.data(), nullptr, &parsed, nullptr), S_OK);
    const UniqueIdList item(parsed);
    PWSTR name = nullptr;
    ASSERT_EQ(SHGetNameFromIDList(static_cast<PCIDLIST_ABSOLUTE>(item.get()), SIGDN_DESKTOPABSOLUTEPARSING, &name),
              S_OK);
    // The desktop spells the class identifier in either case.
    EXPECT_EQ(CompareStringOrdinal(name, -1, path.c_str(), -1, TRUE), CSTR_EQUAL) << narrow(name);
    CoTaskMemFree(name);
    desktop.Reset();
    corvia.Reset();
    root.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK) << "a device folder and its root go with their last references";
}

// An upload runs on a thread of the module's own after every object of it
// was released: the module stays loaded until that thread has left its
// code, whatever the program that loaded it does meanwhile.
TEST(DllFolderTest, AnUploadKeepsTheModuleLoadedUntilItsThreadHasLeftTheModulesCode) {
    ComAndTexts com;
    TempDir folder;
    std::filesystem::create_directories(hostPath(folder.file("device")));
    const auto devices = startDevices(folder, {{5, "model=CV8,serial=CV8-E2E3,pace,files=" + folder.file("device")}});
    writeText(folder.file("NEW.BRF"), std::string(1500, 'n'));
    const auto source =
        makeComObject<FileListSource>(std::vector{widenUtf8(hostPath(folder.file("NEW.BRF")))}, std::nullopt);

    HMODULE module = LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str());
    ASSERT_NE(module, nullptr);
    {
        const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        ComPtr<IClassFactory> factory;
        ComPtr<IShellFolder> root, device;
        ComPtr<IDropTarget> target;
        ASSERT_EQ(getClassObject(CLSID_NimbrelFolder, IID_PPV_ARGS(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&root)), S_OK);
        const UniqueIdList item(ItemIdAllocator().createItemId(makeDeviceRecord("Corvia 80", 5, "CV8-E2E3", 0x78)));
        ASSERT_EQ(root->BindToObject(item.get(), nullptr, IID_PPV_ARGS(&device)), S_OK);
        ASSERT_EQ(device->CreateViewObject(nullptr, IID_PPV_ARGS(&target)), S_OK);
        DWORD effect = DROPEFFECT_COPY;
        ASSERT_EQ(target->DragEnter(source.Get(), MK_LBUTTON, POINTL{}, &effect), S_OK);
        ASSERT_EQ(target->Drop(source.Get(), 0, POINTL{}, &effect), S_OK);
        ASSERT_EQ(effect, DWORD{DROPEFFECT_COPY});
    }
    FreeLibrary(module);
    EXPECT_NE(GetModuleHandleW(L"Nimbrel.dll"), nullptr) << "unloaded while its upload runs";
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (GetModuleHandleW(L"Nimbrel.dll") && Clock::now() < end) Sleep(50);
    EXPECT_EQ(GetModuleHandleW(L"Nimbrel.dll"), nullptr) << "the upload's thread kept the module for ever";
    EXPECT_EQ(readFileBytes(folder.file("device/NEW.BRF")).size(), 1500u);
}

}  // namespace
