#pragma once
// What the folder tests share: COM on the test thread, the English texts of
// the built module, an empty device catalogue, and listing a folder the way
// the shell does (EnumObjects, then Next until the end).
#include "BuiltModules.h"
#include "namespace/ItemIdAllocator.h"
#include "namespace/ItemRecord.h"
#include "shell/ComObject.h"
#include "shell/ModuleState.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

inline constexpr char catalogueKey[] = "Software\\Korvel\\Nimbrel\\DEVICES";
inline constexpr SHCONTF viewFlags = 0x100;

// COM for the thread and the resource module for the prompts.
class ComAndTexts {
public:
    ComAndTexts()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        texts_ = loadResourcesOf(L"Nimbrel.dll");
        moduleState().setResourceModule(texts_.get());
    }
    ~ComAndTexts()
    {
        moduleState().setResourceModule(nullptr);
        CoUninitialize();
    }
    bool textsLoaded() const { return texts_.valid(); }

private:
    UniqueModule texts_;
};

// Removes the remembered device names and counters of the current user.
inline void forgetDeviceNames()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, catalogueKey);
}

// A string value of the catalogue; none when it is absent.
inline std::optional<std::string> catalogueValue(const std::string& subkey, const std::string& name)
{
    const std::string key = std::string(catalogueKey) + (subkey.empty() ? "" : "\\" + subkey);
    char data[256] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

// The items of one enumeration: each identifier as the shell got it.
struct Listing {
    HRESULT result = E_FAIL;
    std::vector<UniqueIdList> items;

    ItemRecord record(std::size_t index) const { return *readLastItemRecord(items.at(index).get()); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> names;
        for (const auto& item : items) names.emplace_back(fieldText(readLastItemRecord(item.get())->name));
        return names;
    }
    PCUITEMID_CHILD id(std::size_t index) const { return items.at(index).get(); }
};

// `folder` is any pointer to a shell folder.
template <typename Folder>
Listing listFolder(const Folder& folder, SHCONTF flags = viewFlags)
{
    Listing listing;
    ComPtr<IEnumIDList> enumerator;
    listing.result = folder->EnumObjects(nullptr, flags, &enumerator);
    if (FAILED(listing.result)) {
        EXPECT_EQ(enumerator, nullptr) << "a failed enumeration handed out an enumerator";
        return listing;
    }
    PITEMID_CHILD item = nullptr;
    ULONG fetched = 0;
    while (enumerator->Next(1, &item, &fetched) == S_OK) listing.items.emplace_back(item);
    return listing;
}

inline std::string displayName(IShellFolder& folder, PCUITEMID_CHILD item)
{
    STRRET name{};
    if (FAILED(folder.GetDisplayNameOf(item, SHGDN_NORMAL, &name)) || name.uType != STRRET_CSTR) return "<none>";
    return name.cStr;
}
