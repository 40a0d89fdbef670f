#pragma once
// One file as the device lists it.
#include <cstdint>

struct FileListEntry {
    static constexpr unsigned nameSize = 68;  // 67 characters and the terminator

    char name[nameSize] = {};
    std::int32_t year = 0;  // two-digit year as sent, not yet widened
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint32_t size = 0;
};
