// Item identifiers as the shell may hand them to the folder: ours, other
// namespaces' items, truncated items, lists of several items. The fuzzer's
// bytes become a list whose counts fit the memory it lies in (as the shell
// guarantees); only items that are exactly ours give a record.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "namespace/ItemIdAllocator.h"
#include "namespace/ItemOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<unsigned char> list;
    std::size_t lastCount = 0, lastAt = 0;
    for (std::size_t at = 0; at + 2 <= size;) {
        std::size_t count = data[at] | (data[at + 1] << 8);
        if (count == 0) break;
        count = std::max<std::size_t>(2, std::min(count, size - at));
        lastAt = list.size();
        list.push_back(static_cast<unsigned char>(count & 0xFF));
        list.push_back(static_cast<unsigned char>(count >> 8));
        list.insert(list.end(), data + at + 2, data + at + count);
        lastCount = count;
        at += count;
    }
    list.push_back(0);
    list.push_back(0);
    // Exactly the list's bytes, so a read past its end is caught.
    const auto bytes = std::make_unique<unsigned char[]>(list.size());
    std::memcpy(bytes.get(), list.data(), list.size());
    const auto* idList = reinterpret_cast<const ITEMIDLIST*>(bytes.get());

    std::uint32_t kind = 0;
    if (lastCount >= 6) std::memcpy(&kind, bytes.get() + lastAt + 2, sizeof kind);
    const bool ours = lastCount == itemIdCount && kind <= static_cast<std::uint32_t>(ItemKind::SystemFile);
    const auto record = readLastItemRecord(idList);
    if (record.has_value() != ours) std::abort();
    if (record) {
        for (int column = 0; column < 4; ++column) compareItems(column, *record, *record);
    }
    static const ItemIdAllocator allocator;
    ITEMIDLIST* clone = allocator.cloneIdList(idList);
    if (!clone || std::memcmp(clone, bytes.get(), list.size()) != 0) std::abort();
    allocator.freeIdList(clone);
    return 0;
}
