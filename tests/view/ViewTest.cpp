// The view hosted by a recording browser of our own, over simulated devices
// behind port numbers: menus, toolbar, status texts, the list's commands,
// and a walk through it all by keyboard with the real dialogs answered.
#include "FolderTestSupport.h"
#include "TestBrowser.h"
#include "WindowDriver.h"
#include "devsim/SimulatedBus.h"
#include "link/Pause.h"
#include "namespace/NamespaceFolder.h"
#include "protocol/ProtocolBytes.h"
#include "shell/Prompt.h"
#include "transfer/BackgroundWork.h"
#include "transfer/TransferObjects.h"
#include "view/ViewObjects.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <optional>

namespace {

using namespace std::chrono_literals;
using windows::menuItems;
using Names = std::vector<std::string>;

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.textsLoaded()) << "Nimbrel.dll is not beside the test";
        installFolderObjects(addTransferObjects, addViewObjects);
        moduleState().registerClipboardFormats();
        OleSetClipboard(nullptr);
    }
    // A Corvia 80 on COM3 with three files and a system file; with `minnow`
    // a Minnow on COM4 beside it.
    devsim::SimulatedDevice& attachDevices(bool minnow) {
        auto& corvia = bus_.attach(3, {.typeCode = 0x78, .serial = "CV8-0003"});
        const std::pair<const char*, std::size_t> files[] = {
            {"LETTER.TXT", 120}, {"NOTES.TXT", 5}, {"BOOK.BRF", 2000}, {"KORVEL.NSF", 7}};
        for (const auto& [name, size] : files) corvia.putFile(name, std::string(size, 'x'));
        if (minnow) {
            bus_.attach(4, {.typeCode = 0x72, .serial = "MN2-0004"}).putFile("SHOP.TXT", "milk");
        } else {
            bus_.detach(4);
        }
        return corvia;
    }
    TestBrowser& browse(bool frameCalls = true, bool activate = true) {
        browser_ = makeComObject<TestBrowser>(frameCalls);
        EXPECT_EQ(browser_->open(makeComObject<NamespaceFolder>(true), activate), S_OK);
        return *browser_.Get();
    }
    void clickHeader(int column) {
        const HWND header = ListView_GetHeader(browser_->list());
        RECT place{};
        Header_GetItemRect(header, column, &place);
        const LPARAM at = MAKELPARAM((place.left + place.right) / 2, (place.top + place.bottom) / 2);
        PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(header, WM_LBUTTONUP, 0, at);
        browser_->pump();
    }
    std::size_t events(int port) { return bus_.device(port).events().size(); }

    ComAndTexts com_;
    ScopedPause noWaits_{[](std::uint32_t) {}};
    devsim::SimulatedBus bus_;
    std::optional<prompt::Recorder> recorder_{std::in_place, IDOK};
    ComPtr<TestBrowser> browser_;
};

TEST_F(ViewTest, MenusMergeViewAndHelpWithoutFocusAllFourWithFocusAndGoWhenDeactivated) {
    attachDevices(false);
    TestBrowser& browser = browse(true, false);
    IShellView& view = *browser.view();
    const std::wstring merged[] = {
        L"274 &Open Device|-|260 &Delete\tDEL|261 &Rename\tF2|-|28672 &Close|",
        L"267 Cu&t\tCtrl+X|268 &Copy\tCtrl+C|269 &Paste\tCtrl+V|-|263 Sellect &all\tCtrl+A|264 &Invert selection|-|"
        L"28673 &Undo|",
        L"256 &Large icons|257 &Small icons|258 L&ist|259 &Details|-|265 Hide system &files checked|-|"
        L"28674 Status &bar|",
        L"277 About Ni&mbrel...|28675 &About Browser|"};
    const std::wstring browsersOwn[] = {L"28672 &Close|", L"28673 &Undo|", merged[2], merged[3]};

    ASSERT_EQ(view.UIActivate(SVUIA_ACTIVATE_NOFOCUS), S_OK);
    for (int popup = 0; popup < 4; ++popup) EXPECT_EQ(menuItems(browser.popup(popup)), browsersOwn[popup]);
    view.UIActivate(SVUIA_ACTIVATE_NOFOCUS);
    EXPECT_EQ(std::tie(browser.insertedMenus, browser.removedMenus), std::make_tuple(1, 0)) << "same state twice";

    view.UIActivate(SVUIA_ACTIVATE_FOCUS);
    EXPECT_EQ(std::tie(browser.insertedMenus, browser.removedMenus), std::make_tuple(2, 1));
    EXPECT_EQ(browser.activations, 2) << "the activation and the list's focus";
    for (int popup = 0; popup < 4; ++popup) EXPECT_EQ(menuItems(browser.popup(popup)), merged[popup]);

    view.UIActivate(SVUIA_DEACTIVATE);
    EXPECT_EQ(browser.removedMenus, 2);
    EXPECT_EQ(browser.sharedMenu, nullptr);
}

