// Item records and identifiers: the bytes the shell stores and hands back,
// and the order of items by each list column.
#include "namespace/ItemIdAllocator.h"
#include "namespace/ItemOrder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

ItemRecord file(const char* name, std::int32_t year = 5, std::uint32_t size = 256, std::uint8_t month = 6,
                std::uint8_t day = 7, std::uint8_t hour = 8, std::uint8_t minute = 9, std::uint8_t second = 10) {
    FileListEntry e{{}, year, month, day, hour, minute, second, size};
    std::strncpy(e.name, name, sizeof e.name - 1);
    return makeFileRecord(e);
}

Bytes bytesOf(const void* block, std::size_t from, std::size_t to) {
    const auto* bytes = static_cast<const unsigned char*>(block);
    return {bytes + from, bytes + to};
}

// Hands out memory until it is told to fail.
class CountingMemory final : public TaskMemory {
public:
    explicit CountingMemory(int allowed) : allowed_(allowed) {}
    void* allocate(std::size_t bytes) noexcept override { return allowed_-- > 0 ? std::malloc(bytes) : nullptr; }
    void release(void* block) noexcept override { std::free(block); }

private:
    int allowed_;
};

// An allocator that frees what it made when the test ends.
struct Ids {
    ItemIdAllocator allocator;
    std::vector<ITEMIDLIST*> made;
    ITEMIDLIST* operator()(ITEMIDLIST* id) {
        if (id) made.push_back(id);
        return id;
    }
    ~Ids() {
        for (ITEMIDLIST* id : made) allocator.freeIdList(id);
    }
};

}  // namespace

// The offsets are pinned where the record is declared; here what the
// record makers write into it.
TEST(ItemRecord, RecordsHoldTheirFieldsZerosElsewhereAndCutLongTexts) {
    const ItemRecord record = file("NOTES.TXT");
    EXPECT_EQ(record.kind, ItemKind::File);
    EXPECT_EQ((std::vector<unsigned>{record.size, record.year, record.month, record.day, record.hour, record.minute,
                                     record.second}),
              (std::vector<unsigned>{256, 2005, 6, 7, 8, 9, 10}));
    EXPECT_EQ(bytesOf(&record, 14, 72), Bytes(58, 0)) << "name bytes behind the NUL";
    EXPECT_EQ(bytesOf(&record, 85, 140), Bytes(55, 0)) << "bytes behind the date of a file record";
    EXPECT_EQ(file("A.NSF").kind, ItemKind::SystemFile);

    const ItemRecord device = makeDeviceRecord("Corvia 80 (2)", 3, "CV8-0042", 0x78);
    EXPECT_EQ(std::tie(device.kind, device.port, device.model), std::make_tuple(ItemKind::Device, 3u, 0x78u));
    EXPECT_EQ(bytesOf(&device, 72, 88), Bytes(16, 0)) << "size and date of a device record";

    ItemRecord cut = makeDeviceRecord(std::string(100, 'n'), 1, std::string(60, 's'), 5);
    EXPECT_EQ(fieldText(cut.name), std::string(67, 'n'));
    EXPECT_EQ(fieldText(cut.serial), std::string(43, 's'));
    EXPECT_EQ(std::make_pair(cut.port, cut.model), std::make_pair(1u, 5u)) << "the serial ran into port or model";
    setRecordName(cut, "Short");
    Bytes renamed = Bytes(ItemRecord::nameSize, 0);
    std::memcpy(renamed.data(), "Short", 5);
    EXPECT_EQ(bytesOf(cut.name, 0, ItemRecord::nameSize), renamed) << "a new name clears the old one's bytes";
}

TEST(ItemRecord, TwoDigitYearsWidenAround90AndOnlyAnUpperCaseNsfEndingMarksSystemFiles) {
    for (const auto& [year, wide] : {std::pair{90, 2090u}, {91, 1991u}, {99, 1999u}, {0, 2000u}})
        EXPECT_EQ(widenYear(year), wide) << "year " << year;
    for (const char* name : {"A.NSF", ".NSF"}) EXPECT_TRUE(isSystemFileName(name)) << name;
    for (const char* name : {"A.nsf", "NSF", "A.NSF.TXT", ""}) EXPECT_FALSE(isSystemFileName(name)) << name;
    EXPECT_EQ(file("b.nsf").kind, ItemKind::File);
}

