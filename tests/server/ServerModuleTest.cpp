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

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

// Nimbrel.dll loaded as the shell loads it, with its exports.
class ServerModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_.reset(LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str()));
        ASSERT_TRUE(module_) << "Nimbrel.dll does not load: " << GetLastError();
        getClassObject = reinterpret_cast<GetClassObjectFunction>(GetProcAddress(module_.get(), "DllGetClassObject"));
        canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(GetProcAddress(module_.get(), "DllCanUnloadNow"));
        ASSERT_NE(getClassObject, nullptr);
        ASSERT_NE(canUnloadNow, nullptr);
    }

    ComPtr<IClassFactory> factory()
    {
        ComPtr<IClassFactory> result;
        EXPECT_EQ(getClassObject(CLSID_NimbrelFolder, IID_PPV_ARGS(&result)), S_OK);
        return result;
    }

    GetClassObjectFunction getClassObject = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;

private:
    UniqueModule module_;
};

TEST_F(ServerModuleTest, ClassObjectIsRefusedForNullOutAndForeignClasses)
{
    EXPECT_EQ(getClassObject(CLSID_NimbrelFolder, IID_IClassFactory, nullptr), E_POINTER);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(CLSID_ShellDesktop, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(getClassObject(CLSID_NimbrelFolder, IID_IShellFolder, &object), E_NOINTERFACE);
}

TEST_F(ServerModuleTest, FactoryIsMadeOnceEvenWhenThreadsAskTogether)
{
    std::vector<IClassFactory*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] { getClassObject(CLSID_NimbrelFolder, IID_PPV_ARGS(&seen[i])); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (IClassFactory* factory : seen) {
        ASSERT_NE(factory, nullptr);
        EXPECT_EQ(factory, seen[0]) << "every caller should get the one factory";
    }
    for (IClassFactory* factory : seen) {
        factory->Release();
    }
    EXPECT_EQ(canUnloadNow(), S_OK) << "the module's own factory must not keep it loaded";
}

TEST_F(ServerModuleTest, FactoryMakesTheRootFolderWithItsClassIdAndNoAggregation)
{
    ComPtr<IClassFactory> classFactory = factory();
    ComPtr<IShellFolder> folder;
    ASSERT_EQ(classFactory->CreateInstance(nullptr, IID_PPV_ARGS(&folder)), S_OK);
    ComPtr<IPersistFolder> persist;
    ASSERT_EQ(folder.As(&persist), S_OK);
    CLSID classId{};
    ASSERT_EQ(persist->GetClassID(&classId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(classId, CLSID_NimbrelFolder));
    EXPECT_EQ(persist->Initialize(nullptr), S_OK);

    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(classFactory->CreateInstance(folder.Get(), IID_IUnknown, reinterpret_cast<void**>(&object)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(classFactory->CreateInstance(nullptr, IID_IShellFolder, nullptr), E_POINTER);
}

TEST_F(ServerModuleTest, ModuleStaysLoadedWhileAFolderOrALockLives)
{
    ASSERT_EQ(canUnloadNow(), S_OK);
    ComPtr<IClassFactory> classFactory = factory();
    ComPtr<IShellFolder> folder;
    ASSERT_EQ(classFactory->CreateInstance(nullptr, IID_PPV_ARGS(&folder)), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "a folder is alive";
    folder.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK) << "the last folder is gone";

    ASSERT_EQ(classFactory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the server is locked";
    ASSERT_EQ(classFactory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST(ResourceModuleChoice, EveryGermanRegionSelectsTheSatelliteAndNothingElseDoes)
{
    EXPECT_TRUE(wantsGermanResources(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)));
    EXPECT_TRUE(wantsGermanResources(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN)));
    EXPECT_TRUE(wantsGermanResources(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_SWISS)));
    EXPECT_FALSE(wantsGermanResources(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
    EXPECT_FALSE(wantsGermanResources(MAKELANGID(LANG_DUTCH, SUBLANG_DUTCH)));
    EXPECT_FALSE(wantsGermanResources(0x0447)) << "only the low 10 bits are the primary language";
}

TEST(ClipboardFormats, AllFormatsAndTheDragImageMessageAreRegisteredByName)
{
    moduleState().registerClipboardFormats();
    const ClipboardFormats& formats = moduleState().clipboardFormats();
    const std::pair<UINT, const char*> expected[] = {
        {formats.fileGroupDescriptor, "FileGroupDescriptor"},
        {formats.fileContents, "FileContents"},
        {formats.pasteSucceeded, "Paste Succeeded"},
        {formats.performedDropEffect, "Performed DropEffect"},
        {formats.logicalPerformedDropEffect, "Logical Performed DropEffect"},
        {formats.preferredDropEffect, "Preferred DropEffect"},
        {formats.fileNameMap, "FileNameMap"},
        {formats.dragContext, "DragContext"},
        {formats.deviceFiles, "NBNSE"},
        {formats.devicePort, "NBNSE_GETPORT"},
        {formats.moveSystemFile, "NBNSE_MOVESYSFILE"},
    };
    for (const auto& [number, name] : expected) {
        char registered[128] = {};
        ASSERT_GT(GetClipboardFormatNameA(number, registered, sizeof(registered)), 0) << name;
        EXPECT_STREQ(registered, name);
    }
    EXPECT_EQ(moduleState().dragImageMessage(), RegisterWindowMessageA("ShellGetDragImage"));
    EXPECT_GE(moduleState().dragImageMessage(), 0xC000u);
}

}  // namespace
