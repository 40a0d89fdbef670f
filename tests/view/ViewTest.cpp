// The view hosted by a recording browser of our own, over simulated devices
// behind port numbers: menus, toolbar, status texts, the list's commands,
// and a walk through it all by keyboard with the real dialogs answered.
#include "ChildProcess.h"
#include "FolderTestSupport.h"
#include "TestBrowser.h"
#include "WindowDriver.h"
#include "devsim/SimulatedBus.h"
#include "folder/NamespaceFolder.h"
#include "link/Pause.h"
#include "protocol/DeviceErrors.h"
#include "protocol/ProtocolBytes.h"
#include "shell/Prompt.h"
#include "transfer/BackgroundWork.h"
#include "transfer/Announcer.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <optional>
#include <set>

namespace {

using namespace std::chrono_literals;
using windows::menuItems;
using Names = std::vector<std::string>;
using Columns = std::vector<std::tuple<std::string, int, int>>;  // header text, width, alignment

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.textsLoaded()) << "Nimbrel.dll is not beside the test";
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
        EXPECT_EQ(browser_->open(makeComObject<NamespaceFolder>(), activate), S_OK);
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
    std::vector<UINT> shownTexts() {
        std::vector<UINT> texts;
        for (const auto& shown : recorder_->prompts()) texts.push_back(shown.textId);
        return texts;
    }
    void finishTransfers() {
        for (auto end = std::chrono::steady_clock::now() + 30s;
             backgroundWorkRunning() > 0 && std::chrono::steady_clock::now() < end;)
            browser_->pump();
        browser_->pump();  // the transfer's refresh
    }

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
    // Every other command of these is enabled and unchecked.
    const std::set<UINT> commands = {IDM_OPEN_DEVICE, IDM_RENAME,       IDM_DELETE,           IDM_CUT,
                                     IDM_COPY,        IDM_PASTE,        IDM_VIEW_LARGE_ICONS, IDM_VIEW_SMALL_ICONS,
                                     IDM_VIEW_LIST,   IDM_VIEW_DETAILS, IDM_HIDE_SYSTEM_FILES};
    const struct {
        const char* what;
        bool twoDevices;
        std::initializer_list<int> selected;
        std::initializer_list<UINT> before;  // commands given first
        std::set<UINT> grayed, checked;
        const wchar_t* contextMenuStart;
    } cases[] = {
        {"device list, one selected",
         true,
         {0},
         {},
         {IDM_DELETE, IDM_CUT, IDM_COPY, IDM_PASTE, IDM_HIDE_SYSTEM_FILES},
         {IDM_VIEW_DETAILS, IDM_HIDE_SYSTEM_FILES},
         L"274 &Open|"},
        {"files, nothing selected",
         false,
         {},
         {},
         {IDM_OPEN_DEVICE, IDM_RENAME, IDM_DELETE, IDM_CUT, IDM_COPY, IDM_PASTE},
         {IDM_VIEW_DETAILS, IDM_HIDE_SYSTEM_FILES},
         L"popup &View{"},
        {"device list, nothing selected",
         true,
         {},
         {},
         {IDM_OPEN_DEVICE, IDM_RENAME, IDM_DELETE, IDM_CUT, IDM_COPY, IDM_PASTE, IDM_HIDE_SYSTEM_FILES},
         {IDM_VIEW_DETAILS, IDM_HIDE_SYSTEM_FILES},
         L"popup &View{"},
        {"files, two selected",
         false,
         {0, 1},
         {},
         {IDM_OPEN_DEVICE, IDM_RENAME, IDM_PASTE},
         {IDM_VIEW_DETAILS, IDM_HIDE_SYSTEM_FILES},
         L"267 Cu&t|"},
        {"one file, shown as icons with system files",
         false,
         {0},
         {IDM_HIDE_SYSTEM_FILES, IDM_VIEW_LARGE_ICONS},
         {IDM_OPEN_DEVICE, IDM_PASTE},
         {IDM_VIEW_LARGE_ICONS},
         nullptr},
    };
    for (const auto& c : cases) {
        attachDevices(c.twoDevices);
        TestBrowser& browser = browse();
        for (UINT id : c.before) browser.command(id);
        browser.select(c.selected);
        SendMessageW(GetParent(browser.list()), WM_INITMENUPOPUP, 0, 0);
        std::set<UINT> grayed, checked;
        for (UINT id : commands) {
            const UINT state = GetMenuState(browser.sharedMenu, id, MF_BYCOMMAND);
            if (state & MF_GRAYED) grayed.insert(id);
            if (state & MF_CHECKED) checked.insert(id);
        }
        EXPECT_EQ(grayed, c.grayed) << c.what;
        EXPECT_EQ(checked, c.checked) << c.what;
        if (!c.contextMenuStart) continue;
        windows::MenuAnswerer menu;
        SendMessageW(GetParent(browser.list()), WM_CONTEXTMENU, 0, MAKELPARAM(100, 100));
        EXPECT_TRUE(menu.shownItems().starts_with(c.contextMenuStart)) << c.what << ": " << menu.shownItems();
    }
}

