// Nimbrel.dll under Wine: its resources and the German satellite's, its
// exports and class factory, and the choice of the satellite.
#include "WindowDriver.h"
#include "resources/resource.h"
#include "shell/BuiltModules.h"
#include "shell/ComObject.h"
#include "shell/ModuleState.h"
#include "shell/ResourceModule.h"
#include "shell/NimbrelClassId.h"
#include "shell/TextFormat.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::string_literals;
using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

// Nimbrel.dll loaded as the shell loads it, with its exports, and the
// German satellite's resources.
class ServerModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
    }
    void SetUp() override { ASSERT_TRUE(english && german && getClassObject && canUnloadNow) << GetLastError(); }
    template <typename Function>
    Function exported(const char* name) {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(english.get(), name)));
    }

    UniqueModule english{LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str())};
    UniqueModule german{loadResourcesOf(L"NimbrelDEU.dll")};
    GetClassObjectFunction getClassObject = exported<GetClassObjectFunction>("DllGetClassObject");
    CanUnloadNowFunction canUnloadNow = exported<CanUnloadNowFunction>("DllCanUnloadNow");
};

const std::set<UINT> tableIds = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 16, 17,
                                 18, 19, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33,
                                 34, 36, 37, 38, 39, 40, 41, 43, 44, 45, 46, 47, 48, 49};

// The printf fields of a text in order, e.g. "%2d|%s|".
std::wstring fieldsOf(const std::wstring& text) {
    std::wstring fields;
    for (size_t i = text.find(L'%'); i != std::wstring::npos; i = text.find(L'%', i + 1)) {
        const size_t end = text.find_first_of(L"%sdiu", i + 1);
        fields += text.substr(i, end - i + 1) + L"|";
        i = end;
    }
    return fields;
}

TEST_F(ServerModuleTest, TheFactoryMakesRootFoldersOnlyAndTheModuleStaysWhileAFolderOrALockLives) {
    EXPECT_EQ(getClassObject(CLSID_NimbrelFolder, IID_IClassFactory, nullptr), E_POINTER);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(CLSID_ShellDesktop, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(getClassObject(CLSID_NimbrelFolder, IID_IShellFolder, &object), E_NOINTERFACE);

    ASSERT_EQ(canUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_NimbrelFolder, IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IShellFolder> folder;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&folder)), S_OK);
    ComPtr<IPersistFolder> persist;
    ASSERT_EQ(folder.As(&persist), S_OK);
    CLSID classId{};
    ASSERT_EQ(persist->GetClassID(&classId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(classId, CLSID_NimbrelFolder));
    EXPECT_EQ(persist->Initialize(nullptr), S_OK);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(folder.Get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IShellFolder, nullptr), E_POINTER);
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "a folder is alive";
    persist.Reset();
    folder.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK) << "the last folder is gone";
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the server is locked";
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ServerModuleTest, FactoryIsMadeOnceEvenWhenThreadsAskTogether) {
    std::vector<IClassFactory*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] { getClassObject(CLSID_NimbrelFolder, IID_PPV_ARGS(&seen[i])); });
    for (auto& thread : threads) thread.join();
    for (IClassFactory* factory : seen) {
        EXPECT_EQ(factory, seen[0]) << "every caller should get the one factory";
        if (factory) factory->Release();
    }
    EXPECT_NE(seen[0], nullptr);
    EXPECT_EQ(canUnloadNow(), S_OK) << "the module's own factory must not keep it loaded";
}

TEST(ResourceModuleChoice, EveryGermanRegionSelectsTheSatelliteAndNothingElseDoes) {
    for (int region : {SUBLANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN, SUBLANG_GERMAN_SWISS})
        EXPECT_TRUE(wantsGermanResources(MAKELANGID(LANG_GERMAN, region))) << region;
    // Only the low 10 bits are the language: 0x0447 is none of German's.
    for (LANGID other : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_DUTCH, SUBLANG_DUTCH), 0x0447})
        EXPECT_FALSE(wantsGermanResources(other)) << other;
}

