#include "DialogTemplate.h"
#include "resources/resource.h"
#include "shell/BuiltModules.h"
#include "shell/TextFormat.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const std::set<UINT> tableIds = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 16, 17, 18, 19, 21, 22, 23, 24, 25,
                                 26, 27, 28, 29, 30, 31, 32, 33, 34, 36, 37, 38, 39, 40, 41, 43, 44, 45, 46, 47, 48};

std::wstring wideText(HMODULE module, UINT id)
{
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::string ansiText(HMODULE module, UINT id)
{
    char buffer[1024] = {};
    const int length = LoadStringA(module, id, buffer, sizeof(buffer));
    return std::string(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

// The printf fields of a text in order, e.g. "%2d|%s".
std::wstring fieldsOf(const std::wstring& text)
{
    std::wstring fields;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            continue;
        }
        size_t end = text.find_first_of(L"%sdiu", i + 1);
        fields += text.substr(i, end - i + 1) + L"|";
        i = end;
    }
    return fields;
}

// A menu as one line: "Text=id" items, "-" separators, "Title{...}" popups,
// a '*' after checked items; withTexts false leaves only the structure.
std::wstring describeMenu(HMENU menu, bool withTexts)
{
    std::wstring out;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        if (i > 0) {
            out += L"|";
        }
        if (info.fType & MFT_SEPARATOR) {
            out += L"-";
            continue;
        }
        out += withTexts ? std::wstring(text) : std::wstring();
        if (info.hSubMenu) {
            out += L"{" + describeMenu(info.hSubMenu, withTexts) + L"}";
        } else {
            out += L"=" + std::to_wstring(info.wID);
        }
        if (info.fState & MFS_CHECKED) {
            out += L"*";
        }
    }
    return out;
}

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
    }
    UniqueModule english{LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str())};
    UniqueModule german{loadResourcesOf(L"NimbrelDEU.dll")};
};

TEST_F(ResourcesTest, StringTableHoldsTheQuotedTextsByteForByteTyposIncluded)
{
    ASSERT_TRUE(english);
    const std::pair<UINT, const char*> expected[] = {
        {4, "KorvelNameSpace"},
        {5, "Attention"},
        {7, "The selected file \"%s\" is a system file. Please note that deleting of system files may lead to an "
            "unstable or unusable system.  Do you want to continue and delete the selected file?"},
        {9, "You have selected at least one system file. Please note that deletion of system files may lead to an "
            "unusable or instabile system. Do you want to continue and delete the selected files?"},
        {10, "%2d%% of \"%s\" transmitted"},
        {12, "File \"%s\" already exists on target device. Do you want to overwrite this file?"},
        {18, "Serial number"},
        {23, "An error occurred!"},
        {25, "Cannot rename File \"%s\" to \"%s\". The target filename already exists."},
        {26, "Not enough memory on tareget device."},
        {28, "%s (%s) connectet to COM %d is supported, but you need to upgrade your Firmware (at least 2.10 or "
             "higher) in order to use it inside the explorer."},
        {29, "Information"},
        {33, "Could not transmitte file \"%s\" from device %s (COM %d) to the PC."},
        {40, "Deleted %d files(s)."},
        {41, "Renamed \"%s\" to \"%s\"."},
        {43, "About Nimbrel"},
        {47, "Renaming a system file may lead to an unstable or unusable system.  Do you want to continue?"},
        {48, "You have selcetet at least on directory. Copy of directories is not supported."},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(ansiText(english.get(), id), text) << "string " << id;
    }
    EXPECT_EQ(fieldsOf(wideText(english.get(), IDS_ABOUT_TEXT)), L"%s|") << "the About text takes the version";
}