TEST_F(ViewTest, MenuStatesAndTheContextMenuFollowTheSelectionTheFolderAndTheViewOptions) {
    // Commands 274 261 260 267 268 269 256 257 258 259 265: '.' enabled,
    // 'g' grayed, 'c' checked, 'G' grayed and checked.
    const UINT commands[] = {274, 261, 260, 267, 268, 269, 256, 257, 258, 259, 265};
    struct Case {
        const char* what;
        bool twoDevices;
        std::initializer_list<int> selected;
        std::initializer_list<UINT> before;
        const char* states;
        const wchar_t* contextMenuStart;
    } cases[] = {
        {"device list, one selected", true, {0}, {}, "..gggg...cG", L"274 &Open|"},
        {"files, nothing selected", false, {}, {}, "gggggg...cc", L"popup &View{"},
        {"files, two selected", false, {0, 1}, {}, "gg...g...cc", L"267 Cu&t|"},
        {"one file, shown as icons with system files", false, {0}, {265, 256}, "g....gc...."},
    };
    for (const Case& c : cases) {
        attachDevices(c.twoDevices);
        TestBrowser& browser = browse();
        for (UINT id : c.before) browser.command(id);
        browser.select(c.selected);
        SendMessageW(GetParent(browser.list()), WM_INITMENUPOPUP, 0, 0);
        std::string states;
        for (UINT id : commands) {
            const UINT state = GetMenuState(browser.sharedMenu, id, MF_BYCOMMAND);
            const bool grayed = state & MF_GRAYED, checked = state & MF_CHECKED;
            states += grayed ? (checked ? 'G' : 'g') : (checked ? 'c' : '.');
        }
        EXPECT_EQ(states, c.states) << c.what;
        if (!c.contextMenuStart) continue;
        windows::MenuAnswerer menu;
        SendMessageW(GetParent(browser.list()), WM_CONTEXTMENU, 0, MAKELPARAM(100, 100));
        EXPECT_TRUE(menu.shownItems().starts_with(c.contextMenuStart)) << c.what << ": " << menu.shownItems();
    }
}

TEST_F(ViewTest, ToolbarStatusSortingAndHiddenSystemFiles) {
    attachDevices(false);
    TestBrowser& browser = browse();
    std::string toolbar;  // command/state/image of each button: the standard images behind offset 20
    for (const TBBUTTON& button : browser.toolbar)
        toolbar += std::to_string(button.idCommand) + "/" + std::to_string(button.fsState) + "/" +
                   std::to_string(button.iBitmap) + " ";
    EXPECT_EQ(toolbar, "267/0/20 268/0/21 269/0/22 0/0/0 260/0/25 ");
    using Buttons = std::map<UINT, bool>;
    EXPECT_EQ(browser.buttons, (Buttons{{260, false}, {267, false}, {268, false}, {269, false}}));
    browser.select({1});
    EXPECT_EQ(browser.buttons, (Buttons{{260, true}, {267, true}, {268, true}, {269, false}}));
    using Columns = std::vector<std::tuple<std::string, int, int>>;
    EXPECT_EQ(browser.columns(),
              (Columns{{"File", 210, LVCFMT_LEFT}, {"Size", 80, LVCFMT_RIGHT}, {"Modified", 130, LVCFMT_LEFT}}));

    // The system file is counted, not shown; showing it changes no count.
    const Names hidden = {"BOOK.BRF", "*LETTER.TXT", "NOTES.TXT"};
    EXPECT_EQ(browser.entries(), hidden);
    EXPECT_EQ(browser.statusTexts.back(), L"Found 4 file(s).");
    browser.command(265);
    EXPECT_EQ(browser.entries(), (Names{"BOOK.BRF", "KORVEL.NSF", "LETTER.TXT", "NOTES.TXT"}));
    EXPECT_EQ(browser.statusTexts.back(), L"Found 4 file(s).");
    browser.command(265);
    browser.select({1});
    EXPECT_EQ(browser.entries(), hidden);

    clickHeader(0);
    EXPECT_EQ(browser.entries(), hidden) << "a first click sorts ascending";
    clickHeader(0);
    EXPECT_EQ(browser.entries(), (Names{"NOTES.TXT", "*LETTER.TXT", "BOOK.BRF"})) << "a second click reverses";
    clickHeader(1);
    EXPECT_EQ(browser.entries(), (Names{"NOTES.TXT", "*LETTER.TXT", "BOOK.BRF"})) << "sizes 5, 120, 2000 ascending";
    clickHeader(1);
    EXPECT_EQ(browser.entries(), (Names{"BOOK.BRF", "*LETTER.TXT", "NOTES.TXT"}));
}

