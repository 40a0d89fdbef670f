#pragma once
// The fixed-size record of one namespace item (a device in the root folder
// or a file on a device). Item identifiers carry it byte for byte, so its
// layout is part of what the shell may store and must never change.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "protocol/DeviceInfo.h"
#include "protocol/DeviceNames.h"
#include "protocol/FileListEntry.h"

enum class ItemKind : std::uint32_t {
    Device = 0,
    File = 1,
    SystemFile = 2,  // a file whose name ends in ".NSF"
};

struct ItemRecord {
    static constexpr std::size_t nameSize = 68;    // 67 characters and the NUL
    static constexpr std::size_t serialSize = 44;  // 43 characters and the NUL

    ItemKind kind;
    char name[nameSize];  // device display name or file name, ANSI
    std::uint32_t size;   // file size in bytes
    std::uint32_t year;   // four-digit year
    std::uint8_t month;
    std::uint8_t day;
    std::uint8_t hour;
    std::uint8_t minute;
    std::uint8_t second;
    std::uint8_t padding[3];
    std::uint32_t port;       // COM port number of a device
    char serial[serialSize];  // the device's serial text
    std::uint32_t model;      // the device's type code
};

static_assert(sizeof(ItemRecord) == 140);
static_assert(std::is_standard_layout_v<ItemRecord> && std::is_trivially_copyable_v<ItemRecord>);
static_assert(offsetof(ItemRecord, kind) == 0);
static_assert(offsetof(ItemRecord, name) == 4);
static_assert(offsetof(ItemRecord, size) == 72);
static_assert(offsetof(ItemRecord, year) == 76);
static_assert(offsetof(ItemRecord, month) == 80);
static_assert(offsetof(ItemRecord, day) == 81);
static_assert(offsetof(ItemRecord, hour) == 82);
static_assert(offsetof(ItemRecord, minute) == 83);
static_assert(offsetof(ItemRecord, second) == 84);
static_assert(offsetof(ItemRecord, padding) == 85);
static_assert(offsetof(ItemRecord, port) == 88);
static_assert(offsetof(ItemRecord, serial) == 92);
static_assert(offsetof(ItemRecord, model) == 136);

// The device's two-digit year as a four-digit year: 90 or less is 2000 + y,
// above 90 is 1900 + y.
std::uint32_t widenYear(std::int32_t twoDigitYear);

// A file item from one entry of the device's list; all other bytes are 0.
ItemRecord makeFileRecord(const FileListEntry& entry);

// A device item; all other bytes are 0.
ItemRecord makeDeviceRecord(std::string_view displayName, std::uint32_t port, std::string_view serial,
                            std::uint32_t model);
ItemRecord makeDeviceRecord(std::string_view displayName, const DeviceInfo& device);

// Replaces the name, clearing the rest of the field so equal records stay
// equal byte for byte. Texts longer than the field are cut to 67 characters.
void setRecordName(ItemRecord& record, std::string_view name);

// The text of a NUL-terminated field, stopping at the field's end even when
// a damaged record holds no NUL.
template <std::size_t N>
std::string_view fieldText(const char (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0') ++length;
    return {field, length};
}
