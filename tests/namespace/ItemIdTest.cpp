// Item identifiers: the bytes handed to the shell, copies of lists and
// finding the record of the last item.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ListEntries.h"
#include "namespace/ItemIdAllocator.h"

namespace {

std::vector<unsigned char> bytesOf(const void* block, std::size_t count) {
    const auto* bytes = static_cast<const unsigned char*>(block);
    return {bytes, bytes + count};
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

}  // namespace

TEST(ItemId, FileIdentifierHoldsCountRecordPadAndTerminator) {
    ItemIdAllocator allocator;
    const ItemRecord record = makeFileRecord(listEntry("A.NSF"));

    ITEMIDLIST* id = allocator.createItemId(record);
    ASSERT_NE(id, nullptr);
    const std::vector<unsigned char> bytes = bytesOf(id, itemIdBytes);

    EXPECT_EQ(bytes[0], 143);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 2) << "kind SystemFile";
    const unsigned char name[] = {'A', '.', 'N', 'S', 'F', 0};
    EXPECT_EQ(std::memcmp(&bytes[6], name, sizeof name), 0);
    EXPECT_EQ(std::memcmp(&bytes[2], &record, sizeof record), 0) << "the record byte for byte at offset 2";
    EXPECT_EQ(bytes[74], 0x00);
    EXPECT_EQ(bytes[75], 0x01) << "size 256, little-endian";
    EXPECT_EQ(bytes[78], 2005 & 0xFF);
    EXPECT_EQ(bytes[79], 2005 >> 8);
    EXPECT_EQ(bytes[82], 6) << "month";
    for (std::size_t i = 142; i < itemIdBytes; ++i) EXPECT_EQ(bytes[i], 0) << "pad or terminator byte " << i;
    allocator.freeIdList(id);
}

TEST(ItemId, RecordsThatDifferOnlyBehindTheirNulGiveEqualIdentifiers) {
    ItemIdAllocator allocator;
    ItemRecord clean = makeDeviceRecord("Minnow", 2, "MN2-1", 0x72);
    ItemRecord dirty = clean;
    std::memset(dirty.name + 7, 'x', ItemRecord::nameSize - 7);
    std::memset(dirty.serial + 6, 'y', ItemRecord::serialSize - 6);
    dirty.padding[1] = 9;

    ITEMIDLIST* a = allocator.createItemId(clean);
    ITEMIDLIST* b = allocator.createItemId(dirty);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(bytesOf(a, itemIdBytes), bytesOf(b, itemIdBytes));
    allocator.freeIdList(a);
    allocator.freeIdList(b);
}

TEST(ItemId, CloningATwoItemListCopiesBothItemsTheTerminatorAndOneTrailingZero) {
    ItemIdAllocator allocator;
    // A parent item of 5 bytes and one of our items, as an absolute list.
    std::vector<unsigned char> list = {5, 0, 'a', 'b', 'c'};
    ITEMIDLIST* child = allocator.createItemId(makeFileRecord(listEntry("B.TXT")));
    ASSERT_NE(child, nullptr);
    const std::vector<unsigned char> childBytes = bytesOf(child, 143);
    list.insert(list.end(), childBytes.begin(), childBytes.end());
    list.insert(list.end(), {0, 0});
    allocator.freeIdList(child);

    ITEMIDLIST* clone = allocator.cloneIdList(reinterpret_cast<const ITEMIDLIST*>(list.data()));
    ASSERT_NE(clone, nullptr);
    std::vector<unsigned char> expected = list;
    expected.push_back(0);
    EXPECT_EQ(bytesOf(clone, 5 + 143 + 3), expected);

    const std::optional<ItemRecord> record = readLastItemRecord(clone);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(fieldText(record->name), "B.TXT");
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(lastItem(clone)), reinterpret_cast<unsigned char*>(clone) + 5);
    allocator.freeIdList(clone);
    EXPECT_EQ(allocator.cloneIdList(nullptr), nullptr);
}

TEST(ItemId, LastItemRecordOfAOneItemListIsAtOffset2AndNullForNullOrEmptyLists) {
    ItemIdAllocator allocator;
    ITEMIDLIST* id = allocator.createItemId(makeFileRecord(listEntry("C.TXT")));
    ASSERT_NE(id, nullptr);

    EXPECT_EQ(reinterpret_cast<const unsigned char*>(lastItemRecord(id)), reinterpret_cast<unsigned char*>(id) + 2);
    EXPECT_EQ(lastItem(id), id);
    allocator.freeIdList(id);

    const unsigned char empty[] = {0, 0};
    EXPECT_EQ(lastItemRecord(nullptr), nullptr);
    EXPECT_EQ(lastItemRecord(reinterpret_cast<const ITEMIDLIST*>(empty)), nullptr);
    EXPECT_EQ(lastItem(reinterpret_cast<const ITEMIDLIST*>(empty)), nullptr);
    EXPECT_FALSE(readLastItemRecord(nullptr).has_value());

    const unsigned char foreign[] = {4, 0, 'z', 'z', 0, 0};
    EXPECT_EQ(lastItemRecord(reinterpret_cast<const ITEMIDLIST*>(foreign)), nullptr)
        << "an item too short for a record must not be read as one";
}

TEST(ItemId, AllocationFailureGivesNull) {
    ItemIdAllocator allocator(std::make_unique<CountingMemory>(1));
    ITEMIDLIST* first = allocator.createItemId(makeFileRecord(listEntry("D.TXT")));
    ASSERT_NE(first, nullptr);

    EXPECT_EQ(allocator.createItemId(makeFileRecord(listEntry("E.TXT"))), nullptr);
    EXPECT_EQ(allocator.cloneIdList(first), nullptr);
    allocator.freeIdList(first);
}
