// How items look: icons from the system image lists, the column sets, the
// texts of the list entries and the size and date formats of the locale.
#include "FolderTestSupport.h"
#include "namespace/IconExtractor.h"
#include "namespace/ItemColumns.h"
#include "namespace/ItemFormat.h"
#include "namespace/NamespaceFolder.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <cstring>
#include <tuple>

namespace {

std::string localDateTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    const SYSTEMTIME time{year, month, 0, day, hour, minute, second, 0};
    char date[32] = {}, clock[32] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, sizeof clock);
    return std::string(date) + " " + clock;
}

// A file listed as 2024-06-30 23:59:59.
ItemRecord fileRecord(const char* name, std::uint32_t size = 0) {
    FileListEntry entry{{}, 24, 6, 30, 23, 59, 59, size};
    std::strcpy(entry.name, name);
    return makeFileRecord(entry);
}

class ColumnsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.textsLoaded()); }
    UniqueIdList idOf(const ItemRecord& record) { return UniqueIdList(allocator_.createItemId(record)); }

    std::pair<int, UINT> icon(const ItemRecord& record) {
        UniqueIdList id = idOf(record);
        PCUITEMID_CHILD item = id.get();
        ComPtr<IExtractIconA> extractor;
        EXPECT_EQ(folder_->GetUIObjectOf(nullptr, 1, &item, IID_IExtractIconA, nullptr, &extractor), S_OK);
        int index = -1;
        UINT flags = 0;
        EXPECT_EQ(extractor->GetIconLocation(0, nullptr, 0, &index, &flags), S_OK);
        return {index, flags};
    }
    // What the list would get for one sub-item.
    std::pair<std::string, int> shown(PITEMID_CHILD item, int subItem, UINT mask, int room = 64) {
        std::string buffer(static_cast<std::size_t>(room), '#');
        LVITEMA entry{.mask = mask, .iSubItem = subItem, .pszText = buffer.data(), .cchTextMax = room, .iImage = -7};
        EXPECT_EQ(fillDisplayInfo(*folder_.Get(), nullptr, item, entry), 0);
        EXPECT_TRUE(!(mask & LVIF_IMAGE) || entry.mask == (LVIF_IMAGE | LVIF_DI_SETITEM)) << "mask " << entry.mask;
        return {(mask & LVIF_TEXT) ? std::string(entry.pszText) : std::string(), entry.iImage};
    }

    ComAndTexts com_;
    ItemIdAllocator allocator_;
    ComPtr<NamespaceFolder> folder_ = makeComObject<NamespaceFolder>(true);
};

TEST_F(ColumnsTest, SizesGroupThreeDigitsWithCommasInTheTestLocaleAndEndInB) {
    const std::pair<std::uint32_t, const char*> sizes[] = {
        {0, "0 B"}, {999, "999 B"}, {1000, "1,000 B"}, {123456, "123,456 B"}, {4294967295u, "4,294,967,295 B"}};
    for (const auto& [size, text] : sizes) EXPECT_EQ(formatSize(size), text) << size << " bytes";
}

TEST_F(ColumnsTest, DatesOutOfRangeAreCorrectedAndTheCorrectionsKept) {
    ItemRecord record = fileRecord("X.TXT");
    std::tie(record.year, record.month, record.day, record.hour, record.minute, record.second) =
        std::make_tuple(0u, 13, 0, 25, 75, 61);
    EXPECT_EQ(formatDateTime(record), localDateTime(1980, 5, 15, 12, 30, 0));
    EXPECT_EQ(std::tie(record.year, record.month, record.day, record.hour, record.minute, record.second),
              std::make_tuple(1980u, 5, 15, 12, 30, 0));

    ItemRecord edge = fileRecord("Y.TXT");
    EXPECT_EQ(formatDateTime(edge), localDateTime(2024, 6, 30, 23, 59, 59)) << "the last second passes unchanged";
    edge.year = 2090;
    EXPECT_NE(formatDateTime(edge).find("2090"), std::string::npos);
    edge.year = 2101;
    formatDateTime(edge);
    EXPECT_EQ(edge.year, 1980u);
}

TEST_F(ColumnsTest, FilesTakeTheIconOfTheirExtensionAndDevicesTheFolderImage) {
    const auto [lower, flags] = icon(fileRecord("a.txt"));
    EXPECT_GE(lower, 0);
    EXPECT_EQ(flags, static_cast<UINT>(GIL_PERCLASS));
    EXPECT_EQ(icon(fileRecord("b.TXT")).first, lower) << "the extension decides, whatever its case";
    EXPECT_EQ(icon(fileRecord("c.qqzz")).first, icon(fileRecord("d.zzqq")).first) << "unknown extensions share one";
    EXPECT_EQ(icon(makeDeviceRecord("Corvia 80", 3, "CV8-0003", 0x78)), std::make_pair(3, UINT{GIL_PERCLASS}));

    ComPtr<IExtractIconA> empty = makeComObject<IconExtractor>(nullptr);  // an item without a record
    int index = 0;
    UINT outFlags = 0;
    EXPECT_EQ(empty->GetIconLocation(0, nullptr, 0, &index, &outFlags), E_FAIL);
    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(empty->Extract(nullptr, static_cast<UINT>(lower), &large, &small, 0), S_OK);
    EXPECT_TRUE(large && small);
    DestroyIcon(large);
    DestroyIcon(small);
    EXPECT_EQ(empty->Extract(nullptr, 0, nullptr, &small, 0), E_FAIL);
    EXPECT_NE(systemImageList(true), systemImageList(false));
}

TEST_F(ColumnsTest, EntriesShowNamePortSerialOrSizeAndCorrectedDateAndKeepTheCorrection) {
    UniqueIdList device = idOf(makeDeviceRecord("Corvia 80 (2)", 12, "CV8-0012", 0x78));
    EXPECT_EQ(shown(device.get(), 0, LVIF_TEXT).first, "Corvia 80 (2)");
    EXPECT_EQ(shown(device.get(), 1, LVIF_TEXT).first, "COM 12");
    EXPECT_EQ(shown(device.get(), 2, LVIF_TEXT).first, "CV8-0012");
    EXPECT_EQ(shown(device.get(), 0, LVIF_TEXT, 7).first, "Corvia") << "cut to the buffer";
    EXPECT_EQ(shown(device.get(), 0, LVIF_IMAGE).second, 3);

    ItemRecord record = fileRecord("REPORT.TXT", 1000);
    record.month = 13;
    UniqueIdList file = idOf(record);
    EXPECT_EQ(shown(file.get(), 1, LVIF_TEXT).first, "1,000 B");
    EXPECT_EQ(shown(file.get(), 2, LVIF_TEXT).first, localDateTime(2024, 5, 30, 23, 59, 59));
    EXPECT_EQ(readLastItemRecord(file.get())->month, 5) << "the correction is written into the entry's identifier";
    EXPECT_EQ(shown(file.get(), 0, LVIF_IMAGE).second, icon(fileRecord("other.txt")).first);
}

}  // namespace