TEST_F(ResourcesTest, BothModulesHaveExactlyTheTableEntriesWithTheSameFieldsInTheSameOrder)
{
    ASSERT_TRUE(english);
    ASSERT_TRUE(german);
    for (UINT id = 0; id <= 60; ++id) {
        const std::wstring en = wideText(english.get(), id);
        const std::wstring de = wideText(german.get(), id);
        if (!tableIds.count(id)) {
            EXPECT_EQ(en, L"") << "string " << id << " is not part of the table";
            EXPECT_EQ(de, L"") << "German string " << id << " is not part of the table";
            continue;
        }
        EXPECT_NE(en, L"") << "string " << id;
        EXPECT_NE(de, L"") << "German string " << id;
        EXPECT_EQ(fieldsOf(de), fieldsOf(en)) << "fields of string " << id;
        if (id != IDS_WINDOW_CLASS) {
            EXPECT_NE(de, en) << "string " << id << " is not translated";
        }
    }
}

TEST_F(ResourcesTest, MergedMenuHasTheFourPopupsWithTheirItemsAndHideSystemFilesChecked)
{
    UniqueMenu menu(LoadMenuW(english.get(), MAKEINTRESOURCEW(IDM_MERGED)));
    ASSERT_TRUE(menu);
    EXPECT_EQ(describeMenu(menu.get(), true),
              L"&File{-|&Open Device=274|-|&Delete\tDEL=260|&Rename\tF2=261|-}|"
              L"&Edit{-|Cu&t\tCtrl+X=267|&Copy\tCtrl+C=268|&Paste\tCtrl+V=269|-|Sellect &all\tCtrl+A=263|"
              L"&Invert selection=264|-}|"
              L"&View{-|&Large icons=256|&Small icons=257|L&ist=258|&Details=259|-|Hide system &files=265*|-}|"
              L"&Help{-|About Ni&mbrel...=277}");
}

TEST_F(ResourcesTest, PopupMenusOfFilesBackgroundAndDevicesHaveTheirCommands)
{
    const std::pair<int, const wchar_t*> expected[] = {
        {IDM_FILE_POPUP, L"{Cu&t=267|&Copy=268|&Paste=269|-|&Delete=260|&Rename=261}"},
        {IDM_BACKGROUND_POPUP, L"{&View{&Large icons=256|&Small icons=257|L&ist=258|&Details=259}|R&efresh=271|-|&Paste=269}"},
        {IDM_DEVICE_POPUP, L"{&Open=274|&Rename=261|-|&View{&Large icons=256|&Small icons=257|L&ist=258|&Details=259}|"
                           L"R&efresh=271}"},
    };
    for (const auto& [id, items] : expected) {
        UniqueMenu menu(LoadMenuW(english.get(), MAKEINTRESOURCEW(id)));
        ASSERT_TRUE(menu) << "menu " << id;
        ASSERT_EQ(GetMenuItemCount(menu.get()), 1) << "menu " << id << " is one popup";
        const std::wstring whole = describeMenu(menu.get(), true);
        EXPECT_EQ(whole.substr(whole.find(L'{')), items) << "menu " << id;
    }
}

TEST_F(ResourcesTest, GermanMenusHaveTheSameStructureAndCommands)
{
    for (int id : {IDM_MERGED, IDM_FILE_POPUP, IDM_BACKGROUND_POPUP, IDM_DEVICE_POPUP}) {
        UniqueMenu en(LoadMenuW(english.get(), MAKEINTRESOURCEW(id)));
        UniqueMenu de(LoadMenuW(german.get(), MAKEINTRESOURCEW(id)));
        ASSERT_TRUE(en && de) << "menu " << id;
        EXPECT_EQ(describeMenu(de.get(), false), describeMenu(en.get(), false)) << "menu " << id;
    }
}

