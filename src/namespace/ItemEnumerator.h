#pragma once
// Hands the list of one enumeration of a folder to the shell, item by item.
// It walks the folder's list itself, not a copy, and keeps the folder alive.
#include "namespace/NamespaceFolder.h"

#include <memory>

class ItemEnumerator final : public ComObject<ItemEnumerator, IEnumIDList> {
public:
    ItemEnumerator(NamespaceFolder& folder, std::shared_ptr<ItemRecordList> list, std::size_t position = 0);

    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) noexcept override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** copy) noexcept override;

private:
    ~ItemEnumerator() override;

    ComPtr<NamespaceFolder> folder_;
    std::shared_ptr<ItemRecordList> list_;
    std::size_t position_;
};
