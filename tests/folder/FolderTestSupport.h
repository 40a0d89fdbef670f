#pragma once
// What the folder tests share: COM on the test thread, the English texts of
// the built module, an empty device catalogue, a window to own messages,
// and listing a folder the way the shell does (EnumObjects, then Next until
// the end).
#include "BuiltModules.h"
#include "namespace/ItemIdAllocator.h"
#include "shell/ComObject.h"
#include "shell/ModuleState.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

inline constexpr SHCONTF viewFlags = SHCONTF_INIT_ON_FIRST_NEXT;

// COM for the thread, the resource module for the prompts, and no remembered
// device names before or after.
class ComAndTexts {
public:
    ComAndTexts() : texts_(loadResourcesOf(L"Nimbrel.dll")) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        moduleState().setResourceModule(texts_.get());
        forgetDeviceNames();
    }
    ~ComAndTexts() {
        forgetDeviceNames();
        moduleState().setResourceModule(nullptr);
        CoUninitialize();
    }
    bool textsLoaded() const { return texts_.valid(); }
    static void forgetDeviceNames() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Korvel\\Nimbrel\\DEVICES"); }

private:
    UniqueModule texts_;
};

// A window of the test thread, to own messages.
inline UniqueWindow messageWindow() {
    return UniqueWindow(CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
}

// The items of one enumeration: each identifier as the shell got it.
struct Listing {
    HRESULT result = E_FAIL;
    std::vector<UniqueIdList> items;

    ItemRecord record(std::size_t index) const { return *readLastItemRecord(items.at(index).get()); }
    PCUITEMID_CHILD id(std::size_t index) const { return items.at(index).get(); }
    std::vector<std::string> names() const {
        std::vector<std::string> names;
        for (const auto& item : items) names.emplace_back(fieldText(readLastItemRecord(item.get())->name));
        return names;
    }
    // The identifier of the item named `name`: the device's order is its own.
    PCUITEMID_CHILD named(const std::string& name) const {
        const auto all = names();
        const auto at = std::find(all.begin(), all.end(), name);
        return at == all.end() ? nullptr : id(static_cast<std::size_t>(at - all.begin()));
    }
};

// `folder` is any pointer to a shell folder.
template <typename Folder>
Listing listFolder(const Folder& folder, SHCONTF flags = viewFlags, HWND owner = nullptr) {
    Listing listing;
    ComPtr<IEnumIDList> enumerator;
    listing.result = folder->EnumObjects(owner, flags, &enumerator);
    if (FAILED(listing.result)) {
        EXPECT_EQ(enumerator, nullptr) << "a failed enumeration handed out an enumerator";
        return listing;
    }
    PITEMID_CHILD item = nullptr;
    while (enumerator->Next(1, &item, nullptr) == S_OK) listing.items.emplace_back(item);
    return listing;
}
