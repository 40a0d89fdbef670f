#include "transfer/DataValues.h"

#include "shell/ShellResources.h"

FORMATETC valueFormat(UINT format) {
    return FORMATETC{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

HGLOBAL makeValueBlock(DWORD value, UINT flags) {
    UniqueGlobal block(GlobalAlloc(flags, sizeof(DWORD)));
    const GlobalLockGuard<DWORD> data(block.get());
    if (!data) return nullptr;
    *data.get() = value;
    return block.release();
}

std::optional<DWORD> readValueBlock(HGLOBAL block) {
    const GlobalLockGuard<BYTE> data(block);
    if (!data || data.size() < 2) return std::nullopt;
    return static_cast<DWORD>(data.get()[0] | (data.get()[1] << 8));
}

std::optional<DWORD> readValue(IDataObject& data, UINT format) {
    FORMATETC asked = valueFormat(format);
    STGMEDIUM medium{};
    if (FAILED(data.GetData(&asked, &medium))) return std::nullopt;
    const UniqueStgMedium held(medium);
    if (held.get().tymed != TYMED_HGLOBAL) return std::nullopt;
    return readValueBlock(held.get().hGlobal);
}

void writeValue(IDataObject& data, UINT format, DWORD value) {
    FORMATETC given = valueFormat(format);
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = makeValueBlock(value, GMEM_ZEROINIT);
    if (medium.hGlobal && FAILED(data.SetData(&given, &medium, TRUE))) GlobalFree(medium.hGlobal);
}
