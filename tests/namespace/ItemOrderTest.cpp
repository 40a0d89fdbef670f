// The order of items by each list column.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "ListEntries.h"
#include "namespace/ItemOrder.h"

namespace {

ItemRecord file(const char* name, std::uint32_t size, std::uint32_t year, std::uint8_t month = 1,
                std::uint8_t day = 1, std::uint8_t hour = 0, std::uint8_t minute = 0, std::uint8_t second = 0) {
    return makeFileRecord(listEntry(name, static_cast<std::int32_t>(year % 100), month, day, hour, minute, second, size));
}

ItemRecord device(const char* name, std::uint32_t port, const char* serial) {
    return makeDeviceRecord(name, port, serial, 0x78);
}

int sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

TEST(ItemOrder, NamesCollateIgnoringCase) {
    EXPECT_EQ(compareItems(0, file("notes.txt", 1, 2005), file("NOTES.TXT", 2, 2006)), 0);
    EXPECT_LT(compareItems(0, file("apple", 1, 2005), file("BANANA", 1, 2005)), 0);
    EXPECT_GT(compareItems(0, file("Zebra", 1, 2005), file("apple", 1, 2005)), 0);
    EXPECT_LT(compareItems(0, device("corvia 80", 1, "a"), device("Corvia 80 (2)", 2, "b")), 0);
}

TEST(ItemOrder, FilesOrderBySizeAsUnsignedNumbers) {
    EXPECT_EQ(compareItems(1, file("a", 0x80000000u, 2005), file("b", 1, 2005)), 1);
    EXPECT_EQ(compareItems(1, file("a", 1, 2005), file("b", 0x80000000u, 2005)), -1);
    EXPECT_EQ(compareItems(1, file("a", 7, 2005), file("b", 7, 2005)), 0);
}

TEST(ItemOrder, FilesOrderByDateThenTimeFirstDifferenceDeciding) {
    EXPECT_EQ(compareItems(2, file("a", 1, 1999, 12, 31), file("b", 1, 2000, 1, 1)), -1);
    EXPECT_EQ(compareItems(2, file("a", 1, 2005, 2, 1), file("b", 1, 2005, 1, 31)), 1);
    EXPECT_EQ(compareItems(2, file("a", 1, 2005, 1, 1, 10, 0, 59), file("b", 1, 2005, 1, 1, 10, 1, 0)), -1);
    EXPECT_EQ(compareItems(2, file("a", 1, 2005, 1, 1, 10, 1, 2), file("b", 1, 2005, 1, 1, 10, 1, 1)), 1);
    EXPECT_EQ(compareItems(2, file("a", 1, 2005, 3, 4, 5, 6, 7), file("b", 2, 2005, 3, 4, 5, 6, 7)), 0);
}

TEST(ItemOrder, DevicesOrderByPortAndBySerialText) {
    EXPECT_EQ(compareItems(1, device("x", 4, "s"), device("y", 3, "s")), 1);
    EXPECT_EQ(compareItems(1, device("x", 3, "s"), device("y", 4, "s")), -1);
    EXPECT_EQ(sign(compareItems(2, device("x", 1, "ab12"), device("y", 2, "AB13"))), -1);
    EXPECT_EQ(compareItems(2, device("x", 1, "xxx"), device("y", 2, "XXX")), 0);
}

TEST(ItemOrder, AccentedLettersFoldInTheUsersLocale) {
    // The same word in the locale's own encoding: UTF-8 on POSIX, code page 1252 on Windows.
    struct Case {
        const char* locale;
        const char* lower;
        const char* upper;
        const char* accentedE;
    };
    const Case cases[] = {{"C.UTF-8", "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "\xC3\xA9"},
                          {".1252", "\xE9t\xE9", "\xC9T\xC9", "\xE9"}};
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string restore = previous ? previous : "C";
    for (const Case& c : cases) {
        if (!std::setlocale(LC_ALL, c.locale)) continue;
        const int accented = compareItems(0, file(c.lower, 1, 2005), file(c.upper, 1, 2005));
        const int ordered = compareItems(0, file("b", 1, 2005), file(c.accentedE, 1, 2005));
        std::setlocale(LC_ALL, restore.c_str());
        EXPECT_EQ(accented, 0) << "e-acute in both cases should compare equal in " << c.locale;
        EXPECT_LT(ordered, 0) << "b before e-acute in " << c.locale;
        return;
    }
    GTEST_SKIP() << "neither a UTF-8 nor a 1252 locale in this C library";
}

TEST(ItemOrder, OtherColumnsCompareEqual) {
    EXPECT_EQ(compareItems(3, file("a", 1, 2005), file("b", 2, 2006)), 0);
    EXPECT_EQ(compareItems(-1, device("a", 1, "a"), device("b", 2, "b")), 0);
}