TEST_F(ServerModuleTest, BothModulesHoldTheSameTextsMenusAndKeysAndTheTextsNoOtherTestShowsAreAsQuoted) {
    // Texts the other tests do not see as a user would, typos included.
    const std::pair<UINT, const char*> expected[] = {
        {IDS_CONFIRM_DELETE_SYSFILE,
         "The selected file \"%s\" is a system file. Please note that deleting of system files may lead to an "
         "unstable or unusable system.  Do you want to continue and delete the selected file?"},
        {IDS_CONFIRM_DELETE_SYSFILES,
         "You have selected at least one system file. Please note that deletion of system files may lead to an "
         "unusable or instabile system. Do you want to continue and delete the selected files?"},
        {IDS_ERROR_DOWNLOAD, "Could not transmitte file \"%s\" from device %s (COM %d) to the PC."},
        {IDS_ERROR_DIRECTORY_DROPPED, "You have selcetet at least on directory. Copy of directories is not supported."},
    };
    for (const auto& [id, text] : expected) EXPECT_EQ(narrow(moduleText(english.get(), id)), text) << "string " << id;
    EXPECT_EQ(fieldsOf(moduleText(english.get(), IDS_ABOUT_TEXT)), L"%s|") << "the About text takes the version";

    // Both modules have exactly the table's entries, with the same fields in the same order.
    for (UINT id = 0; id <= 60; ++id) {
        const std::wstring en = moduleText(english.get(), id), de = moduleText(german.get(), id);
        EXPECT_EQ(!en.empty(), tableIds.count(id) == 1) << "string " << id;
        EXPECT_EQ(!de.empty(), tableIds.count(id) == 1) << "German string " << id;
        EXPECT_EQ(fieldsOf(de), fieldsOf(en)) << "fields of string " << id;
        EXPECT_TRUE(de != en || en.empty() || id == IDS_WINDOW_CLASS) << "string " << id << " is not translated";
    }
    // The menus and keys as the view shows them are checked there: the satellite has the same commands.
    for (const int id : {IDM_MERGED, IDM_FILE_POPUP, IDM_BACKGROUND_POPUP, IDM_DEVICE_POPUP}) {
        UniqueMenu en(LoadMenuW(english.get(), MAKEINTRESOURCEW(id)));
        UniqueMenu de(LoadMenuW(german.get(), MAKEINTRESOURCEW(id)));
        ASSERT_TRUE(en && de) << "menu " << id;
        EXPECT_EQ(windows::menuItems(de.get(), false), windows::menuItems(en.get(), false)) << "German menu " << id;
    }
    std::vector<ACCEL> keys[2];
    for (HMODULE module : {english.get(), german.get()}) {
        HACCEL table = LoadAcceleratorsW(module, MAKEINTRESOURCEW(IDA_VIEW));
        auto& entries = keys[module == german.get()];
        entries.resize(table ? static_cast<size_t>(CopyAcceleratorTableW(table, nullptr, 0)) : 0);
        CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
    }
    ASSERT_EQ(keys[0].size(), 8u);
    ASSERT_EQ(keys[1].size(), keys[0].size());
    for (std::size_t i = 0; i < keys[0].size(); ++i)
        EXPECT_EQ(std::tie(keys[1][i].fVirt, keys[1][i].key, keys[1][i].cmd),
                  std::tie(keys[0][i].fVirt, keys[0][i].key, keys[0][i].cmd))
            << "key " << i;
}

