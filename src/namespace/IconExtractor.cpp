#include "namespace/IconExtractor.h"

#include "namespace/ItemRecord.h"

#include <string>

namespace {

// The system image index of a file of this name; only its extension counts.
int fileImageIndex(const std::string& name) noexcept {
    SHFILEINFOA info{};
    SHGetFileInfoA(name.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
    return info.iIcon;
}

}  // namespace

HIMAGELIST systemImageList(bool small) noexcept {
    SHFILEINFOA info{};
    const UINT flags = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | (small ? SHGFI_SMALLICON : 0);
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(".txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags));
}

IconExtractor::IconExtractor(PCUITEMID_CHILD item) : item_(allocator_.cloneIdList(item)) {}

IconExtractor::~IconExtractor() = default;

const QITAB* IconExtractor::interfaces() noexcept {
    static const QITAB table[] = {
        // MinGW knows no __uuidof for this interface: name its identifier.
        interfaceEntry<IconExtractor, IExtractIconA>(IID_IExtractIconA),
        {},
    };
    return table;
}

HRESULT IconExtractor::GetIconLocation(UINT, PSTR, UINT, int* index, UINT* outFlags) noexcept {
    if (!index || !outFlags) {
        return E_FAIL;
    }
    const auto record = readLastItemRecord(item_.get());
    if (!record) {
        return E_FAIL;
    }
    return comBoundary([&] {
        *index =
            record->kind == ItemKind::Device ? deviceImageIndex : fileImageIndex(std::string(fieldText(record->name)));
        *outFlags = GIL_PERCLASS;
        return S_OK;
    });
}

HRESULT IconExtractor::Extract(PCSTR, UINT index, HICON* large, HICON* small, UINT) noexcept {
    if (!large || !small) {
        return E_FAIL;
    }
    *large = ImageList_GetIcon(systemImageList(false), static_cast<int>(index), ILD_NORMAL);
    *small = ImageList_GetIcon(systemImageList(true), static_cast<int>(index), ILD_NORMAL);
    return S_OK;
}
