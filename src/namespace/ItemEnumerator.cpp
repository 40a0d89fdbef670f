#include "namespace/ItemEnumerator.h"

#include "namespace/ItemIdAllocator.h"

namespace {

// One allocator serves every enumerator of the process.
const ItemIdAllocator& enumeratorAllocator() {
    static const ItemIdAllocator allocator;
    return allocator;
}

}  // namespace

ItemEnumerator::ItemEnumerator(IUnknown& folder, std::shared_ptr<const ItemRecordList> list, std::size_t position)
    : folder_(&folder), list_(std::move(list)), position_(position) {}

ItemEnumerator::~ItemEnumerator() = default;

const QITAB* ItemEnumerator::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<ItemEnumerator, IEnumIDList>(),
        {},
    };
    return table;
}

HRESULT ItemEnumerator::Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) noexcept {
    if (!items || (count != 1 && !fetched)) {
        return E_POINTER;
    }
    if (fetched) {
        *fetched = 0;
    }
    if (!list_) {
        return E_FAIL;
    }
    ULONG produced = 0;
    while (position_ < list_->size() && produced < count) {
        ITEMIDLIST* item = enumeratorAllocator().createItemId((*list_)[position_]);
        if (!item) {
            // Nothing half-made reaches the caller.
            while (produced > 0) {
                enumeratorAllocator().freeIdList(items[--produced]);
                items[produced] = nullptr;
            }
            return E_OUTOFMEMORY;
        }
        items[produced++] = item;
        ++position_;
    }
    if (fetched) {
        *fetched = produced;
    }
    return produced == count ? S_OK : S_FALSE;
}

HRESULT ItemEnumerator::Skip(ULONG count) noexcept {
    const std::size_t size = list_ ? list_->size() : 0;
    const std::size_t left = size > position_ ? size - position_ : 0;
    if (count > left) {
        position_ = size;
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT ItemEnumerator::Reset() noexcept {
    if (!list_) {
        return E_FAIL;
    }
    position_ = 0;
    return S_OK;
}

HRESULT ItemEnumerator::Clone(IEnumIDList** copy) noexcept {
    if (!copy) {
        return E_POINTER;
    }
    *copy = nullptr;
    return comBoundary([&] {
        *copy = makeComObject<ItemEnumerator>(*folder_.Get(), list_, position_).Detach();
        return S_OK;
    });
}