TEST_F(ViewTest, ToolbarStatusSortingHiddenSystemFilesAndCutMarksOnlyTheSelection) {
    attachDevices(false);
    TestBrowser& browser = browse();
    std::string toolbar;  // command/state/image of each button: the standard images behind offset 20
    for (const TBBUTTON& button : browser.toolbar)
        toolbar += std::to_string(button.idCommand) + "/" + std::to_string(button.fsState) + "/" +
                   std::to_string(button.iBitmap) + " ";
    EXPECT_EQ(toolbar, "267/0/20 268/0/21 269/0/22 0/0/0 260/0/25 ");
    using Buttons = std::map<UINT, bool>;
    EXPECT_EQ(browser.buttons, (Buttons{{IDM_DELETE, false}, {IDM_CUT, false}, {IDM_COPY, false}, {IDM_PASTE, false}}));
    browser.select({1});
    EXPECT_EQ(browser.buttons, (Buttons{{IDM_DELETE, true}, {IDM_CUT, true}, {IDM_COPY, true}, {IDM_PASTE, false}}));
    EXPECT_EQ(browser.columns(),
              (Columns{{"File", 210, LVCFMT_LEFT}, {"Size", 80, LVCFMT_RIGHT}, {"Modified", 130, LVCFMT_LEFT}}));

    // The system file is counted, not shown; showing it changes no count.
    const Names hidden = {"BOOK.BRF", "*LETTER.TXT", "NOTES.TXT"};
    EXPECT_EQ(browser.entries(), hidden);
    EXPECT_EQ(browser.statusTexts.back(), L"Found 4 file(s).");
    browser.command(IDM_HIDE_SYSTEM_FILES);
    EXPECT_EQ(browser.entries(), (Names{"BOOK.BRF", "KORVEL.NSF", "*LETTER.TXT", "NOTES.TXT"}));
    EXPECT_EQ(browser.statusTexts.back(), L"Found 4 file(s).");
    browser.command(IDM_HIDE_SYSTEM_FILES);
    EXPECT_EQ(browser.entries(), hidden);

    // The header shows the order: ^ ascending, v descending; the Sort by
    // commands of the background menu sort as a click on the header does.
    const auto sortMarks = [&] {
        std::string marks;
        const HWND header = ListView_GetHeader(browser.list());
        for (int column = 0; column < Header_GetItemCount(header); ++column) {
            HDITEMW item{.mask = HDI_FORMAT};
            Header_GetItem(header, column, &item);
            marks += item.fmt & HDF_SORTUP ? '^' : item.fmt & HDF_SORTDOWN ? 'v' : '-';
        }
        return marks;
    };
    EXPECT_EQ(sortMarks(), "^--");
    clickHeader(0);
    EXPECT_EQ(browser.entries(), hidden) << "a first click sorts ascending";
    clickHeader(0);
    EXPECT_EQ(browser.entries(), (Names{"NOTES.TXT", "*LETTER.TXT", "BOOK.BRF"})) << "a second click reverses";
    EXPECT_EQ(sortMarks(), "v--");
    browser.command(IDM_SORT_SECOND);
    EXPECT_EQ(browser.entries(), (Names{"NOTES.TXT", "*LETTER.TXT", "BOOK.BRF"})) << "sizes 5, 120, 2000 ascending";
    EXPECT_EQ(sortMarks(), "-^-");
    clickHeader(1);
    EXPECT_EQ(browser.entries(), (Names{"BOOK.BRF", "*LETTER.TXT", "NOTES.TXT"}));
    browser.command(IDM_REFRESH);
    EXPECT_EQ(browser.entries(), (Names{"BOOK.BRF", "*LETTER.TXT", "NOTES.TXT"})) << "the order outlives a relisting";
    EXPECT_EQ(sortMarks(), "-v-");

    browser.command(IDM_CUT);
    EXPECT_EQ(browser.statusTexts.back(), L"Moved 1 file(s) (120 B) to clipboard.");
    std::vector<bool> marked;
    for (int item = 0; item < 3; ++item) marked.push_back(ListView_GetItemState(browser.list(), item, LVIS_CUT) != 0);
    EXPECT_EQ(marked, (std::vector<bool>{false, true, false})) << "the cut marks the selected entry only";
}

