#include "shell/BuiltModules.h"
#include "shell/ComObject.h"
#include "shell/ModuleState.h"
#include "shell/NimbrelClassId.h"
#include "server/ResourceModule.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namespace std::string_literals;

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

// Nimbrel.dll loaded as the shell loads it, with its exports.
class ServerModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_.reset(LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str()));
        ASSERT_TRUE(module_) << "Nimbrel.dll does not load: " << GetLastError();
        getClassObject = reinterpret_cast<GetClassObjectFunction>(
            reinterpret_cast<void*>(GetProcAddress(module_.get(), "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(
            reinterpret_cast<void*>(GetProcAddress(module_.get(), "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject && canUnloadNow);
    }

    GetClassObjectFunction getClassObject = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;

private:
    UniqueModule module_;
};

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

TEST(ClipboardFormats, AllFormatsAndTheDragImageMessageAreRegisteredByName) {
    moduleState().registerClipboardFormats();
    const ClipboardFormats& f = moduleState().clipboardFormats();
    std::string names;
    for (UINT format : {f.fileGroupDescriptor, f.fileContents, f.pasteSucceeded, f.performedDropEffect,
                        f.logicalPerformedDropEffect, f.preferredDropEffect, f.fileNameMap, f.dragContext,
                        f.deviceFiles, f.devicePort, f.moveSystemFile, f.deviceFileNames}) {
        char registered[128] = {};
        names += (GetClipboardFormatNameA(format, registered, sizeof(registered)) > 0 ? registered : "?") + "|"s;
    }
    EXPECT_EQ(names,
              "FileGroupDescriptor|FileContents|Paste Succeeded|Performed DropEffect|Logical Performed DropEffect|"
              "Preferred DropEffect|FileNameMap|DragContext|NBNSE|NBNSE_GETPORT|NBNSE_MOVESYSFILE|NBNSE_NAMES|");
    EXPECT_EQ(moduleState().dragImageMessage(), RegisterWindowMessageA("ShellGetDragImage"));
    EXPECT_GE(moduleState().dragImageMessage(), 0xC000u);
}

}  // namespace
