// Runs with a German user language (LC_ALL=de_DE.UTF-8 in its environment).
#include "RegistryGuard.h"
#include "WindowDriver.h"
#include "resources/resource.h"
#include "server/Registration.h"
#include "shell/BuiltModules.h"
#include "shell/ComObject.h"
#include "shell/NimbrelClassId.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace {

using namespace std::chrono_literals;

// Registers the server at path through its own DllRegisterServer, then
// loads it afresh: the install folder is read from the registration.
// The message a root folder of `server` shows when it finds no device, as
// the user sees it.
std::wstring shownByEmptyRoot(HMODULE server) {
    const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ComPtr<IShellFolder> root;
    ComPtr<IEnumIDList> items;
    if (!getClassObject || FAILED(getClassObject(CLSID_NimbrelFolder, IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&root))))
        return L"(no folder)";
    windows::DialogAnswerer message([](HWND window) { return GetDlgItem(window, IDOK) != nullptr; }, IDOK, 60s);
    // Only a browser's window gets the message; the shell's own asking shows none.
    const UniqueWindow owner(CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
    root->EnumObjects(owner.get(), SHCONTF_INIT_ON_FIRST_NEXT, &items);
    return message.shownText();
}

UniqueModule registerAndLoad(const std::wstring& path) {
    {
        UniqueModule first(LoadLibraryW(path.c_str()));
        const auto registerServer = first ? GetProcAddress(first.get(), "DllRegisterServer") : nullptr;
        if (!registerServer ||
            reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(registerServer))() != S_OK)
            return {};
    }
    return UniqueModule(LoadLibraryW(path.c_str()));
}

// Loading the server reads and loads nothing (that would happen under the
// loader lock): the satellite's texts come on first use, from a resource
// image, which runs no code of its own and is in no module list.
TEST(GermanLanguage, TheSatelliteBesideTheRegisteredServerGivesItsTextsOnFirstUseAndWithoutItTheServerKeepsEnglish) {
    ASSERT_EQ(PRIMARYLANGID(GetUserDefaultLangID()), LANG_GERMAN)
        << "this test needs a German user language; got " << GetUserDefaultLangID();
    RegistryGuard guard;
    UniqueModule server = registerAndLoad(builtModulePath(L"Nimbrel.dll"));
    ASSERT_TRUE(server);
    EXPECT_EQ(GetModuleHandleW(L"NimbrelDEU.dll"), nullptr) << "the satellite was loaded as a module";
    EXPECT_EQ(shownByEmptyRoot(server.get()), L"Es sind keine unterst\u00fctzten Ger\u00e4te angeschlossen.");
    EXPECT_EQ(GetModuleHandleW(L"NimbrelDEU.dll"), nullptr) << "the satellite was loaded as a module";
    server.reset();

    wchar_t tempPath[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, tempPath), 0u);
    const std::wstring folder = std::wstring(tempPath) + L"NimbrelAlone", copy = folder + L"\\Nimbrel.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(builtModulePath(L"Nimbrel.dll").c_str(), copy.c_str(), FALSE));
    server = registerAndLoad(copy);
    ASSERT_TRUE(server);
    EXPECT_EQ(registeredServerPath(), copy);
    EXPECT_EQ(shownByEmptyRoot(server.get()), L"No supported devices connected.") << "no satellite beside it";
    server.reset();
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
