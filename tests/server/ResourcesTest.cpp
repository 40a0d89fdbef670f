#include "resources/resource.h"
#include "shell/BuiltModules.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const std::set<UINT> tableIds = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 16, 17, 18, 19, 21, 22, 23, 24, 25,
                                 26, 27, 28, 29, 30, 31, 32, 33, 34, 36, 37, 38, 39, 40, 41, 43, 44, 45, 46, 47, 48};

std::wstring wideText(HMODULE module, UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// The printf fields of a text in order, e.g. "%2d|%s|".
std::wstring fieldsOf(const std::wstring& text) {
    std::wstring fields;
    for (size_t i = text.find(L'%'); i != std::wstring::npos; i = text.find(L'%', i + 1)) {
        const size_t end = text.find_first_of(L"%sdiu", i + 1);
        fields += text.substr(i, end - i + 1) + L"|";
        i = end;
    }
    return fields;
}

// A menu as one line: "Text=id" items, "-" separators, "Title{...}" popups,
// a '*' after checked items; withTexts false leaves only the structure.
std::wstring describeMenu(HMENU menu, bool withTexts) {
    std::wstring out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        out += i > 0 ? L"|" : L"";
        if (info.fType & MFT_SEPARATOR) {
            out += L"-";
            continue;
        }
        out += withTexts ? std::wstring(text) : std::wstring();
        out += info.hSubMenu ? L"{" + describeMenu(info.hSubMenu, withTexts) + L"}" : L"=" + std::to_wstring(info.wID);
        out += (info.fState & MFS_CHECKED) ? L"*" : L"";
    }
    return out;
}

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
    }
    UniqueModule english{LoadLibraryW(builtModulePath(L"Nimbrel.dll").c_str())};
    UniqueModule german{loadResourcesOf(L"NimbrelDEU.dll")};
};

TEST_F(ResourcesTest, StringTablesOfBothModulesHoldTheSameEntriesAndTheQuotedTextsTyposIncluded) {
    ASSERT_TRUE(english && german);
    const std::pair<UINT, const char*> expected[] = {
        {4, "KorvelNameSpace"},
        {7,
         "The selected file \"%s\" is a system file. Please note that deleting of system files may lead to an "
         "unstable or unusable system.  Do you want to continue and delete the selected file?"},
        {9,
         "You have selected at least one system file. Please note that deletion of system files may lead to an "
         "unusable or instabile system. Do you want to continue and delete the selected files?"},
        {26, "Not enough memory on tareget device."},
        {28,
         "%s (%s) connectet to COM %d is supported, but you need to upgrade your Firmware (at least 2.10 or "
         "higher) in order to use it inside the explorer."},
        {33, "Could not transmitte file \"%s\" from device %s (COM %d) to the PC."},
        {40, "Deleted %d files(s)."},
        {48, "You have selcetet at least on directory. Copy of directories is not supported."},
    };
    for (const auto& [id, text] : expected) {
        char buffer[1024] = {};
        LoadStringA(english.get(), id, buffer, sizeof(buffer));
        EXPECT_STREQ(buffer, text) << "string " << id;
    }
    EXPECT_EQ(fieldsOf(wideText(english.get(), IDS_ABOUT_TEXT)), L"%s|") << "the About text takes the version";

    // Both modules have exactly the table's entries, with the same fields in the same order.
    for (UINT id = 0; id <= 60; ++id) {
        const std::wstring en = wideText(english.get(), id), de = wideText(german.get(), id);
        EXPECT_EQ(!en.empty(), tableIds.count(id) == 1) << "string " << id;
        EXPECT_EQ(!de.empty(), tableIds.count(id) == 1) << "German string " << id;
        EXPECT_EQ(fieldsOf(de), fieldsOf(en)) << "fields of string " << id;
        EXPECT_TRUE(de != en || en.empty() || id == IDS_WINDOW_CLASS) << "string " << id << " is not translated";
    }
}

TEST_F(ResourcesTest, MenusHaveTheirCommandsInBothModulesAndHideSystemFilesChecked) {
    const wchar_t* view = L"&View{&Large icons=256|&Small icons=257|L&ist=258|&Details=259}";
    const std::pair<int, std::wstring> expected[] = {
        {IDM_MERGED,
         L"&File{-|&Open Device=274|-|&Delete\tDEL=260|&Rename\tF2=261|-}|"
         L"&Edit{-|Cu&t\tCtrl+X=267|&Copy\tCtrl+C=268|&Paste\tCtrl+V=269|-|Sellect &all\tCtrl+A=263|"
         L"&Invert selection=264|-}|"
         L"&View{-|&Large icons=256|&Small icons=257|L&ist=258|&Details=259|-|Hide system &files=265*|-}|"
         L"&Help{-|About Ni&mbrel...=277}"},
        {IDM_FILE_POPUP, L"{Cu&t=267|&Copy=268|&Paste=269|-|&Delete=260|&Rename=261}"},
        {IDM_BACKGROUND_POPUP, L"{" + std::wstring(view) + L"|R&efresh=271|-|&Paste=269}"},
        {IDM_DEVICE_POPUP, L"{&Open=274|&Rename=261|-|" + std::wstring(view) + L"|R&efresh=271}"},
    };
    for (const auto& [id, items] : expected) {
        UniqueMenu en(LoadMenuW(english.get(), MAKEINTRESOURCEW(id)));
        UniqueMenu de(LoadMenuW(german.get(), MAKEINTRESOURCEW(id)));
        ASSERT_TRUE(en && de) << "menu " << id;
        const std::wstring whole = describeMenu(en.get(), true);
        EXPECT_EQ(id == IDM_MERGED ? whole : whole.substr(whole.find(L'{')), items) << "menu " << id;
        EXPECT_EQ(describeMenu(de.get(), false), describeMenu(en.get(), false)) << "German menu " << id;
    }
}

