#include "namespace/ItemColumns.h"

#include "namespace/ItemFormat.h"
#include "namespace/ItemIdAllocator.h"
#include "resources/resource.h"
#include "shell/ComObject.h"
#include "shell/Prompt.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace {

struct Column {
    UINT header;
    int width;
    int format;
};

constexpr Column deviceColumns[] = {
    {IDS_COLUMN_DEVICE, 210, LVCFMT_LEFT},
    {IDS_COLUMN_PORT, 60, LVCFMT_LEFT},
    {IDS_COLUMN_SERIAL, 140, LVCFMT_LEFT},
};
constexpr Column fileColumns[] = {
    {IDS_COLUMN_FILE, 210, LVCFMT_LEFT},
    {IDS_COLUMN_SIZE, 80, LVCFMT_RIGHT},
    {IDS_COLUMN_MODIFIED, 130, LVCFMT_LEFT},
};
// Room for a header text, its terminator included.
constexpr std::size_t headerRoom = 100;

// Copies as much of `text` as the list's buffer holds, with its terminator.
void copyCut(std::string_view text, LVITEMA& entry) noexcept {
    if (!entry.pszText || entry.cchTextMax <= 0) {
        return;
    }
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(entry.cchTextMax - 1));
    std::memcpy(entry.pszText, text.data(), length);
    entry.pszText[length] = '\0';
}

int imageOf(IShellFolder& folder, HWND viewWindow, PCUITEMID_CHILD item) noexcept {
    ComPtr<IExtractIconA> extractor;
    if (FAILED(folder.GetUIObjectOf(viewWindow, 1, &item, IID_IExtractIconA, nullptr, &extractor))) {
        return -1;
    }
    int index = -1;
    UINT flags = 0;
    if (FAILED(extractor->GetIconLocation(0, nullptr, 0, &index, &flags))) {
        return -1;
    }
    return index;
}

std::string columnText(ItemRecord& record, int subItem) {
    const bool device = record.kind == ItemKind::Device;
    switch (subItem) {
        case 0:
            return std::string(fieldText(record.name));
        case 1:
            return device ? "COM " + std::to_string(record.port) : formatSize(record.size);
        case 2:
            return device ? std::string(fieldText(record.serial)) : formatDateTime(record);
    }
    return {};
}

}  // namespace

void resetColumns(HWND list, bool showsDevices) {
    while (SendMessageA(list, LVM_DELETECOLUMN, 0, 0)) {
    }
    int index = 0;
    for (const Column& column : showsDevices ? deviceColumns : fileColumns) {
        std::string header = prompt::loadTextAnsi(column.header);
        if (header.size() >= headerRoom) {
            header.resize(headerRoom - 1);
        }
        LVCOLUMNA description{};
        description.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        description.fmt = column.format;
        description.cx = column.width;
        description.pszText = header.data();
        description.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&description));
        ++index;
    }
}

LRESULT fillDisplayInfo(IShellFolder& folder, HWND viewWindow, PITEMID_CHILD item, LVITEMA& entry) noexcept {
    entry.mask |= LVIF_DI_SETITEM;
    auto* recordBytes = const_cast<ItemRecord*>(lastItemRecord(item));
    if (!recordBytes) {
        return 0;
    }
    try {
        // The record inside the identifier is not aligned: work on a copy and
        // write the copy back, corrected date included.
        ItemRecord record;
        std::memcpy(&record, recordBytes, sizeof record);
        if (entry.mask & LVIF_TEXT) {
            copyCut(columnText(record, entry.iSubItem), entry);
            std::memcpy(recordBytes, &record, sizeof record);
        }
        if ((entry.mask & LVIF_IMAGE) && entry.iSubItem == 0) {
            entry.iImage = imageOf(folder, viewWindow, item);
        }
    } catch (...) {
        // No memory for a text: the entry stays blank.
    }
    return 0;
}