TEST_F(ViewTest, DeleteConfirmsTellsEachRefusalAndRefreshesOnlyAfterADeletion) {
    // With system files shown: 0 BOOK.BRF, 1 KORVEL.NSF, 2 LETTER.TXT, 3 NOTES.TXT. Answers in
    // order; faults: 'r' the device refuses the second file, 'u' it is unplugged.
    struct Case {
        const char *what, *selected, *answers;
        char fault;
        const char *prompts, *left;
        const wchar_t* status;  // after the delete
    } cases[] = {
        {"one file", "2", "Y", ' ', "6 ", "BOOK.BRF KORVEL.NSF NOTES.TXT ", L"Found 3 file(s).|Deleted 1 files(s).|"},
        {"one system file, declined", "1", "N", ' ', "7 ", "BOOK.BRF KORVEL.NSF LETTER.TXT NOTES.TXT ", L""},
        {"three with a system file", "013", "YY", ' ', "8 9 ", "LETTER.TXT ", L"Found 1 file(s).|Deleted 3 files(s).|"},
        {"three, No to the system file", "013", "YN", ' ', "8 9 ", "BOOK.BRF KORVEL.NSF LETTER.TXT NOTES.TXT ", L""},
        {"the device refuses the second of three", "023", "Y", 'r', "8 31 ", "KORVEL.NSF LETTER.TXT ",
         L"Found 2 file(s).|Deleted 2 files(s).|"},
        {"all fail", "023", "Y", 'u', "8 31 31 31 ", "BOOK.BRF KORVEL.NSF LETTER.TXT NOTES.TXT ", L""},
    };
    for (const Case& c : cases) {
        auto& device = attachDevices(false);
        TestBrowser& browser = browse();
        browser.command(265);
        ListView_SetItemState(browser.list(), -1, 0, LVIS_SELECTED);
        for (const char* item = c.selected; *item; ++item)
            ListView_SetItemState(browser.list(), *item - '0', LVIS_SELECTED, LVIS_SELECTED);
        const std::size_t statusBefore = browser.statusTexts.size();
        const char* answer = c.answers;
        recorder_.emplace([&](const prompt::ShownPrompt& shown) {
            return shown.textId == 31 ? IDOK : *answer && *answer++ == 'Y' ? IDYES : IDNO;
        });
        if (c.fault == 'r') device.setFaults({.nak = {{.at = 2, .code = 5, .confirming = ProtocolBytes::DELETE_FILE}}});
        if (c.fault == 'u') bus_.detach(3);
        browser.press(VK_DELETE);
        std::string prompts, left;
        for (const auto& prompt : recorder_->prompts()) prompts += std::to_string(prompt.textId) + " ";
        EXPECT_EQ(prompts, c.prompts) << c.what;
        for (const auto& file : device.files()) left += file.name + " ";
        EXPECT_EQ(left, c.left) << c.what;
        std::wstring status;
        for (std::size_t i = statusBefore; i < browser.statusTexts.size(); ++i) status += browser.statusTexts[i] + L"|";
        EXPECT_EQ(status, c.status) << c.what;
    }
    EXPECT_EQ(recorder_->prompts()[0].text, L"Do you really want to delete 3 selected files?");
    EXPECT_EQ(recorder_->prompts()[1].text, L"Could not delete file \"BOOK.BRF\".");
}

