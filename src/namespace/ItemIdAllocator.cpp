#include "namespace/ItemIdAllocator.h"

#include <cstddef>
#include <cstring>

namespace {

// Counts are read byte-wise: identifiers are not aligned.
unsigned short itemCount(const unsigned char* item) {
    unsigned short count = 0;
    std::memcpy(&count, item, sizeof count);
    return count;
}

// Clears everything behind the first NUL and makes sure there is one.
template <std::size_t N>
void clearTail(char (&field)[N]) {
    const std::size_t length = fieldText(field).size();
    std::memset(field + length, 0, N - length);
    field[N - 1] = '\0';
}

}  // namespace

ItemIdAllocator::ItemIdAllocator() : memory_(openTaskMemory()) {}

ItemIdAllocator::ItemIdAllocator(std::unique_ptr<TaskMemory> memory) : memory_(std::move(memory)) {}

ItemIdAllocator::~ItemIdAllocator() = default;

ITEMIDLIST* ItemIdAllocator::createItemId(const ItemRecord& record) const noexcept {
    if (!memory_) return nullptr;
    auto* bytes = static_cast<unsigned char*>(memory_->allocate(itemIdBytes));
    if (!bytes) return nullptr;

    ItemRecord clean = record;
    clearTail(clean.name);
    clearTail(clean.serial);
    std::memset(clean.padding, 0, sizeof clean.padding);

    std::memset(bytes, 0, itemIdBytes);
    std::memcpy(bytes, &itemIdCount, sizeof itemIdCount);
    std::memcpy(bytes + 2, &clean, sizeof clean);
    // The pad byte at 142, the terminator at 143 and the last byte stay 0.
    return reinterpret_cast<ITEMIDLIST*>(bytes);
}

ITEMIDLIST* ItemIdAllocator::cloneIdList(const ITEMIDLIST* list) const noexcept {
    if (!list || !memory_) return nullptr;
    const auto* source = reinterpret_cast<const unsigned char*>(list);
    std::size_t itemsBytes = 0;
    for (unsigned short count; (count = itemCount(source + itemsBytes)) != 0;) itemsBytes += count;

    const std::size_t total = itemsBytes + 3;
    auto* bytes = static_cast<unsigned char*>(memory_->allocate(total));
    if (!bytes) return nullptr;
    std::memcpy(bytes, source, itemsBytes + 2);
    bytes[itemsBytes + 2] = 0;
    return reinterpret_cast<ITEMIDLIST*>(bytes);
}

void ItemIdAllocator::freeIdList(ITEMIDLIST* list) const noexcept {
    if (list && memory_) memory_->release(list);
}

const ITEMIDLIST* lastItem(const ITEMIDLIST* list) noexcept {
    if (!list) return nullptr;
    const auto* item = reinterpret_cast<const unsigned char*>(list);
    unsigned short count = itemCount(item);
    if (count == 0) return nullptr;
    for (unsigned short next; (next = itemCount(item + count)) != 0; count = next) item += count;
    return reinterpret_cast<const ITEMIDLIST*>(item);
}

const ItemRecord* lastItemRecord(const ITEMIDLIST* list) noexcept {
    return firstItemRecord(lastItem(list));
}

const ItemRecord* firstItemRecord(const ITEMIDLIST* list) noexcept {
    if (!list) return nullptr;
    // The shell may hand in other namespaces' items or cut ones: only an item
    // of exactly our size holding a kind we make is read as a record, so
    // nothing is read past a shorter item's end.
    const auto* bytes = reinterpret_cast<const unsigned char*>(list);
    if (itemCount(bytes) != itemIdCount) return nullptr;
    std::uint32_t kind = 0;
    std::memcpy(&kind, bytes + 2 + offsetof(ItemRecord, kind), sizeof kind);
    if (kind > static_cast<std::uint32_t>(ItemKind::SystemFile)) return nullptr;
    return reinterpret_cast<const ItemRecord*>(bytes + 2);
}

std::optional<ItemRecord> readLastItemRecord(const ITEMIDLIST* list) noexcept {
    return readFirstItemRecord(lastItem(list));
}

std::optional<ItemRecord> readFirstItemRecord(const ITEMIDLIST* list) noexcept {
    const ItemRecord* inside = firstItemRecord(list);
    if (!inside) return std::nullopt;
    ItemRecord record;
    std::memcpy(&record, inside, sizeof record);
    return record;
}