TEST_F(ResourcesTest, AcceleratorsMapTheKeysToTheViewCommands)
{
    for (HMODULE module : {english.get(), german.get()}) {
        HACCEL table = LoadAcceleratorsW(module, MAKEINTRESOURCEW(IDA_VIEW));
        ASSERT_NE(table, nullptr);
        std::vector<ACCEL> entries(static_cast<size_t>(CopyAcceleratorTableW(table, nullptr, 0)));
        CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
        std::set<std::tuple<int, int, int>> found;
        for (const ACCEL& entry : entries) {
            found.insert({entry.fVirt & 0x7F, entry.key, entry.cmd});
        }
        const BYTE ctrl = FVIRTKEY | FCONTROL;
        const std::set<std::tuple<int, int, int>> expected = {
            {ctrl, 'A', 263}, {ctrl, 'C', 268},          {ctrl, 'V', 269},           {ctrl, 'X', 267},
            {FVIRTKEY, VK_BACK, 275}, {FVIRTKEY, VK_DELETE, 260}, {FVIRTKEY, VK_F2, 261}, {FVIRTKEY, VK_F5, 271},
        };
        EXPECT_EQ(found, expected);
    }
}

struct ExpectedItem {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text;
    RECT rect;
};

void expectDialog(HMODULE module, int id, const wchar_t* caption, int width, int height, const wchar_t* typeface,
                  bool closeBox, const std::vector<ExpectedItem>& items)
{
    const DialogTemplate dialog = readDialogTemplate(module, id);
    ASSERT_TRUE(dialog.found) << "dialog " << id;
    EXPECT_EQ(dialog.caption, caption);
    EXPECT_EQ(dialog.width, width);
    EXPECT_EQ(dialog.height, height);
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.typeface, typeface);
    const DWORD style = WS_POPUP | WS_CAPTION | DS_CENTER | DS_MODALFRAME;
    EXPECT_EQ(dialog.style & style, style) << "dialog " << id;
    EXPECT_EQ((dialog.style & WS_SYSMENU) != 0, closeBox) << "dialog " << id;
    ASSERT_EQ(dialog.items.size(), items.size()) << "dialog " << id;
    for (size_t i = 0; i < items.size(); ++i) {
        const DialogItem& item = dialog.items[i];
        EXPECT_EQ(item.id, items[i].id) << "item " << i << " of dialog " << id;
        // Window class names do not depend on case (the resource compiler writes capitals).
        EXPECT_EQ(_wcsicmp(item.windowClass.c_str(), items[i].windowClass), 0)
            << "class of item " << item.id << ": " << testing::PrintToString(item.windowClass);
        EXPECT_EQ(item.text, items[i].text) << "item " << item.id;
        EXPECT_TRUE(EqualRect(&item.rect, &items[i].rect)) << "geometry of item " << item.id;
    }
}

TEST_F(ResourcesTest, ProgressAndOverwriteDialogsHaveTheirItemsFontsStylesAndGeometry)
{
    const wchar_t* bar = L"msctls_progress32";
    expectDialog(english.get(), IDD_PROGRESS_SINGLE, L"Transmitting File", 209, 86, L"MS Shell Dlg", false,
                 {{1003, L"Button", L"&Abort", {152, 65, 50, 14}},
                  {-1, L"Static", L"Filename:", {7, 16, 38, 8}},
                  {1000, bar, L"", {7, 33, 195, 14}},
                  {1001, L"Static", L"", {52, 16, 150, 8}},
                  {-1, L"Static", L"Remaining time:", {7, 58, 52, 8}},
                  {1002, L"Static", L"", {67, 58, 80, 8}}});
    expectDialog(english.get(), IDD_PROGRESS_MULTI, L"Transmitting Files", 209, 97, L"MS Shell Dlg", false,
                 {{1003, L"Button", L"&Abort", {152, 76, 50, 14}},
                  {-1, L"Static", L"Filename:", {7, 7, 38, 8}},
                  {1000, bar, L"", {7, 18, 195, 14}},
                  {1001, L"Static", L"", {52, 7, 150, 8}},
                  {-1, L"Static", L"Remaining time:", {7, 69, 52, 8}},
                  {1002, L"Static", L"", {67, 69, 80, 8}},
                  {-1, L"Static", L"Total progress:", {7, 39, 50, 8}},
                  {1004, bar, L"", {7, 49, 195, 14}}});
    expectDialog(english.get(), IDD_OVERWRITE, L"Overwrite file?", 269, 58, L"MS Sans Serif", true,
                 {{1008, L"Static", L"", {7, 7, 255, 25}},
                  {1005, L"Button", L"&Yes", {48, 37, 50, 14}},
                  {1006, L"Button", L"Yes to &all", {103, 37, 50, 14}},
                  {3, L"Button", L"&No", {158, 37, 50, 14}},
                  {1007, L"Button", L"&Cancel", {212, 37, 50, 14}}});
}

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