TEST_F(ViewTest, ABrowserWithoutMenusToolbarOrStatusStillShowsTheListAndTheAboutBox) {
    TestBrowser& empty = browse();
    EXPECT_EQ(empty.entries(), Names{});
    EXPECT_EQ(empty.statusTexts, std::vector<std::wstring>{}) << "no device: no status text";
    ASSERT_EQ(recorder_->prompts().size(), 1u);
    EXPECT_EQ(recorder_->prompts()[0].textId, 16u);
    using Columns = std::vector<std::tuple<std::string, int, int>>;
    EXPECT_EQ(empty.columns(),
              (Columns{{"Device", 210, LVCFMT_LEFT}, {"Port", 60, LVCFMT_LEFT}, {"Serial number", 140, LVCFMT_LEFT}}));

    attachDevices(true);
    TestBrowser& browser = browse(false);
    EXPECT_EQ(browser.entries(), (Names{"Corvia 80", "Minnow"}));
    browser.select({0});
    browser.command(277);
    const prompt::ShownPrompt about = recorder_->prompts().back();
    EXPECT_EQ(std::tie(about.caption, about.style),
              std::make_tuple(std::wstring(L"About Nimbrel"), UINT{MB_OK | MB_ICONINFORMATION}));
    EXPECT_EQ(about.text.substr(0, 24), L"Nimbrel, version 1.0.1.2");
}