TEST(ItemId, IdentifiersHoldCountRecordPadAndTerminatorAndIgnoreBytesBehindNuls) {
    Ids ids;
    const ItemRecord record = file("A.NSF");
    const ITEMIDLIST* id = ids(ids.allocator.createItemId(record));
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(bytesOf(id, 0, 3), (Bytes{143, 0, 2})) << "count 143, kind SystemFile";
    EXPECT_EQ(bytesOf(id, 2, 142), bytesOf(&record, 0, sizeof record)) << "the record byte for byte";
    EXPECT_EQ(bytesOf(id, 74, 84), (Bytes{0, 1, 0, 0, 2005 & 0xFF, 2005 >> 8, 0, 0, 6, 7}))
        << "size 256 and year 2005, little-endian, then month and day";
    EXPECT_EQ(bytesOf(id, 142, itemIdBytes), Bytes(4, 0)) << "pad and terminator";

    ItemRecord clean = makeDeviceRecord("Minnow", 2, "MN2-1", 0x72), dirty = clean;
    std::memset(dirty.name + 7, 'x', ItemRecord::nameSize - 7);
    std::memset(dirty.serial + 6, 'y', ItemRecord::serialSize - 6);
    dirty.padding[1] = 9;
    const ITEMIDLIST* a = ids(ids.allocator.createItemId(clean));
    const ITEMIDLIST* b = ids(ids.allocator.createItemId(dirty));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(bytesOf(a, 0, itemIdBytes), bytesOf(b, 0, itemIdBytes)) << "bytes behind a NUL must not reach the shell";

    ItemIdAllocator failing(std::make_unique<CountingMemory>(1));
    ITEMIDLIST* first = failing.createItemId(file("D.TXT"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(failing.createItemId(file("E.TXT")), nullptr) << "no memory";
    EXPECT_EQ(failing.cloneIdList(first), nullptr) << "no memory";
    failing.freeIdList(first);
}

TEST(ItemId, CloningCopiesEveryItemAndTheTerminatorAndTheLastItemIsFoundOnlyWhereARecordFits) {
    Ids ids;
    // A parent item of 5 bytes and one of our items, as an absolute list.
    Bytes list = {5, 0, 'a', 'b', 'c'};
    const Bytes child = bytesOf(ids(ids.allocator.createItemId(file("B.TXT"))), 0, 143);
    list.insert(list.end(), child.begin(), child.end());
    list.insert(list.end(), {0, 0});
    const ITEMIDLIST* clone = ids(ids.allocator.cloneIdList(reinterpret_cast<const ITEMIDLIST*>(list.data())));
    ASSERT_NE(clone, nullptr);
    list.push_back(0);
    EXPECT_EQ(bytesOf(clone, 0, list.size()), list) << "both items, the terminator and one trailing zero";
    EXPECT_EQ(fieldText(readLastItemRecord(clone)->name), "B.TXT");
    EXPECT_EQ(static_cast<const void*>(lastItem(clone)), reinterpret_cast<const unsigned char*>(clone) + 5);
    EXPECT_EQ(ids.allocator.cloneIdList(nullptr), nullptr);

    const ITEMIDLIST* one = ids(ids.allocator.createItemId(file("C.TXT")));
    EXPECT_EQ(static_cast<const void*>(lastItemRecord(one)), reinterpret_cast<const unsigned char*>(one) + 2);
    EXPECT_EQ(lastItem(one), one);
    const unsigned char empty[] = {0, 0};
    EXPECT_EQ(lastItemRecord(nullptr), nullptr);
    EXPECT_FALSE(readLastItemRecord(nullptr).has_value());
    EXPECT_EQ(lastItemRecord(reinterpret_cast<const ITEMIDLIST*>(empty)), nullptr);
    EXPECT_EQ(lastItem(reinterpret_cast<const ITEMIDLIST*>(empty)), nullptr);
    // A short item, one of our size with a kind we never make, longer and shorter ones.
    for (const auto& [count, kind] : {std::pair{4, 1}, {143, 7}, {144, 1}, {142, 1}}) {
        Bytes foreign(count + 2, 0);
        foreign[0] = static_cast<unsigned char>(count);
        foreign[2] = static_cast<unsigned char>(kind);
        EXPECT_EQ(lastItemRecord(reinterpret_cast<const ITEMIDLIST*>(foreign.data())), nullptr) << count;
    }
}

TEST(ItemOrder, EachColumnOrdersByItsOwnFieldAndUnknownColumnsCompareEqual) {
    struct Row {
        const char* what;
        int column;
        ItemRecord a, b;
        int order;
    };
    const Row rows[] = {
        {"names ignore case", 0, file("notes.txt", 5, 1), file("NOTES.TXT", 6, 2), 0},
        {"names collate", 0, file("apple"), file("BANANA"), -1},
        {"device names", 0, makeDeviceRecord("corvia 80", 1, "a", 0x78),
         makeDeviceRecord("Corvia 80 (2)", 2, "b", 0x78), -1},
        {"sizes are unsigned", 1, file("a", 5, 0x80000000u), file("b", 5, 1), 1},
        {"equal sizes", 1, file("a", 5, 7), file("b", 5, 7), 0},
        {"date before time", 2, file("a", 99, 1, 12, 31), file("b", 0, 1, 1, 1), -1},
        {"month before day", 2, file("a", 5, 1, 2, 1), file("b", 5, 1, 1, 31), 1},
        {"minute before second", 2, file("a", 5, 1, 1, 1, 10, 0, 59), file("b", 5, 1, 1, 1, 10, 1, 0), -1},
        {"seconds", 2, file("a", 5, 1, 1, 1, 10, 1, 2), file("b", 5, 1, 1, 1, 10, 1, 1), 1},
        {"same time, other size", 2, file("a", 5, 1, 3, 4, 5, 6, 7), file("b", 5, 2, 3, 4, 5, 6, 7), 0},
        {"ports", 1, makeDeviceRecord("x", 4, "s", 0x78), makeDeviceRecord("y", 3, "s", 0x78), 1},
        {"serials ignore case", 2, makeDeviceRecord("x", 1, "ab12", 0x78), makeDeviceRecord("y", 2, "AB13", 0x78), -1},
        {"serials ignore case", 2, makeDeviceRecord("x", 1, "xxx", 0x78), makeDeviceRecord("y", 2, "XXX", 0x78), 0},
        {"unknown column", 3, file("a", 5, 1), file("b", 6, 2), 0},
        {"unknown column", -1, makeDeviceRecord("a", 1, "a", 0x78), makeDeviceRecord("b", 2, "b", 0x78), 0},
    };
    for (const Row& row : rows) {
        const int result = compareItems(row.column, row.a, row.b);
        // Sizes, dates and ports give exactly -1, 0 or 1; texts only the sign counts.
        const bool exact = row.column == 1 || (row.column == 2 && row.a.kind != ItemKind::Device);
        EXPECT_EQ(exact ? result : (result > 0) - (result < 0), row.order) << row.what << ", column " << row.column;
    }
}

TEST(ItemOrder, AccentedLettersFoldInTheUsersLocale) {
    // The same word in the locale's own encoding: UTF-8 on POSIX, code page 1252 on Windows.
    const char* cases[][4] = {{"C.UTF-8", "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "\xC3\xA9"},
                              {".1252", "\xE9t\xE9", "\xC9T\xC9", "\xE9"}};
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string restore = previous ? previous : "C";
    for (const auto& c : cases) {
        if (!std::setlocale(LC_ALL, c[0])) continue;
        const int accented = compareItems(0, file(c[1]), file(c[2]));
        const int ordered = compareItems(0, file("b"), file(c[3]));
        std::setlocale(LC_ALL, restore.c_str());
        EXPECT_EQ(accented, 0) << "e-acute in both cases should compare equal in " << c[0];
        EXPECT_LT(ordered, 0) << "b before e-acute in " << c[0];
        return;
    }
    GTEST_SKIP() << "neither a UTF-8 nor a 1252 locale in this C library";
}
