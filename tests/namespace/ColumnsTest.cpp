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

namespace {

std::string thousandsSeparator()
{
    char separator[10] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, sizeof separator);
    return separator;
}

std::string localDateTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    char date[32] = {}, clock[32] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, sizeof clock);
    return std::string(date) + " " + clock;
}

ItemRecord fileRecord(const char* name, std::uint32_t size = 0)
{
    FileListEntry entry;
    strcpy(entry.name, name);
    entry.size = size;
    entry.year = 24;
    entry.month = 6;
    entry.day = 30;
    entry.hour = 23;
    entry.minute = 59;
    entry.second = 59;
    return makeFileRecord(entry);
}

class ColumnsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.textsLoaded()); }

    UniqueIdList idOf(const ItemRecord& record) { return UniqueIdList(allocator_.createItemId(record)); }

    int iconIndex(const ItemRecord& record, UINT* flags = nullptr)
    {
        UniqueIdList id = idOf(record);
        PCUITEMID_CHILD item = id.get();
        ComPtr<IExtractIconA> extractor;
        EXPECT_EQ(folder_->GetUIObjectOf(nullptr, 1, &item, IID_IExtractIconA, nullptr, &extractor), S_OK);
        int index = -1;
        UINT outFlags = 0;
        EXPECT_EQ(extractor->GetIconLocation(0, nullptr, 0, &index, &outFlags), S_OK);
        if (flags) *flags = outFlags;
        return index;
    }

    ComAndTexts com_;
    ItemIdAllocator allocator_;
    ComPtr<NamespaceFolder> folder_ = makeComObject<NamespaceFolder>(true);
};

TEST_F(ColumnsTest, SizesGroupThreeDigitsWithTheLocalesSeparatorAndEndInB)
{
    const std::string separator = thousandsSeparator();
    EXPECT_EQ(formatSize(0), "0 B");
    EXPECT_EQ(formatSize(999), "999 B");
    EXPECT_EQ(formatSize(1000), "1" + separator + "000 B");
    EXPECT_EQ(formatSize(123456), "123" + separator + "456 B");
    EXPECT_EQ(formatSize(4294967295u), "4" + separator + "294" + separator + "967" + separator + "295 B");
    EXPECT_EQ(separator, ",") << "the test prefix runs in an English locale";
}

TEST_F(ColumnsTest, DatesOutOfRangeAreCorrectedAndTheCorrectionsKept)
{
    ItemRecord record = fileRecord("X.TXT");
    record.year = 0;
    record.month = 13;
    record.day = 0;
    record.hour = 25;
    record.minute = 75;
    record.second = 61;
    EXPECT_EQ(formatDateTime(record), localDateTime(1980, 5, 15, 12, 30, 0));
    EXPECT_EQ(record.year, 1980u);
    EXPECT_EQ(record.month, 5);
    EXPECT_EQ(record.day, 15);
    EXPECT_EQ(record.hour, 12);
    EXPECT_EQ(record.minute, 30);
    EXPECT_EQ(record.second, 0);

    ItemRecord edge = fileRecord("Y.TXT");  // 2024-06-30 23:59:59 passes unchanged
    EXPECT_EQ(formatDateTime(edge), localDateTime(2024, 6, 30, 23, 59, 59));
    edge.year = 2090;
    EXPECT_NE(formatDateTime(edge).find("2090"), std::string::npos);
    edge.year = 2101;
    formatDateTime(edge);
    EXPECT_EQ(edge.year, 1980u);
}

TEST_F(ColumnsTest, FilesTakeTheIconOfTheirExtensionAndDevicesTheFolderImage)
{
    UINT flags = 0;
    const int lower = iconIndex(fileRecord("a.txt"), &flags);
    EXPECT_EQ(flags, static_cast<UINT>(GIL_PERCLASS));
    EXPECT_EQ(iconIndex(fileRecord("b.TXT")), lower) << "the extension decides, whatever its case";
    EXPECT_GE(lower, 0);
    const int unknown = iconIndex(fileRecord("c.qqzz"));
    EXPECT_EQ(iconIndex(fileRecord("d.zzqq")), unknown) << "unknown extensions share the generic icon";
    EXPECT_EQ(iconIndex(makeDeviceRecord("Corvia 80", 3, "CV8-0003", 0x78), &flags), 3);
    EXPECT_EQ(flags, static_cast<UINT>(GIL_PERCLASS));

    ComPtr<IExtractIconA> empty = makeComObject<IconExtractor>(nullptr);
    int index = 0;
    EXPECT_EQ(empty->GetIconLocation(0, nullptr, 0, &index, &flags), E_FAIL) << "an item without a record";
    EXPECT_EQ(empty->GetIconLocation(0, nullptr, 0, nullptr, &flags), E_FAIL);

    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(empty->Extract(nullptr, static_cast<UINT>(lower), &large, &small, 0), S_OK);
    EXPECT_NE(large, nullptr);
    EXPECT_NE(small, nullptr);
    DestroyIcon(large);
    DestroyIcon(small);
    EXPECT_EQ(empty->Extract(nullptr, 0, nullptr, &small, 0), E_FAIL);
    EXPECT_NE(systemImageList(true), systemImageList(false));
}

