#pragma once
// Item identifiers: one SHITEMID carrying an ItemRecord byte for byte,
// followed by the list terminator. Built, copied and freed through the
// platform's task memory, because the shell frees what it receives.
#include <cstddef>
#include <memory>
#include <optional>

#include "ShellIdTypes.h"
#include "namespace/ItemRecord.h"
#include "namespace/TaskMemory.h"

// Bytes of one-item identifier: count, record, one pad byte, terminator and
// a trailing 0.
inline constexpr std::size_t itemIdBytes = 146;
// The item's own count: itself, the record and the pad byte.
inline constexpr unsigned short itemIdCount = 143;

class ItemIdAllocator {
public:
    // Holds one reference to this platform's task memory.
    ItemIdAllocator();
    explicit ItemIdAllocator(std::unique_ptr<TaskMemory> memory);
    ItemIdAllocator(ItemIdAllocator&&) noexcept = default;
    ItemIdAllocator& operator=(ItemIdAllocator&&) noexcept = default;
    ~ItemIdAllocator();

    // A one-item list for the record; null when no memory is to be had.
    // Bytes behind each string's NUL are written as 0, so equal records
    // give equal identifiers.
    ITEMIDLIST* createItemId(const ItemRecord& record) const noexcept;
    // A copy of every item and the terminator, plus one 0 byte; null for a
    // null list or when no memory is to be had.
    ITEMIDLIST* cloneIdList(const ITEMIDLIST* list) const noexcept;
    void freeIdList(ITEMIDLIST* list) const noexcept;

private:
    std::unique_ptr<TaskMemory> memory_;
};

// The last item of a list; null for a null or empty list.
const ITEMIDLIST* lastItem(const ITEMIDLIST* list) noexcept;

// The record inside the last item; null for a null or empty list, or when
// the last item is not one of ours (not exactly our size, or of a kind we
// never make). The
// record sits two bytes into the item and so is not aligned: copy it out
// (readLastItemRecord) rather than read its numbers through the pointer.
const ItemRecord* lastItemRecord(const ITEMIDLIST* list) noexcept;

// A copy of the record inside the last item; none for a null or empty list.
std::optional<ItemRecord> readLastItemRecord(const ITEMIDLIST* list) noexcept;

// The same for the first item, where a list of several levels is walked.
const ItemRecord* firstItemRecord(const ITEMIDLIST* list) noexcept;
std::optional<ItemRecord> readFirstItemRecord(const ITEMIDLIST* list) noexcept;