TEST_F(ResourcesTest, DialogsOfBothModulesComeUpHeadlessWithTheirControls)
{
    const std::pair<int, std::vector<int>> dialogs[] = {
        {IDD_PROGRESS_SINGLE, {1000, 1001, 1002, 1003}},
        {IDD_PROGRESS_MULTI, {1000, 1001, 1002, 1003, 1004}},
        {IDD_OVERWRITE, {1008, 1005, 1006, 3, 1007}},
    };
    for (HMODULE module : {english.get(), german.get()}) {
        for (const auto& [id, controls] : dialogs) {
            UniqueWindow dialog(CreateDialogParamW(module, MAKEINTRESOURCEW(id), nullptr, quietDialog, 0));
            ASSERT_TRUE(dialog) << "dialog " << id << " does not come up: " << GetLastError();
            for (int control : controls) {
                EXPECT_NE(GetDlgItem(dialog.get(), control), nullptr) << "control " << control << " of dialog " << id;
            }
            EXPECT_EQ((GetWindowLongW(dialog.get(), GWL_STYLE) & WS_SYSMENU) != 0, id == IDD_OVERWRITE);
        }
    }
}

TEST_F(ResourcesTest, GermanDialogsKeepTheEnglishGeometry)
{
    for (int id : {IDD_PROGRESS_SINGLE, IDD_PROGRESS_MULTI, IDD_OVERWRITE}) {
        const DialogTemplate en = readDialogTemplate(english.get(), id);
        const DialogTemplate de = readDialogTemplate(german.get(), id);
        ASSERT_TRUE(en.found && de.found);
        EXPECT_EQ(de.style, en.style);
        EXPECT_EQ(de.typeface, en.typeface);
        ASSERT_EQ(de.items.size(), en.items.size());
        for (size_t i = 0; i < en.items.size(); ++i) {
            EXPECT_EQ(de.items[i].id, en.items[i].id);
            EXPECT_TRUE(EqualRect(&de.items[i].rect, &en.items[i].rect)) << "item " << en.items[i].id;
        }
        EXPECT_NE(de.caption, en.caption);
    }
}

TEST_F(ResourcesTest, VersionBlockGivesTheFileVersionTheAboutBoxShows)
{
    const std::string path = narrow(builtModulePath(L"Nimbrel.dll"));
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    char* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\000004b0\\FileVersion",
                               reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, "1, 0, 1, 2");
}

TEST_F(ResourcesTest, IconGroup113HasASmallAndALargeIcon)
{
    for (int size : {16, 32}) {
        UniqueIcon icon(static_cast<HICON>(
            LoadImageW(english.get(), MAKEINTRESOURCEW(IDI_NIMBREL), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        UniqueGdiObject color(info.hbmColor);
        UniqueGdiObject mask(info.hbmMask);
        BITMAP bitmap{};
        GetObjectW(color ? color.get() : mask.get(), sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
    }
    EXPECT_EQ(ExtractIconExW(builtModulePath(L"Nimbrel.dll").c_str(), -1, nullptr, nullptr, 0), 1u)
        << "the module has one icon, index 0 of the DefaultIcon value";
}

}  // namespace
