#include "namespace/ItemRecord.h"

#include <algorithm>
#include <cstring>

namespace {

// Copies as much of `text` as fits with its NUL and clears the rest, so a
// long text is cut rather than written past the field.
template <std::size_t N>
void copyField(char (&field)[N], std::string_view text) {
    std::memset(field, 0, N);
    const std::size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
}

}  // namespace

std::uint32_t widenYear(std::int32_t twoDigitYear) {
    return static_cast<std::uint32_t>(twoDigitYear > 90 ? 1900 + twoDigitYear : 2000 + twoDigitYear);
}

ItemRecord makeFileRecord(const FileListEntry& entry) {
    ItemRecord record{};
    copyField(record.name, fieldText(entry.name));
    record.kind = isSystemFileName(fieldText(record.name)) ? ItemKind::SystemFile : ItemKind::File;
    record.size = entry.size;
    record.year = widenYear(entry.year);
    record.month = entry.month;
    record.day = entry.day;
    record.hour = entry.hour;
    record.minute = entry.minute;
    record.second = entry.second;
    return record;
}

ItemRecord makeDeviceRecord(std::string_view displayName, std::uint32_t port, std::string_view serial,
                            std::uint32_t model) {
    ItemRecord record{};
    record.kind = ItemKind::Device;
    copyField(record.name, displayName);
    record.port = port;
    copyField(record.serial, serial);
    record.model = model;
    return record;
}

ItemRecord makeDeviceRecord(std::string_view displayName, const DeviceInfo& device) {
    return makeDeviceRecord(displayName, device.portNumber, fieldText(device.serial), device.typeCode);
}

void setRecordName(ItemRecord& record, std::string_view name) {
    copyField(record.name, name);
}
