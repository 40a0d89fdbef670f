#pragma once
// Hands the list of one enumeration of a folder to the shell, item by item.
// It walks the folder's list itself, not a copy, and keeps the folder alive.
#include "namespace/ItemRecord.h"
#include "shell/ComObject.h"
#include "shell/ShellResources.h"

#include <shlobj.h>

#include <memory>
#include <vector>

// The list of one enumeration. Enumerators share it with the folder, so an
// enumerator made earlier keeps reading its own list after a relisting.
using ItemRecordList = std::vector<ItemRecord>;

class ItemEnumerator final : public ComObject<ItemEnumerator, IEnumIDList> {
public:
    // `folder` is kept alive as long as the enumerator.
    ItemEnumerator(IUnknown& folder, std::shared_ptr<const ItemRecordList> list, std::size_t position = 0);

    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) noexcept override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** copy) noexcept override;

private:
    ~ItemEnumerator() override;

    ComPtr<IUnknown> folder_;
    std::shared_ptr<const ItemRecordList> list_;
    std::size_t position_;
};
