#include "transfer/FormatEnumerator.h"

#include "shell/ModuleState.h"

#include <array>

const QITAB* FormatEnumerator::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<FormatEnumerator, IEnumFORMATETC>(),
        {},
    };
    return table;
}

HRESULT FormatEnumerator::Next(ULONG, FORMATETC* formats, ULONG* fetched) noexcept {
    if (!formats) return E_POINTER;
    const ClipboardFormats& known = moduleState().clipboardFormats();
    const std::array<UINT, 6> offered = {known.fileGroupDescriptor, known.fileContents,
                                         known.performedDropEffect, known.pasteSucceeded,
                                         known.preferredDropEffect, known.logicalPerformedDropEffect};
    const LONG position = position_++;
    if (position < 0 || position >= static_cast<LONG>(offered.size())) {
        if (fetched) *fetched = 0;
        return S_FALSE;
    }
    formats[0] = FORMATETC{static_cast<CLIPFORMAT>(offered[static_cast<std::size_t>(position)]), nullptr,
                           DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (fetched) *fetched = 1;
    return S_OK;
}

HRESULT FormatEnumerator::Skip(ULONG count) noexcept {
    position_ += static_cast<LONG>(count);
    return S_OK;
}

HRESULT FormatEnumerator::Reset() noexcept {
    position_ = 0;
    return S_OK;
}

HRESULT FormatEnumerator::Clone(IEnumFORMATETC**) noexcept {
    return E_NOTIMPL;
}