TEST_F(ViewTest, KeyboardOnlyOpenDeleteRenameCancelContextMenusBackAndRefresh) {
    recorder_.reset();  // the real message boxes from here on
    auto& corvia = attachDevices(true);
    TestBrowser& browser = browse();
    EXPECT_EQ(browser.entries(), (Names{"Corvia 80", "Minnow"}));
    EXPECT_EQ(browser.statusTexts.back(), L"Found 2 device(s).");
    browser.press(VK_SPACE);  // the first entry has the focus: select it
    browser.press('X', {VK_CONTROL});
    EXPECT_EQ(browser.statusTexts.size(), 1u) << "devices are not cut";
    browser.press(VK_RETURN);
    ASSERT_EQ(browser.browsed.size(), 1u);
    EXPECT_EQ(browser.browsed[0], std::make_pair(std::string("Corvia 80"), UINT{SBSP_RELATIVE}));
    EXPECT_EQ(browser.entries(), (Names{"BOOK.BRF", "LETTER.TXT", "NOTES.TXT"}));

    browser.press('A', {VK_CONTROL});
    EXPECT_EQ(browser.entries(), (Names{"*BOOK.BRF", "*LETTER.TXT", "*NOTES.TXT"}));
    browser.press(VK_DOWN);
    browser.press(VK_HOME);
    browser.press(VK_RETURN);
    EXPECT_EQ(browser.browsed.size(), 1u) << "a file does not open";
    {
        windows::DialogAnswerer confirmation(L"Attention", IDYES);
        browser.press(VK_DELETE);
        ASSERT_TRUE(confirmation.answered());
        EXPECT_EQ(confirmation.shownText(), L"Do you really want to delete the selected file \"BOOK.BRF\"?");
    }
    EXPECT_FALSE(corvia.hasFile("BOOK.BRF"));
    EXPECT_EQ(browser.statusTexts.back(), L"Deleted 1 files(s).");

    browser.select({1});
    browser.press(VK_F2);
    ASSERT_NE(ListView_GetEditControl(browser.list()), nullptr);
    browser.type(L"MEMO.TXT");
    browser.press(VK_RETURN);
    EXPECT_TRUE(corvia.hasFile("MEMO.TXT") && !corvia.hasFile("NOTES.TXT"));
    EXPECT_EQ(browser.statusTexts.back(), L"Renamed \"NOTES.TXT\" to \"MEMO.TXT\".");
    EXPECT_EQ(browser.entries(), (Names{"LETTER.TXT", "*MEMO.TXT"}));
    {
        windows::DialogAnswerer refusal(L"An error occurred!", IDOK);
        browser.press(VK_F2);
        browser.type(L"LETTER.TXT");
        browser.press(VK_RETURN);
        ASSERT_TRUE(refusal.answered());
        EXPECT_EQ(refusal.shownText(),
                  L"Cannot rename File \"MEMO.TXT\" to \"LETTER.TXT\". The target filename already exists.");
    }
    EXPECT_EQ(browser.entries(), (Names{"LETTER.TXT", "*MEMO.TXT"})) << "the label keeps the old name";

    // While a label is edited, Del and Ctrl+C belong to the edit control.
    const auto traffic = events(3);
    const std::size_t statusCount = browser.statusTexts.size();
    browser.press(VK_F2);
    browser.press('C', {VK_CONTROL});
    browser.press(VK_DELETE);
    EXPECT_EQ(windows::text(ListView_GetEditControl(browser.list())), L"") << "Del emptied the label";
    browser.type(L"OTHER.TXT");
    browser.press(VK_ESCAPE);
    EXPECT_EQ(ListView_GetEditControl(browser.list()), nullptr);
    EXPECT_EQ(browser.entries(), (Names{"LETTER.TXT", "*MEMO.TXT"}));
    EXPECT_EQ(std::make_pair(events(3), browser.statusTexts.size()), std::make_pair(traffic, statusCount));
    ASSERT_TRUE(OpenClipboard(nullptr));
    const char* copied = static_cast<const char*>(GetClipboardData(CF_TEXT));
    EXPECT_STREQ(copied, "MEMO.TXT") << "Ctrl+C copied the label's text";
    CloseClipboard();

    // Copied here, pasted into the Minnow: a device-to-device job.
    browser.press('A', {VK_CONTROL});
    browser.press('C', {VK_CONTROL});
    EXPECT_EQ(browser.statusTexts.back(), L"Copied 2 file(s) (125 B) to clipboard.");
    browser.press(VK_BACK);
    ASSERT_EQ(browser.browsed.size(), 2u);
    EXPECT_EQ(browser.browsed[1], std::make_pair(std::string(), UINT{SBSP_SAMEBROWSER | SBSP_PARENT}));
    EXPECT_EQ(browser.entries(), (Names{"Corvia 80", "Minnow"}));
    browser.press(VK_END);
    browser.press(VK_RETURN);
    browser.press('V', {VK_CONTROL});
    for (auto end = std::chrono::steady_clock::now() + 30s;
         backgroundWorkRunning() > 0 && std::chrono::steady_clock::now() < end;)
        browser.pump();
    browser.pump();  // the job's refresh
    EXPECT_EQ(browser.entries(), (Names{"LETTER.TXT", "MEMO.TXT", "SHOP.TXT"}));
    EXPECT_EQ(bus_.device(4).fileData("MEMO.TXT"), std::optional<devsim::Bytes>(devsim::Bytes(5, 'x')));

    SetFocus(browser.list());  // back from the job's progress dialog
    browser.select({1});
    {
        windows::MenuAnswerer menu;
        browser.press(VK_F10, {VK_SHIFT});
        EXPECT_EQ(menu.shownItems(), L"267 Cu&t|268 &Copy|269 &Paste|-|260 &Delete|261 &Rename|");
    }
    browser.select({});
    {
        windows::MenuAnswerer menu;
        browser.press(VK_APPS);
        EXPECT_TRUE(menu.shownItems().starts_with(L"popup &View{")) << "the background menu: " << menu.shownItems();
        POINT corner{};
        ClientToScreen(browser.list(), &corner);
        EXPECT_EQ(std::make_pair(menu.shownAt().x, menu.shownAt().y), std::make_pair(corner.x, corner.y));
    }

    browser.press(VK_BACK);
    bus_.attach(9, {.typeCode = 0x74, .serial = "CV4-0009"});
    browser.press(VK_F5);
    EXPECT_EQ(browser.entries(), (Names{"Corvia 40", "Corvia 80", "Minnow"}));
    EXPECT_EQ(browser.statusTexts.back(), L"Found 3 device(s).");
}

}  // namespace
