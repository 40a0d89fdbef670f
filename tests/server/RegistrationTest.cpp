#include "RegistryGuard.h"
#include "shell/BuiltModules.h"
#include "shell/ComObject.h"
#include "shell/NimbrelClassId.h"
#include "shell/TextFormat.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const char classKey[] = "CLSID\\{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}";
const char nameSpaceParent[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace";
const char nameSpaceKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace\\{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}";

bool keyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

struct RegValue {
    DWORD type = REG_NONE;
    std::string data;
    LSTATUS status = ERROR_FILE_NOT_FOUND;
};

RegValue readValue(HKEY root, const std::string& path, const char* name)
{
    RegValue value;
    HKEY raw = nullptr;
    value.status = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &raw);
    if (value.status != ERROR_SUCCESS) {
        return value;
    }
    UniqueRegKey key(raw);
    char buffer[1024] = {};
    DWORD size = sizeof(buffer);
    value.status = RegQueryValueExA(key.get(), name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer), &size);
    value.data.assign(buffer, size);
    return value;
}

std::string sz(const std::string& text)
{
    return text + '\0';
}

// Names of the subkeys and the values directly under a key.
std::set<std::string> namesUnder(HKEY root, const std::string& path, bool values)
{
    std::set<std::string> names;
    HKEY raw = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) {
        return names;
    }
    UniqueRegKey key(raw);
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        DWORD length = sizeof(name);
        const LSTATUS status = values ? RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr)
                                      : RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            break;
        }
        names.insert(name);
    }
    return names;
}

// The module path as regsvr32 gets it and as it must come back.
std::string modulePathAnsi()
{
    return narrow(builtModulePath(L"Nimbrel.dll"));
}

class RegistrationTest : public ::testing::Test {
protected:
    RegistryGuard guard;
};

TEST_F(RegistrationTest, Regsvr32WritesExactlyTheClassKeyAndTheDesktopEntry)
{
    ASSERT_EQ(runRegsvr32(L"/s \"" + builtModulePath(L"Nimbrel.dll") + L"\""), 0u);
    const std::string module = modulePathAnsi();
    const std::string key = classKey;

    struct Expected {
        HKEY root;
        std::string path;
        const char* name;
        DWORD type;
        std::string data;
    };
    const DWORD attributes = 0xA8000000;
    const Expected expected[] = {
        {HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, sz("Nimbrel")},
        {HKEY_CLASSES_ROOT, key, "InfoTip", REG_SZ, sz("Nimbrel")},
        {HKEY_CLASSES_ROOT, key + "\\InprocServer32", nullptr, REG_SZ, sz(module)},
        {HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel", REG_SZ, sz("Apartment")},
        {HKEY_CLASSES_ROOT, key + "\\DefaultIcon", nullptr, REG_SZ, sz(module + ",0")},
        {HKEY_CLASSES_ROOT, key + "\\ShellFolder", "Attributes", REG_DWORD,
         std::string(reinterpret_cast<const char*>(&attributes), sizeof(attributes))},
        {HKEY_LOCAL_MACHINE, nameSpaceKey, "Removal Message", REG_SZ, sz("Delete Nimbrel")},
    };
    for (const Expected& entry : expected) {
        const RegValue value = readValue(entry.root, entry.path, entry.name);
        const std::string where = entry.path + " : " + (entry.name ? entry.name : "(default)");
        ASSERT_EQ(value.status, ERROR_SUCCESS) << where;
        EXPECT_EQ(value.type, entry.type) << where;
        EXPECT_EQ(value.data, entry.data) << where;
    }

    EXPECT_EQ(namesUnder(HKEY_CLASSES_ROOT, key, false),
              (std::set<std::string>{"DefaultIcon", "InprocServer32", "ShellFolder"}));
    EXPECT_EQ(namesUnder(HKEY_CLASSES_ROOT, key, true), (std::set<std::string>{"", "InfoTip"}));
    EXPECT_EQ(namesUnder(HKEY_CLASSES_ROOT, key + "\\InprocServer32", true),
              (std::set<std::string>{"", "ThreadingModel"}));
    EXPECT_EQ(namesUnder(HKEY_CLASSES_ROOT, key + "\\ShellFolder", true), (std::set<std::string>{"Attributes"}));
    EXPECT_EQ(namesUnder(HKEY_LOCAL_MACHINE, nameSpaceKey, true), (std::set<std::string>{"Removal Message"}));
    EXPECT_TRUE(namesUnder(HKEY_LOCAL_MACHINE, nameSpaceKey, false).empty());
}

TEST_F(RegistrationTest, RegisteringReplacesTheKeysWholeDroppingWhatWasThereBefore)
{
    HKEY stray = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(classKey) + "\\Stale").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &stray, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stray);
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, nameSpaceKey, "Old", REG_SZ, "x", 2), ERROR_SUCCESS);

    ASSERT_EQ(runRegsvr32(L"/s \"" + builtModulePath(L"Nimbrel.dll") + L"\""), 0u);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, std::string(classKey) + "\\Stale"));
    EXPECT_EQ(namesUnder(HKEY_LOCAL_MACHINE, nameSpaceKey, true), (std::set<std::string>{"Removal Message"}));
}

TEST_F(RegistrationTest, UnregisteringRemovesBothKeysWholeButNeverTheirParents)
{
    ASSERT_EQ(runRegsvr32(L"/s \"" + builtModulePath(L"Nimbrel.dll") + L"\""), 0u);
    ASSERT_TRUE(keyExists(HKEY_CLASSES_ROOT, classKey));

    ASSERT_EQ(runRegsvr32(L"/s /u \"" + builtModulePath(L"Nimbrel.dll") + L"\""), 0u);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, nameSpaceKey));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, nameSpaceParent)) << "the desktop's NameSpace key must stay";

    EXPECT_EQ(runRegsvr32(L"/s /u \"" + builtModulePath(L"Nimbrel.dll") + L"\""), 0u)
        << "unregistering what is not registered is no failure";
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, nameSpaceParent));
}

// What Explorer does with the registration: COM finds the module through
// InprocServer32, and the desktop resolves the junction to our folder.
TEST_F(RegistrationTest, RegisteredClassIsCreatedThroughComAndReachedFromTheDesktop)
{
    ASSERT_EQ(runRegsvr32(L"/s \"" + builtModulePath(L"Nimbrel.dll") + L"\""), 0u);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        ComPtr<IPersistFolder> created;
        ASSERT_EQ(CoCreateInstance(CLSID_NimbrelFolder, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&created)), S_OK);
        CLSID classId{};
        EXPECT_EQ(created->GetClassID(&classId), S_OK);
        EXPECT_TRUE(IsEqualCLSID(classId, CLSID_NimbrelFolder));

        ComPtr<IShellFolder> desktop;
        ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
        std::wstring junction = std::wstring(L"::") + nimbrelClassIdText;
        UniqueIdList idList;
        {
            PIDLIST_RELATIVE parsed = nullptr;
            ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, junction.data(), nullptr, &parsed, nullptr), S_OK);
            idList.reset(parsed);
        }
        ComPtr<IShellFolder> folder;
        ASSERT_EQ(desktop->BindToObject(idList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
        ComPtr<IPersistFolder> persist;
        ASSERT_EQ(folder.As(&persist), S_OK);
        EXPECT_EQ(persist->GetClassID(&classId), S_OK);
        EXPECT_TRUE(IsEqualCLSID(classId, CLSID_NimbrelFolder));
    }
    CoUninitialize();
}

}  // namespace