TEST_F(ViewTest, DeleteConfirmsTellsEachRefusalAndRefreshesOnlyAfterADeletion) {
    // With system files shown: 0 BOOK.BRF, 1 KORVEL.NSF, 2 LETTER.TXT, 3 NOTES.TXT.
    enum class Fault { None, SecondRefused, Unplugged };
    const struct {
        const char* what;
        std::initializer_list<int> selected;
        std::vector<int> answers;  // to the confirmations, in order
        Fault fault;
        std::vector<UINT> prompts;
        Names left;
        std::vector<std::wstring> status;  // after the delete
    } cases[] = {
        {"one file",
         {2},
         {IDYES},
         Fault::None,
         {IDS_CONFIRM_DELETE_FILE},
         {"BOOK.BRF", "KORVEL.NSF", "NOTES.TXT"},
         {L"Found 3 file(s).", L"Deleted 1 files(s)."}},
        {"one system file, declined",
         {1},
         {IDNO},
         Fault::None,
         {IDS_CONFIRM_DELETE_SYSFILE},
         {"BOOK.BRF", "KORVEL.NSF", "LETTER.TXT", "NOTES.TXT"},
         {}},
        {"three with a system file",
         {0, 1, 3},
         {IDYES, IDYES},
         Fault::None,
         {IDS_CONFIRM_DELETE_FILES, IDS_CONFIRM_DELETE_SYSFILES},
         {"LETTER.TXT"},
         {L"Found 1 file(s).", L"Deleted 3 files(s)."}},
        {"three, No to the system file",
         {0, 1, 3},
         {IDYES, IDNO},
         Fault::None,
         {IDS_CONFIRM_DELETE_FILES, IDS_CONFIRM_DELETE_SYSFILES},
         {"BOOK.BRF", "KORVEL.NSF", "LETTER.TXT", "NOTES.TXT"},
         {}},
        {"the device refuses the second of three",
         {0, 2, 3},
         {IDYES},
         Fault::SecondRefused,
         {IDS_CONFIRM_DELETE_FILES, IDS_ERROR_DELETE},
         {"KORVEL.NSF", "LETTER.TXT"},
         {L"Found 2 file(s).", L"Deleted 2 files(s)."}},
        {"all fail",
         {0, 2, 3},
         {IDYES},
         Fault::Unplugged,
         {IDS_CONFIRM_DELETE_FILES, IDS_ERROR_DELETE, IDS_ERROR_DELETE, IDS_ERROR_DELETE},
         {"BOOK.BRF", "KORVEL.NSF", "LETTER.TXT", "NOTES.TXT"},
         {}},
    };
    for (const auto& c : cases) {
        auto& device = attachDevices(false);
        TestBrowser& browser = browse();
        browser.command(IDM_HIDE_SYSTEM_FILES);
        ListView_SetItemState(browser.list(), -1, 0, LVIS_SELECTED);
        for (const int item : c.selected) ListView_SetItemState(browser.list(), item, LVIS_SELECTED, LVIS_SELECTED);
        const std::size_t statusBefore = browser.statusTexts.size();
        auto answer = c.answers.begin();
        recorder_.emplace([&](const prompt::ShownPrompt& shown) {
            return shown.textId == IDS_ERROR_DELETE ? IDOK : answer != c.answers.end() ? *answer++ : IDNO;
        });
        if (c.fault == Fault::SecondRefused)
            device.setFaults(
                {.nak = {
                     {.at = 2, .code = DeviceError::MissingStartOfData, .confirming = ProtocolBytes::DELETE_FILE}}});
        if (c.fault == Fault::Unplugged) bus_.detach(3);
        browser.press(VK_DELETE);
        EXPECT_EQ(shownTexts(), c.prompts) << c.what;
        Names left;
        for (const auto& file : device.files()) left.push_back(file.name);
        EXPECT_EQ(left, c.left) << c.what;
        EXPECT_EQ(std::vector<std::wstring>(browser.statusTexts.begin() + statusBefore, browser.statusTexts.end()),
                  c.status)
            << c.what;
    }
    EXPECT_EQ(recorder_->prompts()[0].text, L"Do you really want to delete 3 selected files?");
    EXPECT_EQ(recorder_->prompts()[1].text, L"Could not delete file \"BOOK.BRF\".");
}

TEST_F(ViewTest, ABrowserWithoutMenusToolbarOrStatusStillShowsTheListAndTheAboutBox) {
    TestBrowser& empty = browse();
    EXPECT_EQ(empty.entries(), Names{});
    EXPECT_EQ(empty.statusTexts, std::vector<std::wstring>{}) << "no device: no status text";
    EXPECT_EQ(shownTexts(), std::vector<UINT>{IDS_NO_DEVICES});
    EXPECT_EQ(empty.columns(),
              (Columns{{"Device", 210, LVCFMT_LEFT}, {"Port", 60, LVCFMT_LEFT}, {"Serial number", 140, LVCFMT_LEFT}}));

    attachDevices(true);
    TestBrowser& browser = browse(false);
    EXPECT_EQ(browser.entries(), (Names{"Corvia 80", "Minnow"}));
    browser.select({0});
    browser.command(IDM_ABOUT);
    const prompt::ShownPrompt about = recorder_->prompts().back();
    EXPECT_EQ(std::tie(about.caption, about.style),
              std::make_tuple(std::wstring(L"About Nimbrel"), UINT{MB_OK | MB_ICONINFORMATION}));
    EXPECT_EQ(about.text.substr(0, 24), L"Nimbrel, version 1.0.1.2");
}

