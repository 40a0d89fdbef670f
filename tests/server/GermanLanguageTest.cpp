// Runs with a German user language (LC_ALL=de_DE.UTF-8 in its environment).
#include "RegistryGuard.h"
#include "resources/resource.h"
#include "server/Registration.h"
#include "shell/BuiltModules.h"

#include <gtest/gtest.h>

namespace {

// Registers the server at path through its own DllRegisterServer, then
// loads it afresh: start-up reads the install folder from the registration.
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

TEST(GermanLanguage, TheSatelliteBesideTheRegisteredServerGivesItsTextsAndWithoutItTheServerKeepsEnglish) {
    ASSERT_EQ(PRIMARYLANGID(GetUserDefaultLangID()), LANG_GERMAN)
        << "this test needs a German user language; got " << GetUserDefaultLangID();
    ASSERT_EQ(GetModuleHandleW(L"NimbrelDEU.dll"), nullptr);
    RegistryGuard guard;
    UniqueModule server = registerAndLoad(builtModulePath(L"Nimbrel.dll"));
    ASSERT_TRUE(server);
    HMODULE satellite = GetModuleHandleW(L"NimbrelDEU.dll");
    ASSERT_NE(satellite, nullptr) << "start-up should have loaded the German satellite";
    EXPECT_EQ(moduleText(satellite, IDS_CAPTION_ERROR), L"Ein Fehler ist aufgetreten!");
    EXPECT_EQ(moduleText(satellite, IDS_NO_DEVICES), L"Es sind keine unterst\u00fctzten Ger\u00e4te angeschlossen.");
    server.reset();
    EXPECT_EQ(GetModuleHandleW(L"NimbrelDEU.dll"), nullptr) << "unloading the server should release its satellite";

    wchar_t tempPath[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, tempPath), 0u);
    const std::wstring folder = std::wstring(tempPath) + L"NimbrelAlone", copy = folder + L"\\Nimbrel.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(builtModulePath(L"Nimbrel.dll").c_str(), copy.c_str(), FALSE));
    server = registerAndLoad(copy);
    ASSERT_TRUE(server);
    EXPECT_EQ(registeredServerPath(), copy);
    EXPECT_EQ(GetModuleHandleW(L"NimbrelDEU.dll"), nullptr) << "no satellite lies beside the registered server";
    EXPECT_EQ(moduleText(server.get(), IDS_CAPTION_ERROR), L"An error occurred!");
    server.reset();
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
