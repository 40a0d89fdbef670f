#include "RegistryGuard.h"
#include "shell/BuiltModules.h"
#include "shell/ComObject.h"
#include "shell/NimbrelClassId.h"
#include "shell/TextFormat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

const char classKey[] = "CLSID\\{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}";
const char nameSpaceParent[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace";
const std::string nameSpaceKey = std::string(nameSpaceParent) + "\\{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917}";

bool keyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    return RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS && RegCloseKey(key) == ERROR_SUCCESS;
}

// A key with all it holds as one line: values in order of their names as
// name="text" (strings, which must end in one NUL) or name=0x... (numbers),
// then subkeys as Name{...}; "(absent)" when there is no such key.
std::string describeKey(HKEY root, const std::string& path) {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return "(absent)";
    UniqueRegKey key(raw);
    std::map<std::string, std::string> values, subkeys;
    for (DWORD i = 0;; ++i) {
        char name[256], data[1024];
        DWORD nameLength = sizeof name, size = sizeof data, type = 0, number = 0;
        if (RegEnumValueA(key.get(), i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size)) break;
        std::memcpy(&number, data, sizeof number);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%lx", number);
        values[*name ? name : "(default)"] = type == REG_DWORD         ? hex
                                             : type != REG_SZ          ? "type " + std::to_string(type)
                                             : size && !data[size - 1] ? "\"" + std::string(data, size - 1) + "\""
                                                                       : "unterminated";
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr)) break;
        subkeys[name] = describeKey(root, path + "\\" + name);
    }
    std::string out;
    for (const auto& [valueName, value] : values) out += (out.empty() ? "" : " ") + valueName + "=" + value;
    for (const auto& [subkey, inside] : subkeys) out += (out.empty() ? "" : " ") + subkey + "{" + inside + "}";
    return out;
}

class RegistrationTest : public ::testing::Test {
protected:
    // Runs regsvr32 on the built module and returns its exit code.
    unsigned long regsvr32(const std::wstring& options) {
        std::wstring command = L"regsvr32.exe " + options + L"\"" + builtModulePath(L"Nimbrel.dll") + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            return GetLastError() | 0x80000000ul;
        UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
        WaitForSingleObject(process.hProcess, 30000);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
    RegistryGuard guard;
};

TEST_F(RegistrationTest, Regsvr32WritesExactlyTheClassKeyAndTheDesktopEntryWholeAndUnregisteringKeepsTheirParents) {
    HKEY stray = nullptr;  // left by an earlier version: registering replaces the keys whole
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(classKey) + "\\Stale").c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &stray, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stray);
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, nameSpaceKey.c_str(), "Old", REG_SZ, "x", 2), ERROR_SUCCESS);

    ASSERT_EQ(regsvr32(L"/s "), 0u);
    const std::string module = narrow(builtModulePath(L"Nimbrel.dll"));
    EXPECT_EQ(describeKey(HKEY_CLASSES_ROOT, classKey),
              "(default)=\"Nimbrel\" InfoTip=\"Nimbrel\" DefaultIcon{(default)=\"" + module +
                  ",0\"} InprocServer32{"
                  "(default)=\"" +
                  module + "\" ThreadingModel=\"Apartment\"} ShellFolder{Attributes=0xa8000000}");
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, nameSpaceKey), "Removal Message=\"Delete Nimbrel\"");

    ASSERT_EQ(regsvr32(L"/s /u "), 0u);
    EXPECT_EQ(describeKey(HKEY_CLASSES_ROOT, classKey), "(absent)");
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, nameSpaceKey), "(absent)");
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, nameSpaceParent)) << "the desktop's NameSpace key must stay";
    EXPECT_EQ(regsvr32(L"/s /u "), 0u) << "unregistering what is not registered is no failure";
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, nameSpaceParent));
}

// What Explorer does with the registration: the desktop resolves the
// junction to our folder, which COM makes from the module in InprocServer32.
TEST_F(RegistrationTest, RegisteredClassIsReachedFromTheDesktopThroughCom) {
    ASSERT_EQ(regsvr32(L"/s "), 0u);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        ComPtr<IShellFolder> desktop;
        ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
        std::wstring junction = std::wstring(L"::") + nimbrelClassIdText;
        PIDLIST_RELATIVE parsed = nullptr;
        ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, junction.data(), nullptr, &parsed, nullptr), S_OK);
        UniqueIdList idList(parsed);
        ComPtr<IShellFolder> folder;
        ASSERT_EQ(desktop->BindToObject(idList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
        ComPtr<IPersistFolder> persist;
        ASSERT_EQ(folder.As(&persist), S_OK);
        CLSID classId{};
        EXPECT_EQ(persist->GetClassID(&classId), S_OK);
        EXPECT_TRUE(IsEqualCLSID(classId, CLSID_NimbrelFolder));
    }
    CoUninitialize();
}

}  // namespace
