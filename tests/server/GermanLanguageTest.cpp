// Runs with a German user language (LC_ALL=de_DE.UTF-8 in its environment).
#include "RegistryGuard.h"
#include "resources/resource.h"
#include "server/Registration.h"
#include "shell/BuiltModules.h"

#include <gtest/gtest.h>

namespace {

using RegisterFunction = HRESULT(STDAPICALLTYPE*)();

std::wstring textOf(HMODULE module, UINT id)
{
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// Registers the server at path through its own DllRegisterServer, then
// loads it afresh: start-up reads the install folder from the registration.
UniqueModule registerAndLoad(const std::wstring& path)
{
    {
        UniqueModule first(LoadLibraryW(path.c_str()));
        if (!first) {
            return {};
        }
        auto registerServer = reinterpret_cast<RegisterFunction>(GetProcAddress(first.get(), "DllRegisterServer"));
        if (!registerServer || registerServer() != S_OK) {
            return {};
        }
    }
    return UniqueModule(LoadLibraryW(path.c_str()));
}

class GermanLanguageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(PRIMARYLANGID(GetUserDefaultLangID()), LANG_GERMAN)
            << "this test needs a German user language; got " << GetUserDefaultLangID();
        ASSERT_EQ(GetModuleHandleW(L"NimbrelDEU.dll"), nullptr);
    }

    RegistryGuard guard;
};

TEST_F(GermanLanguageTest, SatelliteBesideTheRegisteredServerProvidesTheTexts)
{
    UniqueModule server = registerAndLoad(builtModulePath(L"Nimbrel.dll"));
    ASSERT_TRUE(server);
    HMODULE satellite = GetModuleHandleW(L"NimbrelDEU.dll");
    ASSERT_NE(satellite, nullptr) << "start-up should have loaded the German satellite";
    EXPECT_EQ(textOf(satellite, IDS_CAPTION_ERROR), L"Ein Fehler ist aufgetreten!");
    EXPECT_EQ(textOf(satellite, IDS_NO_DEVICES), L"Es sind keine unterst\u00fctzten Ger\u00e4te angeschlossen.");

    server.reset();
    EXPECT_EQ(GetModuleHandleW(L"NimbrelDEU.dll"), nullptr) << "unloading the server should release its satellite";
}

TEST_F(GermanLanguageTest, WithoutTheSatelliteTheServerKeepsItsEnglishTexts)
{
    wchar_t tempPath[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, tempPath), 0u);
    const std::wstring folder = std::wstring(tempPath) + L"NimbrelAlone";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\Nimbrel.dll";
    ASSERT_TRUE(CopyFileW(builtModulePath(L"Nimbrel.dll").c_str(), copy.c_str(), FALSE));
    {
        UniqueModule server = registerAndLoad(copy);
        ASSERT_TRUE(server);
        EXPECT_EQ(registeredServerPath(), copy);
        EXPECT_EQ(GetModuleHandleW(L"NimbrelDEU.dll"), nullptr) << "no satellite lies beside the registered server";
        EXPECT_EQ(textOf(server.get(), IDS_CAPTION_ERROR), L"An error occurred!");
    }
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