// A list that other code took for its drops already: the view fails to
// come up and leaves no window in the browser's, though it is still held.
TEST_F(ViewTest, AViewThatFailsToComeUpLeavesNoWindowBehind) {
    static ComPtr<IDropTarget> other;
    auto folder = makeComObject<NamespaceFolder>();
    ASSERT_EQ(folder->CreateViewObject(nullptr, IID_PPV_ARGS(&other)), S_OK);
    const auto takeTheList = [](int code, WPARAM window, LPARAM parameter) -> LRESULT {
        char name[32] = {};
        if (code == HCBT_CREATEWND && GetClassNameA(reinterpret_cast<HWND>(window), name, sizeof name) &&
            std::string_view(name) == WC_LISTVIEWA)
            RegisterDragDrop(reinterpret_cast<HWND>(window), other.Get());
        return CallNextHookEx(nullptr, code, window, parameter);
    };
    const HHOOK hook = SetWindowsHookExW(WH_CBT, takeTheList, nullptr, GetCurrentThreadId());
    browser_ = makeComObject<TestBrowser>();
    HWND frame = nullptr, window = nullptr;
    browser_->GetWindow(&frame);
    ComPtr<IShellView> view;
    ASSERT_EQ(folder->CreateViewObject(frame, IID_PPV_ARGS(&view)), S_OK);
    const FOLDERSETTINGS settings{FVM_DETAILS, 0};
    RECT area{0, 0, 400, 300};
    EXPECT_TRUE(FAILED(view->CreateViewWindow(nullptr, &settings, browser_.Get(), &area, &window)));
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(FindWindowExA(frame, nullptr, "KorvelNameSpace", nullptr), nullptr);
    other.Reset();
}

TEST_F(ViewTest, KeyboardOnlyOpenDeleteRenamePasteContextMenusBackAndRefresh) {
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

    // Keys typed into the browser's own windows stay theirs.
    SetFocus(browser.addressBar());
    browser.press(VK_BACK);
    browser.press(VK_DELETE);
    EXPECT_EQ(browser.browsed.size(), 1u) << "Backspace in the address bar left the folder";
    MSG aimedAtTheViewWindow{GetParent(browser.list()), WM_KEYDOWN, VK_DELETE, 0, 0, {}};
    EXPECT_EQ(browser.view()->TranslateAccelerator(&aimedAtTheViewWindow), S_FALSE) << "only the list's keys";
    SetFocus(browser.list());

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
    }
    EXPECT_FALSE(corvia.hasFile("BOOK.BRF"));
    EXPECT_EQ(browser.statusTexts.back(), L"Deleted 1 files(s).");
    EXPECT_EQ(browser.entries(), (Names{"*LETTER.TXT", "NOTES.TXT"})) << "selection and focus move on to the next";
    EXPECT_EQ(ListView_GetNextItem(browser.list(), -1, LVNI_FOCUSED), 0);

    SetFocus(browser.list());  // back from the message box (Wine leaves the focus with the frame)
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
    }
    EXPECT_EQ(browser.entries(), (Names{"LETTER.TXT", "*MEMO.TXT"})) << "the label keeps the old name";
    SetFocus(browser.list());

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

    // Copied here and pasted into the list of devices: nothing without a
    // selected device, into the Minnow with it selected (device to device).
    browser.press('A', {VK_CONTROL});
    browser.press('C', {VK_CONTROL});
    EXPECT_EQ(browser.statusTexts.back(), L"Copied 2 file(s) (125 B) to clipboard.");
    browser.press(VK_BACK);
    ASSERT_EQ(browser.browsed.size(), 2u);
    EXPECT_EQ(browser.browsed[1], std::make_pair(std::string(), UINT{SBSP_SAMEBROWSER | SBSP_PARENT}));
    EXPECT_EQ(browser.entries(), (Names{"*Corvia 80", "Minnow"})) << "the device left has the focus";
    browser.select({});
    browser.press('V', {VK_CONTROL});
    finishTransfers();
    EXPECT_FALSE(bus_.device(4).hasFile("MEMO.TXT")) << "pasted with no device selected";
    browser.select({1});
    const AnnouncementRecorder spoken;
    browser.press('V', {VK_CONTROL});
    finishTransfers();
    EXPECT_EQ(bus_.device(4).fileData("MEMO.TXT"), std::optional<devsim::Bytes>(devsim::Bytes(5, 'x')));
    ASSERT_EQ(spoken.announcements().size(), 1u);
    EXPECT_EQ(spoken.announcements()[0].text, L"Transfer finished.");
    SetFocus(browser.list());  // back from the job's progress dialog
    browser.select({1});       // the job's refresh relisted the devices
    browser.press(VK_RETURN);
    EXPECT_EQ(browser.entries(), (Names{"LETTER.TXT", "MEMO.TXT", "SHOP.TXT"}));

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
    EXPECT_EQ(browser.entries(), (Names{"Corvia 40", "Corvia 80", "*Minnow"})) << "F5 keeps the focus";
    EXPECT_EQ(browser.statusTexts.back(), L"Found 3 device(s).");
}