struct ColumnHeader {
    std::string text;
    int width;
    int format;
};

std::vector<ColumnHeader> headers(HWND list)
{
    std::vector<ColumnHeader> columns;
    for (int index = 0;; ++index) {
        char text[100] = {};
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        if (!SendMessageA(list, LVM_GETCOLUMNA, index, reinterpret_cast<LPARAM>(&column))) break;
        columns.push_back({text, column.cx, column.fmt & LVCFMT_JUSTIFYMASK});
    }
    return columns;
}

TEST_F(ColumnsTest, ResetColumnsReplacesTheColumnsForDevicesOrFiles)
{
    InitCommonControls();
    UniqueWindow list(CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 600, 300, nullptr, nullptr,
                                      nullptr, nullptr));
    ASSERT_TRUE(list) << "cannot make a list control, error " << GetLastError();

    resetColumns(list.get(), true);
    auto columns = headers(list.get());
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].text, "Device");
    EXPECT_EQ(columns[0].width, 210);
    EXPECT_EQ(columns[1].text, "Port");
    EXPECT_EQ(columns[1].width, 60);
    EXPECT_EQ(columns[2].text, "Serial number");
    EXPECT_EQ(columns[2].width, 140);
    EXPECT_EQ(columns[2].format, LVCFMT_LEFT);

    resetColumns(list.get(), false);
    columns = headers(list.get());
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].text, "File");
    EXPECT_EQ(columns[1].text, "Size");
    EXPECT_EQ(columns[1].width, 80);
    EXPECT_EQ(columns[1].format, LVCFMT_RIGHT);
    EXPECT_EQ(columns[2].text, "Modified");
    EXPECT_EQ(columns[2].width, 130);
}

// What the list would get for one sub-item.
struct Shown {
    std::string text;
    int image;
    UINT mask;
};

Shown ask(IShellFolder& folder, PITEMID_CHILD item, int subItem, UINT mask, int room = 64)
{
    std::string buffer(static_cast<std::size_t>(room), '#');
    LVITEMA entry{};
    entry.mask = mask;
    entry.iSubItem = subItem;
    entry.pszText = buffer.data();
    entry.cchTextMax = room;
    entry.iImage = -7;
    EXPECT_EQ(fillDisplayInfo(folder, nullptr, item, entry), 0);
    return {(mask & LVIF_TEXT) ? std::string(entry.pszText) : std::string(), entry.iImage, entry.mask};
}

TEST_F(ColumnsTest, EntriesShowNamePortSerialOrNameSizeDateAndKeepWhatTheyGet)
{
    UniqueIdList device = idOf(makeDeviceRecord("Corvia 80 (2)", 12, "CV8-0012", 0x78));
    EXPECT_EQ(ask(*folder_.Get(), device.get(), 0, LVIF_TEXT).text, "Corvia 80 (2)");
    EXPECT_EQ(ask(*folder_.Get(), device.get(), 1, LVIF_TEXT).text, "COM 12");
    EXPECT_EQ(ask(*folder_.Get(), device.get(), 2, LVIF_TEXT).text, "CV8-0012");
    EXPECT_EQ(ask(*folder_.Get(), device.get(), 0, LVIF_TEXT, 7).text, "Corvia") << "cut to the buffer";
    const Shown image = ask(*folder_.Get(), device.get(), 0, LVIF_IMAGE);
    EXPECT_EQ(image.image, 3);
    EXPECT_EQ(image.mask, static_cast<UINT>(LVIF_IMAGE | LVIF_DI_SETITEM));

    ItemRecord record = fileRecord("REPORT.TXT", 1000);
    record.month = 13;
    UniqueIdList file = idOf(record);
    EXPECT_EQ(ask(*folder_.Get(), file.get(), 1, LVIF_TEXT).text, formatSize(1000));
    EXPECT_EQ(ask(*folder_.Get(), file.get(), 2, LVIF_TEXT).text, localDateTime(2024, 5, 30, 23, 59, 59));
    EXPECT_EQ(readLastItemRecord(file.get())->month, 5) << "the correction is written into the entry's identifier";
    EXPECT_EQ(ask(*folder_.Get(), file.get(), 0, LVIF_IMAGE).image, iconIndex(fileRecord("other.txt")));
}

}  // namespace
