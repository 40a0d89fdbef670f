#pragma once
// File list entries as the device would send them, for the record tests.
#include <cstdint>
#include <cstring>

#include "protocol/FileListEntry.h"

inline FileListEntry listEntry(const char* name, std::int32_t year = 5, std::uint8_t month = 6, std::uint8_t day = 7,
                               std::uint8_t hour = 8, std::uint8_t minute = 9, std::uint8_t second = 10,
                               std::uint32_t size = 256) {
    FileListEntry e;
    std::strncpy(e.name, name, sizeof e.name - 1);
    e.year = year;
    e.month = month;
    e.day = day;
    e.hour = hour;
    e.minute = minute;
    e.second = second;
    e.size = size;
    return e;
}
