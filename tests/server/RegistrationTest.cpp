#include "RegistryGuard.h"
#include "shell/BuiltModules.h"
#include "shell/ChildProcess.h"
#include "shell/ComObject.h"
#include "shell/NimbrelClassId.h"
#include "shell/RegistryText.h"
#include "shell/TextFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Runs regsvr32 on the built module and returns its exit code.
unsigned long regsvr32(const std::wstring& options) {
    return runProgram(L"regsvr32.exe " + options + L"\"" + builtModulePath(L"Nimbrel.dll") + L"\"", 30000);
}

// Registering replaces the keys whole (a stray one is left by an earlier
// version); then the desktop resolves the junction to our folder, as
// Explorer does, which COM makes from the module in InprocServer32.
TEST(Registration, Regsvr32WritesExactlyTheKeysTheDesktopReachesTheFolderAndUnregisteringKeepsTheirParents) {
    RegistryGuard guard;
    HKEY stray = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (nimbrelClassKey + "\\Stale").c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &stray, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stray);
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, nimbrelNameSpaceKey.c_str(), "Old", REG_SZ, "x", 2), ERROR_SUCCESS);

    ASSERT_EQ(regsvr32(L"/s "), 0u);
    const std::string module = narrow(builtModulePath(L"Nimbrel.dll"));
    EXPECT_EQ(describeKey(HKEY_CLASSES_ROOT, nimbrelClassKey), registeredClassKey(module));
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, nimbrelNameSpaceKey), registeredNameSpaceKey);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        ComPtr<IShellFolder> desktop, folder;
        ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
        std::wstring junction = std::wstring(L"::") + nimbrelClassIdText;
        PIDLIST_RELATIVE parsed = nullptr;
        ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, junction.data(), nullptr, &parsed, nullptr), S_OK);
        UniqueIdList idList(parsed);
        ASSERT_EQ(desktop->BindToObject(idList.get(), nullptr, IID_PPV_ARGS(&folder)), S_OK);
        ComPtr<IPersistFolder> persist;
        ASSERT_EQ(folder.As(&persist), S_OK);
        CLSID classId{};
        EXPECT_EQ(persist->GetClassID(&classId), S_OK);
        EXPECT_TRUE(IsEqualCLSID(classId, CLSID_NimbrelFolder));
    }
    CoUninitialize();

    for (int time : {1, 2}) {  // unregistering what is not registered is no failure
        ASSERT_EQ(regsvr32(L"/s /u "), 0u) << time;
        EXPECT_EQ(describeKey(HKEY_CLASSES_ROOT, nimbrelClassKey), "(absent)");
        EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, nimbrelNameSpaceKey), "(absent)");
        EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID"));
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, nameSpaceParentKey)) << "the desktop's NameSpace key must stay";
    }
}

}  // namespace