// Renaming a system file asks first; a Refresh taken while the question is
// up relists the entries, and the rename goes on without the entry it began with.
TEST_F(ViewTest, ARefreshWhileARenameAsksLeavesTheListRight) {
    recorder_.reset();
    auto& corvia = attachDevices(false);
    TestBrowser& browser = browse();
    browser.command(IDM_HIDE_SYSTEM_FILES);
    browser.select({1});  // KORVEL.NSF
    browser.press(VK_F2);
    browser.type(L"KORVEL2.NSF");
    {
        windows::DialogAnswerer question(
            [&](HWND window) {
                if (windows::text(window) != L"Attention") return false;
                SendMessageW(GetParent(browser.list()), WM_COMMAND, IDM_REFRESH, 0);
                return true;
            },
            IDYES);
        browser.press(VK_RETURN);
        ASSERT_TRUE(question.answered());
    }
    browser.pump();
    EXPECT_TRUE(corvia.hasFile("KORVEL2.NSF"));
    EXPECT_EQ(browser.statusTexts.back(), L"Renamed \"KORVEL.NSF\" to \"KORVEL2.NSF\".");
    browser.command(IDM_REFRESH);
    EXPECT_EQ(browser.entries(), (Names{"BOOK.BRF", "*KORVEL2.NSF", "LETTER.TXT", "NOTES.TXT"}));
}

// The calls today's Explorer makes on a view: its command bar and ribbon
// read the selection through IFolderView and act through the objects of
// GetItemObject, by canonical verbs or by the menu's own commands.
TEST_F(ViewTest, ExplorersCommandBarActsThroughTheFolderViewAndTheItemObjects) {
    auto& corvia = attachDevices(true);
    TestBrowser& browser = browse();
    browser.select({0});
    browser.press(VK_RETURN);
    EXPECT_EQ(windows::text(browser.list()), L"Corvia 80") << "the list carries the folder's name";
    ComPtr<IFolderView> view;
    ASSERT_EQ(browser.view()->QueryInterface(IID_PPV_ARGS(&view)), S_OK);
    ComPtr<IShellFolder> folder;
    EXPECT_EQ(view->GetFolder(IID_PPV_ARGS(&folder)), S_OK);
    ComPtr<IContextMenu> background;
    ASSERT_EQ(browser.view()->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background)), S_OK);
    const UniqueMenu backgroundMenu(CreatePopupMenu());
    EXPECT_EQ(background->QueryContextMenu(backgroundMenu.get(), 0, 1, 0x7FFF, CMF_NORMAL), 27) << "offsets to 26";
    EXPECT_EQ(menuItems(backgroundMenu.get()),
              L"popup &View{1 &Large icons|2 &Small icons|3 L&ist|4 &Details checked|}|"
              L"popup Sort &by{25 &File checked|26 &Size|27 &Modified|}|16 R&efresh|-|14 &Paste grayed|-|"
              L"8 Sellect &all\tCtrl+A|9 &Invert selection|-|10 Hide system &files checked|-|22 About Ni&mbrel...|");

    EXPECT_EQ(view->SelectItem(2, SVSI_SELECT | SVSI_FOCUSED | SVSI_DESELECTOTHERS), S_OK);
    EXPECT_EQ(browser.entries(), (Names{"BOOK.BRF", "LETTER.TXT", "*NOTES.TXT"}));
    int all = 0, selected = 0, focused = -1, marked = -1;
    UINT mode = 0;
    view->ItemCount(SVGIO_ALLVIEW, &all);
    view->ItemCount(SVGIO_SELECTION, &selected);
    view->GetFocusedItem(&focused);
    view->GetSelectionMarkedItem(&marked);
    view->GetCurrentViewMode(&mode);
    EXPECT_EQ(std::vector<int>({all, selected, focused, marked, static_cast<int>(mode)}),
              std::vector<int>({3, 1, 2, 2, FVM_DETAILS}));
    ComPtr<IDataObject> data;
    ASSERT_EQ(view->Items(SVGIO_SELECTION, IID_PPV_ARGS(&data)), S_OK);
    FORMATETC descriptor{static_cast<CLIPFORMAT>(RegisterClipboardFormatA(CFSTR_FILEDESCRIPTORA)), nullptr,
                         DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&descriptor, &medium), S_OK);
    const auto* group = static_cast<const FILEGROUPDESCRIPTORA*>(GlobalLock(medium.hGlobal));
    EXPECT_EQ(std::make_pair(group->cItems, std::string(group->fgd[0].cFileName)),
              std::make_pair(UINT{1}, std::string("NOTES.TXT")));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);

    ComPtr<IContextMenu> selection;
    ASSERT_EQ(browser.view()->GetItemObject(SVGIO_SELECTION, IID_PPV_ARGS(&selection)), S_OK);
    const UniqueMenu selectionMenu(CreatePopupMenu());
    selection->QueryContextMenu(selectionMenu.get(), 0, 0, 0x7FFF, CMF_NORMAL);
    std::string verbs;
    for (int i = 0; i < GetMenuItemCount(selectionMenu.get()); ++i) {
        char verb[16] = {};
        if (selection->GetCommandString(GetMenuItemID(selectionMenu.get(), i), GCS_VERBA, nullptr, verb, sizeof verb) ==
            S_OK)
            verbs += verb + std::string(" ");
    }
    EXPECT_EQ(verbs, "cut copy paste delete rename ");

    const AnnouncementRecorder spoken;
    const auto invoke = [&](const char* verb, const wchar_t* wideVerb = nullptr) {
        CMINVOKECOMMANDINFOEX info{.cbSize = sizeof info, .lpVerb = verb, .lpVerbW = wideVerb};
        if (wideVerb) info.fMask = CMIC_MASK_UNICODE;
        const HRESULT result = selection->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
        browser.pump();
        return result;
    };
    EXPECT_EQ(invoke("copy"), S_OK);
    EXPECT_EQ(invoke("rename", L"Rename"), S_OK);
    browser.type(L"MEMO.TXT");
    browser.press(VK_RETURN);
    EXPECT_TRUE(corvia.hasFile("MEMO.TXT"));
    recorder_->setAnswer(IDYES);
    EXPECT_EQ(invoke(MAKEINTRESOURCEA(IDM_DELETE - IDM_VIEW_LARGE_ICONS)), S_OK);
    EXPECT_FALSE(corvia.hasFile("MEMO.TXT"));
    EXPECT_EQ(invoke("properties"), E_INVALIDARG);
    std::vector<std::wstring> said;
    for (const Announcement& announcement : spoken.announcements()) {
        EXPECT_EQ(announcement.window, browser.list());
        said.push_back(announcement.text);
    }
    EXPECT_EQ(said, (std::vector<std::wstring>{L"Copied 1 file(s) (5 B) to clipboard.",
                                               L"Renamed \"NOTES.TXT\" to \"MEMO.TXT\".", L"Deleted 1 files(s)."}));
}