// A dialog's controls as one line: "class id text" for each, in tab order;
// withTexts false leaves class and id only.
std::wstring describeControls(HWND dialog, bool withTexts = true) {
    std::wstring out;
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t windowClass[64] = {}, text[128] = {};
        GetClassNameW(control, windowClass, 64);
        GetWindowTextW(control, text, 128);
        const int id = GetDlgCtrlID(control);
        out += (out.empty() ? L"" : L"|") + std::wstring(windowClass) + L" " + std::to_wstring(id == 0xFFFF ? -1 : id) +
               (withTexts ? L" " + std::wstring(text) : L"");
    }
    return out;
}

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// Each progress bar comes right after the text that names it for a screen
// reader: the file's name, "Total progress:".
TEST_F(ServerModuleTest, DialogsOfBothModulesComeUpWithTheirControlsAndOnlyOverwriteHasACloseBox) {
    const std::wstring bar = L"msctls_progress32 ", time = L"Static -1 Remaining time:|Static 1002 ";
    const std::tuple<int, const wchar_t*, std::wstring> expected[] = {
        {IDD_PROGRESS_SINGLE, L"Transmitting File",
         L"Button 1003 &Abort|Static -1 Filename:|Static 1001 |" + bar + L"1000 |" + time},
        {IDD_PROGRESS_MULTI, L"Transmitting Files",
         L"Button 1003 &Abort|Static -1 Filename:|Static 1001 |" + bar + L"1000 |" + time +
             L"|Static -1 Total progress:|" + bar + L"1004 "},
        {IDD_OVERWRITE, L"Overwrite file?",
         L"Static 1008 |Button 1005 &Yes|Button 1006 Yes to &all|Button 3 &No|Button 1007 &Cancel"},
    };
    for (const auto& [id, caption, controls] : expected) {
        UniqueWindow en(CreateDialogParamW(english.get(), MAKEINTRESOURCEW(id), nullptr, quietDialog, 0));
        UniqueWindow de(CreateDialogParamW(german.get(), MAKEINTRESOURCEW(id), nullptr, quietDialog, 0));
        ASSERT_TRUE(en && de) << "dialog " << id << " does not come up: " << GetLastError();
        wchar_t title[64] = {}, germanTitle[64] = {};
        GetWindowTextW(en.get(), title, 64);
        GetWindowTextW(de.get(), germanTitle, 64);
        EXPECT_STREQ(title, caption);
        EXPECT_STRNE(germanTitle, caption) << "dialog " << id << " is not translated";
        EXPECT_EQ(describeControls(en.get()), controls);
        EXPECT_EQ(describeControls(de.get(), false), describeControls(en.get(), false)) << "German dialog " << id;
        for (HWND dialog : {en.get(), de.get()}) {
            const LONG style = GetWindowLongW(dialog, GWL_STYLE);
            EXPECT_EQ(style & (WS_POPUP | WS_CAPTION), WS_POPUP | WS_CAPTION) << "dialog " << id;
            EXPECT_EQ((style & WS_SYSMENU) != 0, id == IDD_OVERWRITE) << "close box of dialog " << id;
        }
    }
}

// Inside a host the module's windows use version 6 of the common controls
// through its own manifest (resource 2), one the loader accepts; and the
// module still needs nothing but the system's own DLLs.
TEST_F(ServerModuleTest, ItsManifestAsksForCommonControlsSixAndItImportsOnlySystemDlls) {
    const auto* manifestType = MAKEINTRESOURCEW(24);  // RT_MANIFEST, which the headers give as a narrow text
    const HRSRC found = FindResourceW(english.get(), MAKEINTRESOURCEW(2), manifestType);
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(english.get(), found))),
                               SizeofResource(english.get(), found));
    EXPECT_NE(manifest.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"), std::string::npos);
    const std::wstring path = builtModulePath(L"Nimbrel.dll");
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(2);
    const HANDLE context = CreateActCtxW(&request);
    EXPECT_NE(context, INVALID_HANDLE_VALUE) << GetLastError();
    if (context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);

    const auto* base = reinterpret_cast<const BYTE*>(english.get());
    const auto* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const std::set<std::string> system = {"advapi32.dll", "comctl32.dll", "gdi32.dll",    "kernel32.dll",
                                          "msvcrt.dll",   "ole32.dll",    "oleaut32.dll", "shell32.dll",
                                          "shlwapi.dll",  "user32.dll",   "version.dll"};
    std::size_t count = 0;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
         ++entry, ++count) {
        std::string name = reinterpret_cast<const char*>(base + entry->Name);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(system.count(name)) << name << " is no system DLL";
    }
    EXPECT_GE(count, 5u);
}

TEST_F(ServerModuleTest, TheOneIconHasTwoSizes) {
    // Icon group 113 has a small and a large icon.
    for (int size : {16, 32}) {
        UniqueIcon icon(
            static_cast<HICON>(LoadImageW(english.get(), MAKEINTRESOURCEW(IDI_NIMBREL), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        UniqueGdiObject color(info.hbmColor), mask(info.hbmMask);
        BITMAP bitmap{};
        GetObjectW(color ? color.get() : mask.get(), sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
    }
    EXPECT_EQ(ExtractIconExW(builtModulePath(L"Nimbrel.dll").c_str(), -1, nullptr, nullptr, 0), 1u)
        << "the module has one icon, index 0 of the DefaultIcon value";
}

}  // namespace
