#include "namespace/ItemFormat.h"

#include <windows.h>

std::string formatSize(std::uint64_t bytes) {
    char separator[10] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, sizeof separator) == 0) {
        separator[0] = '\0';
    }
    const std::string digits = std::to_string(bytes);
    std::string text;
    std::size_t group = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    for (std::size_t start = 0; start < digits.size(); start += group, group = 3) {
        if (start > 0) {
            text += separator;
        }
        text.append(digits, start, group);
    }
    return text + " B";
}

std::string formatDateTime(ItemRecord& record) {
    if (record.year < 1900 || record.year > 2100) record.year = 1980;
    if (record.month == 0 || record.month > 12) record.month = 5;
    if (record.day == 0 || record.day > 31) record.day = 15;
    if (record.hour > 23) record.hour = 12;
    if (record.minute > 59) record.minute = 30;
    if (record.second > 59) record.second = 0;

    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(record.year);
    time.wMonth = record.month;
    time.wDay = record.day;
    time.wHour = record.hour;
    time.wMinute = record.minute;
    time.wSecond = record.second;
    char date[32] = {};
    char clock[32] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, sizeof clock);
    return std::string(date) + " " + clock;
}