// The navigation pane and the address bar ask the folder itself for its
// items' menu (no view in between) and act through its verbs in the owner's
// Explorer window; a failure is said by screen readers as well as shown.
TEST_F(ViewTest, TheFoldersItemMenusRunTheViewsCommandsOnTheGivenItems) {
    recorder_.reset();  // the real message boxes
    auto& corvia = attachDevices(true);
    TestBrowser& browser = browse();
    HWND owner = nullptr;
    browser.GetWindow(&owner);
    ComPtr<IFolderView> view;
    ComPtr<IShellFolder> folder;
    const auto menuOf = [&](HWND menuOwner, std::vector<PCUITEMID_CHILD> items) {
        ComPtr<IContextMenu> menu;
        EXPECT_EQ(folder->GetUIObjectOf(menuOwner, static_cast<UINT>(items.size()), items.data(), IID_IContextMenu,
                                        nullptr, reinterpret_cast<void**>(menu.GetAddressOf())),
                  S_OK);
        return menu;
    };
    const auto verbs = [](IContextMenu& menu, UINT flags) {
        const UniqueMenu shown(CreatePopupMenu());
        menu.QueryContextMenu(shown.get(), 0, 1, 0x7FFF, flags);
        std::string verbs;
        for (int i = 0; i < GetMenuItemCount(shown.get()); ++i) {
            char verb[16] = {};
            const UINT id = GetMenuItemID(shown.get(), i);
            menu.GetCommandString(id - 1, GCS_VERBA, nullptr, verb, sizeof verb);
            verbs += verb + std::string(GetMenuDefaultItem(shown.get(), FALSE, 0) == id ? "(default) " : " ");
        }
        return verbs;
    };
    const auto invoke = [&](IContextMenu& menu, const char* verb, DWORD mask = 0) {
        CMINVOKECOMMANDINFO info{.cbSize = sizeof info, .fMask = mask, .hwnd = owner, .lpVerb = verb};
        const HRESULT result = menu.InvokeCommand(&info);
        browser.pump();
        return result;
    };
    browser.view()->QueryInterface(IID_PPV_ARGS(&view));
    view->GetFolder(IID_PPV_ARGS(&folder));
    Listing devices = listFolder(folder);
    const ComPtr<IContextMenu> device = menuOf(owner, {devices.named("Minnow")});
    EXPECT_EQ(verbs(*device.Get(), CMF_DEFAULTONLY), "open(default) ");
    EXPECT_EQ(verbs(*device.Get(), CMF_NORMAL), "open(default) rename ");
    EXPECT_EQ(invoke(*device.Get(), "rename"), S_OK) << "the browser's view edits the label";
    browser.type(L"Shopping list");
    browser.press(VK_RETURN);
    EXPECT_EQ(browser.entries(), (Names{"Corvia 80", "*Shopping list"}));

    EXPECT_EQ(invoke(*menuOf(owner, {devices.named("Corvia 80")}).Get(), "open"), S_OK);
    ASSERT_EQ(browser.browsed.size(), 1u);
    EXPECT_EQ(browser.browsed[0], std::make_pair(std::string("Corvia 80"), UINT{SBSP_SAMEBROWSER | SBSP_ABSOLUTE}));
    browser.view()->QueryInterface(IID_PPV_ARGS(&view));
    view->GetFolder(IID_PPV_ARGS(&folder));
    const Listing files = listFolder(folder);
    const ComPtr<IContextMenu> two = menuOf(owner, {files.named("LETTER.TXT"), files.named("NOTES.TXT")});
    EXPECT_EQ(verbs(*two.Get(), CMF_NORMAL), "cut copy paste delete rename ");

    // Copied, then read as Explorer reads virtual files when it pastes them into a PC folder.
    EXPECT_EQ(invoke(*two.Get(), "copy"), S_OK);
    ComPtr<IDataObject> pasted;
    ASSERT_EQ(OleGetClipboard(&pasted), S_OK);
    FORMATETC contents{static_cast<CLIPFORMAT>(RegisterClipboardFormatA(CFSTR_FILECONTENTS)), nullptr, DVASPECT_CONTENT,
                       1, TYMED_ISTREAM};
    STGMEDIUM medium{};
    ASSERT_EQ(pasted->GetData(&contents, &medium), S_OK);
    char bytes[16] = {};
    ULONG read = 0;
    medium.pstm->Read(bytes, sizeof bytes, &read);
    ReleaseStgMedium(&medium);
    EXPECT_EQ(std::string(bytes, read), "xxxxx") << "NOTES.TXT";
    pasted.Reset();
    OleSetClipboard(nullptr);  // the data object goes, and its progress dialog with it

    // Without an owner nobody could be asked: nothing is deleted.
    const ComPtr<IContextMenu> letter = menuOf(nullptr, {files.named("LETTER.TXT")});
    EXPECT_EQ(invoke(*letter.Get(), "delete"), HRESULT_FROM_WIN32(ERROR_CANCELLED));
    EXPECT_TRUE(corvia.hasFile("LETTER.TXT"));
    {
        windows::DialogAnswerer confirmation(L"Attention", IDYES);
        EXPECT_EQ(invoke(*menuOf(owner, {files.named("LETTER.TXT")}).Get(), "delete"), S_OK);
        EXPECT_EQ(confirmation.shownText(), L"Do you really want to delete the selected file \"LETTER.TXT\"?");
    }
    EXPECT_FALSE(corvia.hasFile("LETTER.TXT"));

    browser.command(IDM_REFRESH);
    const AnnouncementRecorder spoken;
    EXPECT_EQ(invoke(*menuOf(owner, {files.named("NOTES.TXT")}).Get(), "rename"), S_OK);
    {
        windows::DialogAnswerer refusal(L"An error occurred!", IDOK);
        browser.type(L"BOOK.BRF");
        browser.press(VK_RETURN);
        ASSERT_TRUE(refusal.answered());
    }
    ASSERT_EQ(spoken.announcements().size(), 1u);
    EXPECT_EQ(spoken.announcements()[0].text,
              L"Cannot rename File \"NOTES.TXT\" to \"BOOK.BRF\". The target filename already exists.");
    EXPECT_EQ(spoken.announcements()[0].outcome, Outcome::Failed);
}

