#pragma once
// The time of a device's file as the PC counts it.
#include <ctime>

#include "protocol/FileListEntry.h"

// The device's clock runs on the PC's local time; -1 when the date cannot be one.
inline std::time_t deviceTime(const FileListEntry& entry) {
    std::tm when{};
    when.tm_year = (entry.year > 90 ? 1900 + entry.year : 2000 + entry.year) - 1900;
    when.tm_mon = entry.month - 1;
    when.tm_mday = entry.day;
    when.tm_hour = entry.hour;
    when.tm_min = entry.minute;
    when.tm_sec = entry.second;
    when.tm_isdst = -1;
    return std::mktime(&when);
}