TEST_F(ResourcesTest, AcceleratorsMapTheKeysToTheViewCommands) {
    for (HMODULE module : {english.get(), german.get()}) {
        HACCEL table = LoadAcceleratorsW(module, MAKEINTRESOURCEW(IDA_VIEW));
        std::vector<ACCEL> entries(table ? static_cast<size_t>(CopyAcceleratorTableW(table, nullptr, 0)) : 0);
        CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
        std::set<std::tuple<int, int, int>> found;
        for (const ACCEL& entry : entries) found.insert({entry.fVirt & 0x7F, entry.key, entry.cmd});
        const BYTE ctrl = FVIRTKEY | FCONTROL;
        EXPECT_EQ(found, (std::set<std::tuple<int, int, int>>{{ctrl, 'A', 263},
                                                              {ctrl, 'C', 268},
                                                              {ctrl, 'V', 269},
                                                              {ctrl, 'X', 267},
                                                              {FVIRTKEY, VK_BACK, 275},
                                                              {FVIRTKEY, VK_DELETE, 260},
                                                              {FVIRTKEY, VK_F2, 261},
                                                              {FVIRTKEY, VK_F5, 271}}));
    }
}

// A dialog's controls as one line: "class id text" for each, in tab order;
// withTexts false leaves class and id only.
std::wstring describeControls(HWND dialog, bool withTexts = true) {
    std::wstring out;
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t windowClass[64] = {}, text[128] = {};
        GetClassNameW(control, windowClass, 64);
        GetWindowTextW(control, text, 128);
        const int id = GetDlgCtrlID(control);
        out += (out.empty() ? L"" : L"|") + std::wstring(windowClass) + L" " + std::to_wstring(id == 0xFFFF ? -1 : id) +
               (withTexts ? L" " + std::wstring(text) : L"");
    }
    return out;
}

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

TEST_F(ResourcesTest, DialogsOfBothModulesComeUpWithTheirControlsAndOnlyOverwriteHasACloseBox) {
    const std::wstring bar = L"msctls_progress32 ", time = L"Static -1 Remaining time:|Static 1002 ";
    const std::tuple<int, const wchar_t*, std::wstring> expected[] = {
        {IDD_PROGRESS_SINGLE, L"Transmitting File",
         L"Button 1003 &Abort|Static -1 Filename:|" + bar + L"1000 |Static 1001 |" + time},
        {IDD_PROGRESS_MULTI, L"Transmitting Files",
         L"Button 1003 &Abort|Static -1 Filename:|" + bar + L"1000 |Static 1001 |" + time +
             L"|Static -1 Total progress:|" + bar + L"1004 "},
        {IDD_OVERWRITE, L"Overwrite file?",
         L"Static 1008 |Button 1005 &Yes|Button 1006 Yes to &all|Button 3 &No|Button 1007 &Cancel"},
    };
    for (const auto& [id, caption, controls] : expected) {
        UniqueWindow en(CreateDialogParamW(english.get(), MAKEINTRESOURCEW(id), nullptr, quietDialog, 0));
        UniqueWindow de(CreateDialogParamW(german.get(), MAKEINTRESOURCEW(id), nullptr, quietDialog, 0));
        ASSERT_TRUE(en && de) << "dialog " << id << " does not come up: " << GetLastError();
        wchar_t title[64] = {}, germanTitle[64] = {};
        GetWindowTextW(en.get(), title, 64);
        GetWindowTextW(de.get(), germanTitle, 64);
        EXPECT_STREQ(title, caption);
        EXPECT_STRNE(germanTitle, caption) << "dialog " << id << " is not translated";
        EXPECT_EQ(describeControls(en.get()), controls);
        EXPECT_EQ(describeControls(de.get(), false), describeControls(en.get(), false)) << "German dialog " << id;
        for (HWND dialog : {en.get(), de.get()}) {
            const LONG style = GetWindowLongW(dialog, GWL_STYLE);
            EXPECT_EQ(style & (WS_POPUP | WS_CAPTION), WS_POPUP | WS_CAPTION) << "dialog " << id;
            EXPECT_EQ((style & WS_SYSMENU) != 0, id == IDD_OVERWRITE) << "close box of dialog " << id;
        }
    }
}

TEST_F(ResourcesTest, VersionBlockGivesTheFileVersionTheAboutBoxShowsAndTheOneIconHasTwoSizes) {
    const std::wstring path = builtModulePath(L"Nimbrel.dll");
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(path.c_str(), 0, block.size(), block.data()));
    char* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\000004b0\\FileVersion",
                               reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, "1, 0, 1, 2");

    // Icon group 113 has a small and a large icon.
    for (int size : {16, 32}) {
        UniqueIcon icon(
            static_cast<HICON>(LoadImageW(english.get(), MAKEINTRESOURCEW(IDI_NIMBREL), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        UniqueGdiObject color(info.hbmColor), mask(info.hbmMask);
        BITMAP bitmap{};
        GetObjectW(color ? color.get() : mask.get(), sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
    }
    EXPECT_EQ(ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0), 1u)
        << "the module has one icon, index 0 of the DefaultIcon value";
}

}  // namespace