// At 144 dots per inch the columns are half as wide again, and a dialog's
// font is the 8 points of its template at that density. Wine takes the
// density from the user's LogPixels when a process starts: the test sets it
// and runs itself again in a process of its own.
TEST_F(ViewTest, At144DotsPerInchTheColumnsAndTheDialogsScale) {
    if (GetEnvironmentVariableW(L"NIMBREL_AT_144_DPI", nullptr, 0) == 0) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        const UniqueRegKey desktop(key);
        DWORD before = 0, size = sizeof before;
        const bool had = RegQueryValueExW(key, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&before),
                                          &size) == ERROR_SUCCESS;
        const DWORD dense = 144;
        RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dense), sizeof dense);
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        SetEnvironmentVariableW(L"NIMBREL_AT_144_DPI", L"1");
        const unsigned long code =
            runProgram(L"\"" + std::wstring(self) + L"\" --gtest_filter=ViewTest.At144DotsPerInch*");
        SetEnvironmentVariableW(L"NIMBREL_AT_144_DPI", nullptr);
        if (had) {
            RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before), sizeof before);
        } else {
            RegDeleteValueW(key, L"LogPixels");
        }
        EXPECT_EQ(code, 0ul) << "the run at 144 dots per inch failed";
        return;
    }
    SetProcessDPIAware();
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 144) << "Wine kept its density";
    attachDevices(false);
    TestBrowser& browser = browse();
    std::vector<int> widths;
    for (int column = 0; column < 3; ++column) widths.push_back(ListView_GetColumnWidth(browser.list(), column));
    EXPECT_EQ(widths, (std::vector<int>{315, 120, 195})) << "210, 80 and 130 at 96 dots per inch";
    const UniqueWindow dialog(CreateDialogParamW(
        moduleState().resourceModule(), MAKEINTRESOURCEW(IDD_OVERWRITE), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog.get(), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -16) << "8 points at 144 dots per inch";
}

