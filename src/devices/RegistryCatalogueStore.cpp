#include "devices/RegistryCatalogueStore.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "link/UniqueResource.h"

namespace {

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type invalid() { return nullptr; }
    static void close(Type key) { RegCloseKey(key); }
};
using RegistryKey = UniqueResource<RegistryKeyTraits>;

// Opens the key of the current user, creating it when absent; an invalid
// key when the registry refuses.
RegistryKey createKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(key);
}

struct ValueSizes {
    DWORD nameChars = 0;  // without the terminator
    DWORD dataBytes = 0;
};

bool querySizes(HKEY key, ValueSizes& sizes) {
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &sizes.nameChars,
                            &sizes.dataBytes, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

RegistryCatalogueStore::RegistryCatalogueStore(std::string devicesKey) : devicesKey_(std::move(devicesKey)) {}

std::string RegistryCatalogueStore::namesKey(const DeviceModel& model) const {
    return devicesKey_ + "\\" + model.code;
}

StoredCounters RegistryCatalogueStore::readCounters() {
    StoredCounters counters{};
    const RegistryKey key = createKey(devicesKey_);
    if (!key) return counters;
    for (std::size_t i = 0; i < modelCount; ++i) {
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof value;
        if (RegQueryValueExA(key.get(), deviceModels[i].counterValue, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size) == ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof value) {
            counters[i] = value;
        }
    }
    return counters;
}

bool RegistryCatalogueStore::writeCounters(const StoredCounters& counters) {
    const RegistryKey key = createKey(devicesKey_);
    if (!key) return false;
    bool written = true;
    for (std::size_t i = 0; i < modelCount; ++i) {
        if (!counters[i]) continue;
        const DWORD value = *counters[i];
        written &= RegSetValueExA(key.get(), deviceModels[i].counterValue, 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
    }
    return written;
}

std::vector<RememberedName> RegistryCatalogueStore::readNames(const DeviceModel& model) {
    std::vector<RememberedName> names;
    const RegistryKey key = createKey(namesKey(model));
    ValueSizes sizes;
    if (!key || !querySizes(key.get(), sizes)) return names;

    // Buffers as large as the longest value, so every name is read whole.
    // A value that grows while we read is asked for again with new sizes;
    // one that still cannot be read is passed over, never ending the list.
    constexpr int attemptsPerValue = 3;
    int attempts = 0;
    for (DWORD index = 0;;) {
        std::vector<char> name(sizes.nameChars + 1);
        std::vector<BYTE> data(sizes.dataBytes + 1);
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size());
        const LONG result =
            RegEnumValueA(key.get(), index, name.data(), &nameChars, nullptr, nullptr, data.data(), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_MORE_DATA && ++attempts < attemptsPerValue && querySizes(key.get(), sizes)) continue;
        if (result == ERROR_SUCCESS) {
            // The text is the bytes returned, up to a terminating zero if one was stored.
            const char* text = reinterpret_cast<const char*>(data.data());
            names.push_back({std::string(name.data(), nameChars), std::string(text, strnlen(text, dataBytes))});
        }
        attempts = 0;
        ++index;
    }
    return names;
}

bool RegistryCatalogueStore::writeName(const DeviceModel& model, const std::string& serial, const std::string& name) {
    const RegistryKey key = createKey(namesKey(model));
    if (!key) return false;
    // The name is stored without a terminating zero. RegSetValueExA counts
    // one in by itself when the byte behind the data is zero, so the data
    // go from a buffer whose next byte is not.
    std::vector<char> data(name.begin(), name.end());
    data.push_back('\x01');
    return RegSetValueExA(key.get(), serial.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(name.size())) == ERROR_SUCCESS;
}

std::unique_ptr<CatalogueStore> openUserCatalogueStore() {
    return std::make_unique<RegistryCatalogueStore>();
}
