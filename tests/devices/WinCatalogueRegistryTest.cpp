// The catalogue in the registry of the current user, read back with the
// registry's own calls: keys, value types and data bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestStorage.h"
#include "devices/DeviceCatalogue.h"
#include "devices/RegistryCatalogueStore.h"

namespace {

struct StoredValue {
    LONG result = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

StoredValue queryValue(const std::string& keyPath, const char* name) {
    StoredValue value;
    HKEY key = nullptr;
    value.result = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key);
    if (value.result != ERROR_SUCCESS) return value;
    DWORD size = 0;
    value.result = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
    if (value.result == ERROR_SUCCESS) {
        // Exactly the size asked for: given more room, the ANSI call adds a zero of its own.
        value.data.assign(size, 0xEE);
        value.result = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    return value;
}

void setRawString(const std::string& keyPath, const std::string& name, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// The bytes the registry holds for a string value: it keeps strings as
// UTF-16, so a name of n characters without a terminating zero is 2n bytes.
DWORD storedBytes(const std::string& keyPath, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    const std::wstring wideName(name.begin(), name.end());
    DWORD size = 0;
    RegQueryValueExW(key, wideName.c_str(), nullptr, nullptr, nullptr, &size);
    RegCloseKey(key);
    return size;
}

std::string text(const std::vector<BYTE>& data) {
    return {data.begin(), data.end()};
}

}  // namespace

TEST(CatalogueRegistry, UsersCatalogueHoldsFourDwordCountersAndNamesWithoutTerminatingZero) {
    const std::string devices = "Software\\Korvel\\Nimbrel\\DEVICES";
    const std::string serial = "LAYOUT-" + std::to_string(GetCurrentProcessId());

    DeviceCatalogue catalogue;
    catalogue.loadCatalogue();
    catalogue.saveIndexCounters();
    ASSERT_TRUE(catalogue.storeDeviceName(0x78, serial, "Desk Corvia"));

    for (const char* counter : {"SLV_INDEX", "MN2_INDEX", "CV4_INDEX", "CV8_INDEX"}) {
        const StoredValue value = queryValue(devices, counter);
        ASSERT_EQ(value.result, ERROR_SUCCESS) << counter << " under HKCU\\" << devices;
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << counter;
        EXPECT_EQ(value.data.size(), 4u) << counter;
    }
    const StoredValue name = queryValue(devices + "\\CV8", serial.c_str());
    ASSERT_EQ(name.result, ERROR_SUCCESS) << "no value " << serial << " under HKCU\\" << devices << "\\CV8";
    EXPECT_EQ(name.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text(name.data), "Desk Corvia") << "expected the 11 characters and no terminating zero";
    EXPECT_EQ(storedBytes(devices + "\\CV8", serial), 2u * 11u) << "the registry holds a terminating zero";

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (devices + "\\CV8").c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, serial.c_str());
        RegCloseKey(key);
    }
}

TEST(CatalogueRegistry, NamingNewDevicesWritesCounterAndNameValues) {
    TestStorage storage;
    const std::string devices = storage.where() + "\\DEVICES";
    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();
    catalogue.nameDevice("CV8-A", 0x78);
    catalogue.nameDevice("CV8-B", 0x78);
    catalogue.saveIndexCounters();

    const StoredValue counter = queryValue(devices, "CV8_INDEX");
    ASSERT_EQ(counter.result, ERROR_SUCCESS);
    ASSERT_EQ(counter.data.size(), 4u);
    EXPECT_EQ(counter.data, (std::vector<BYTE>{2, 0, 0, 0}));
    EXPECT_EQ(text(queryValue(devices + "\\CV8", "CV8-A").data), "Corvia 80");
    EXPECT_EQ(text(queryValue(devices + "\\CV8", "CV8-B").data), "Corvia 80 (2)");
    EXPECT_EQ(storedBytes(devices + "\\CV8", "CV8-B"), 2u * 13u) << "the registry holds a terminating zero";
    for (const char* code : {"SLV", "MN2", "CV4"}) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (devices + "\\" + code).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS)
            << "the names subkey " << code << " is made when the catalogue is loaded";
        if (key) RegCloseKey(key);
    }
}

TEST(CatalogueRegistry, LongValuesWrittenByOthersAreReadWholeAndAStoredZeroEndsTheName) {
    TestStorage storage;
    const std::string names = storage.where() + "\\DEVICES\\CV4";
    const std::string longName(64, 'L');
    setRawString(names, "FIRST", longName);
    setRawString(names, std::string(43, '9'), "Corvia 40 (2)");
    setRawString(names, "THIRD", std::string("With zero", 10));

    DeviceCatalogue catalogue(storage.open());
    catalogue.loadCatalogue();
    const auto& remembered = catalogue.rememberedNames();
    EXPECT_EQ(remembered.at("FIRST"), longName);
    ASSERT_EQ(remembered.count(std::string(43, '9')), 1u) << "the value after a long name was lost";
    EXPECT_EQ(remembered.at(std::string(43, '9')), "Corvia 40 (2)");
    EXPECT_EQ(remembered.at("THIRD"), "With zero");
}