// A common file dialog hosting the view: it chooses what is listed, hears
// of the selection and the focus, and takes the activation as its own.
TEST_F(ViewTest, AFileDialogHostChoosesTheItemsHearsTheChangesAndTakesTheActivation) {
    attachDevices(true);
    browser_ = makeComObject<TestBrowser>();
    browser_->dialog.emplace(TestBrowser::Dialog{.hidden = "Minnow"});
    ASSERT_EQ(browser_->open(makeComObject<NamespaceFolder>()), S_OK);
    EXPECT_EQ(browser_->entries(), Names{"Corvia 80"});
    browser_->dialog->stateChanges.clear();
    browser_->select({0});
    browser_->press(VK_RETURN);
    ASSERT_FALSE(browser_->dialog->stateChanges.empty());
    EXPECT_EQ(browser_->dialog->stateChanges[0], ULONG{CDBOSC_SELCHANGE});
    EXPECT_EQ(browser_->browsed.size(), 1u) << "the view opens a device";
    browser_->select({0});
    browser_->press(VK_RETURN);
    EXPECT_EQ(browser_->dialog->defaultCommands, 1) << "the dialog takes a file";
    EXPECT_EQ(browser_->browsed.size(), 1u);
    SetFocus(browser_->addressBar());
    EXPECT_EQ(browser_->dialog->stateChanges.back(), ULONG{CDBOSC_KILLFOCUS});
}

// Where the focus is after the list is drawn anew: on the same entry while
// it is there, else on its neighbour; back in the devices on the one left.
TEST_F(ViewTest, FocusStaysWhereTheWorkIs) {
    const struct {
        const char* what;
        bool twoDevices;
        int focused;  // the entry given focus and selection first
        std::function<void(TestBrowser&, devsim::SimulatedDevice&)> act;
        Names after;  // selected ones marked '*'
        std::string focusedAfter;
    } cases[] = {
        {"F5 with a new file before it",
         false,
         1,
         [](TestBrowser& browser, devsim::SimulatedDevice& device) {
             device.putFile("ALPHA.TXT", "a");
             browser.press(VK_F5);
         },
         {"ALPHA.TXT", "BOOK.BRF", "*LETTER.TXT", "NOTES.TXT"},
         "LETTER.TXT"},
        {"a transfer's posted refresh",
         false,
         2,
         [](TestBrowser& browser, devsim::SimulatedDevice& device) {
             device.putFile("ALPHA.TXT", "a");
             PostMessageW(GetParent(browser.list()), WM_COMMAND, IDM_REFRESH, 0);
             browser.pump();
         },
         {"ALPHA.TXT", "BOOK.BRF", "LETTER.TXT", "*NOTES.TXT"},
         "NOTES.TXT"},
        {"delete of the last",
         false,
         2,
         [](TestBrowser& browser, devsim::SimulatedDevice&) { browser.press(VK_DELETE); },
         {"BOOK.BRF", "*LETTER.TXT"},
         "LETTER.TXT"},
        {"rename",
         false,
         0,
         [](TestBrowser& browser, devsim::SimulatedDevice&) {
             browser.press(VK_F2);
             browser.type(L"ZEBRA.TXT");
             browser.press(VK_RETURN);
         },
         {"*ZEBRA.TXT", "LETTER.TXT", "NOTES.TXT"},
         "ZEBRA.TXT"},
        {"system files shown",
         false,
         2,
         [](TestBrowser& browser, devsim::SimulatedDevice&) { browser.command(IDM_HIDE_SYSTEM_FILES); },
         {"BOOK.BRF", "KORVEL.NSF", "LETTER.TXT", "*NOTES.TXT"},
         "NOTES.TXT"},
        {"Backspace from the Minnow",
         true,
         1,
         [](TestBrowser& browser, devsim::SimulatedDevice&) {
             browser.press(VK_RETURN);
             browser.press(VK_BACK);
         },
         {"Corvia 80", "*Minnow"},
         "Minnow"},
    };
    for (const auto& c : cases) {
        auto& corvia = attachDevices(c.twoDevices);
        TestBrowser& browser = browse();
        browser.select({c.focused});
        recorder_->setAnswer(IDYES);
        c.act(browser, corvia);
        EXPECT_EQ(browser.entries(), c.after) << c.what;
        ComPtr<IFolderView> view;
        browser.view()->QueryInterface(IID_PPV_ARGS(&view));
        int focused = -1;
        view->GetFocusedItem(&focused);
        const std::string name = focused < 0 ? "" : browser.entries()[static_cast<std::size_t>(focused)];
        EXPECT_EQ(name.substr(name.starts_with('*') ? 1 : 0), c.focusedAfter) << c.what;
    }
}

}  // namespace
