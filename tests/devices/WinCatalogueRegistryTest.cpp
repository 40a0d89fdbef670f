// The catalogue in the registry of the current user, read back with the
// registry's own calls: keys, value types and data bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestStorage.h"

namespace {

// A value of HKCU\<keyPath> as the registry holds it: strings as UTF-16,
// of which text() keeps the low bytes (the tests' names are ASCII).
struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    std::string text() const {
        std::string text;
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) text += static_cast<char>(data[i]);
        return text;
    }
};

StoredValue queryValue(const std::string& keyPath, const std::string& name) {
    StoredValue value;
    HKEY key = nullptr;
    const std::wstring wideKey(keyPath.begin(), keyPath.end()), wideName(name.begin(), name.end());
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wideKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type, nullptr, &size);
    value.data.resize(size);
    RegQueryValueExW(key, wideName.c_str(), nullptr, &value.type, value.data.data(), &size);
    RegCloseKey(key);
    return value;
}

}  // namespace

TEST(CatalogueRegistry, CountersAreDwordsAndNamesStringsWithoutTerminatingZeroInSubkeysMadeAtLoading) {
    TestStorage storage;
    const std::string devices = storage.where() + "\\DEVICES";
    storage.listing({{"CV8-A", 0x78}, {"CV8-B", 0x78}});

    for (const auto& [code, count] : {std::pair{"SLV", 0}, {"MN2", 0}, {"CV4", 0}, {"CV8", 2}}) {
        const StoredValue counter = queryValue(devices, std::string(code) + "_INDEX");
        EXPECT_EQ(counter.type, static_cast<DWORD>(REG_DWORD)) << code;
        EXPECT_EQ(counter.data, (std::vector<BYTE>{BYTE(count), 0, 0, 0})) << code;
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (devices + "\\" + code).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS)
            << "the names subkey " << code << " is made when the catalogue is loaded";
        if (key) RegCloseKey(key);
    }
    const StoredValue name = queryValue(devices + "\\CV8", "CV8-B");
    EXPECT_EQ(name.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(name.text(), "Corvia 80 (2)");
    EXPECT_EQ(name.data.size(), 2u * 13u) << "the registry holds a terminating zero";
    EXPECT_EQ(queryValue(devices + "\\CV8", "CV8-A").text(), "Corvia 80");
}

// Long values are read whole on every platform (see CatalogueTest); a name
// written by another program may end in a stored zero.
TEST(CatalogueRegistry, AStoredZeroEndsTheName) {
    TestStorage storage;
    const std::string name("With zero", 10);
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, (storage.where() + "\\DEVICES\\CV4").c_str(), "THIRD", REG_SZ,
                              name.data(), static_cast<DWORD>(name.size())),
              ERROR_SUCCESS);
    EXPECT_EQ(storage.loaded().rememberedNames().at("THIRD"), "With zero");
}
