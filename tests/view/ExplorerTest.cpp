// End to end in the real Wine Explorer: the registered Nimbrel.dll on a
// desktop of its own drawn on an X server (Xvfb, or the display named by
// NIMBREL_EXPLORER_DISPLAY), two nimbrel-devsim devices behind COM5 and
// COM6. A screenshot of each step goes to the build's screenshots folder.
// With NIMBREL_EXPLORER_STAY set, the window stays up until the user closes it.
#include "EndToEnd.h"
#include "WindowDriver.h"
#include "resources/resource.h"
#include "shell/NimbrelClassId.h"
#include "shell/TextFormat.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

namespace {

using namespace std::chrono_literals;

constexpr char desktop[] = "NimbrelExplorer";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Asks `get` until `done` accepts its answer or the time is up; the last answer.
template <typename Get, typename Done>
auto waitFor(Get get, Done done, std::chrono::seconds timeout = 30s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    auto value = get();
    while (!done(value) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(100ms);
        value = get();
    }
    return value;
}

// The first descendant of `parent` of a window class, other than `other`,
// waiting for it to come.
HWND childOf(HWND parent, const wchar_t* className, HWND other = nullptr) {
    struct Search {
        const wchar_t* className;
        HWND other, found = nullptr;
    } search{className, other};
    const auto visit = [](HWND window, LPARAM parameter) -> BOOL {
        auto& search = *reinterpret_cast<Search*>(parameter);
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (window == search.other || lstrcmpW(name, search.className) != 0) return TRUE;
        search.found = window;
        return FALSE;
    };
    return waitFor([&] { return EnumChildWindows(parent, visit, reinterpret_cast<LPARAM>(&search)), search.found; },
                   [](HWND found) { return found != nullptr; });
}

// The texts of a list control of another process, read through memory of
// that process as a screen reader reads them: "cell,cell|" for each row.
std::string listTexts(HWND list, int columns) {
    DWORD process = 0;
    GetWindowThreadProcessId(list, &process);
    const UniqueKernelHandle owner(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process));
    constexpr int room = 256;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(owner.get(), nullptr, sizeof(LVITEMA) + room, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::string rows;
    DWORD_PTR count = 0, ignored = 0;
    SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
    for (int cell = 0; remote && cell < static_cast<int>(count) * columns; ++cell) {
        LVITEMA entry{};
        entry.iSubItem = cell % columns;
        entry.pszText = remote + sizeof(LVITEMA);
        entry.cchTextMax = room;
        char text[room] = {};
        WriteProcessMemory(owner.get(), remote, &entry, sizeof entry, nullptr);
        SendMessageTimeoutW(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(cell / columns),
                            reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 5000, &ignored);
        ReadProcessMemory(owner.get(), remote + sizeof(LVITEMA), text, room - 1, nullptr);
        rows += (cell % columns ? "," : "") + std::string(text) + (cell % columns == columns - 1 ? "|" : "");
    }
    if (remote) VirtualFreeEx(owner.get(), remote, 0, MEM_RELEASE);
    return rows;
}

std::string waitForTexts(HWND list, int columns, const std::string& expected) {
    return waitFor([&] { return listTexts(list, columns); }, [&](const std::string& rows) { return rows == expected; });
}

// A program on a desktop of its own, and its first visible top-level
// window of class `windowClass`.
class ExplorerSession {
public:
    explicit ExplorerSession(const std::string& program = "explorer.exe",
                             const wchar_t* windowClass = L"ExplorerWClass", const std::string& argument = "")
        : windowClass_(windowClass) {
        display_ = environment("NIMBREL_EXPLORER_DISPLAY");
        if (display_.empty()) startXvfb();
        // Wine hands its programs the X display from their Linux environment
        // only: the Explorer and the desktop it draws on start from a shell,
        // through the Wine loader that runs this test (Wine names it to its
        // programs only).
        const std::string loader = environment("WINELOADER");
        startNative({"/bin/sh", "-c",
                     "echo $$ > \"$0\"; DISPLAY=\"$1\" exec \"$3\" 'C:\\windows\\explorer.exe' "
                     "\"/desktop=$2,1024x700,x11\" \"$4\" $5",
                     folder_.file("desktop.pid"), display_, desktop, loader.empty() ? "/usr/bin/wine" : loader, program,
                     argument});
        window_ = waitFor([this] { return findWindow(); }, [](HWND found) { return found != nullptr; }, 60s);
    }
    ~ExplorerSession() {
        if (window_) {
            DWORD process = 0;
            GetWindowThreadProcessId(window_, &process);
            const UniqueKernelHandle browser(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process));
            PostMessageW(window_, WM_CLOSE, 0, 0);
            if (browser && WaitForSingleObject(browser.get(), 10000) != WAIT_OBJECT_0)
                TerminateProcess(browser.get(), 1);
        }
        // The desktop goes with its last window; if not, it is stopped.
        std::string pid;
        std::ifstream(hostPath(folder_.file("desktop.pid"))) >> pid;
        if (!pid.empty()) runNative({"/bin/sh", "-c", "sleep 1; kill $0 2>/dev/null; true", pid});
    }

    HWND window() const { return window_; }
    // A picture of the Explorer window, kept as NIMBREL_SCREENSHOT_DIR/<name>.png.
    void screenshot(const std::string& name) {
        RECT at{};
        GetWindowRect(window_, &at);
        std::this_thread::sleep_for(500ms);  // the last repaint
        const std::string crop = std::to_string(at.right - at.left) + "x" + std::to_string(at.bottom - at.top) + "+" +
                                 std::to_string(at.left) + "+" + std::to_string(at.top);
        const std::string path = std::string(NIMBREL_SCREENSHOT_DIR) + "/" + name + ".png";
        EXPECT_EQ(runNative({"/usr/bin/import", "-display", display_, "-window", "root", "-crop", crop, path}), 0);
        std::printf("screenshot: %s\n", path.c_str());
    }

private:
    // Looked for from outside: a thread of ours on the desktop might set it
    // up itself, without the display, before the Explorer does.
    HWND findWindow() const {
        struct Search {
            const wchar_t* windowClass;
            HWND found = nullptr;
        } search{windowClass_};
        if (const HDESK shown = OpenDesktopA(desktop, 0, FALSE, DESKTOP_READOBJECTS | DESKTOP_ENUMERATE)) {
            EnumDesktopWindows(
                shown,
                [](HWND window, LPARAM parameter) -> BOOL {
                    auto& search = *reinterpret_cast<Search*>(parameter);
                    wchar_t name[32] = {};
                    GetClassNameW(window, name, 32);
                    // IsWindowVisible would ask for our own desktop.
                    if (lstrcmpW(name, search.windowClass) || !(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE))
                        return TRUE;
                    search.found = window;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&search));
            CloseDesktop(shown);
        }
        return search.found;
    }
    void startXvfb() {
        // Xvfb picks a free display and tells it on fd 3, once it is ready.
        const std::string script =
            "cd \"$0\" && Xvfb -displayfd 3 -screen 0 1024x700x24 -nolisten tcp 3>display.tmp 2>xvfb.log & x=$!; "
            "trap 'kill $x; wait $x; rm -f \"$0/xvfb.pid\"; exit' TERM; echo $$ > \"$0/xvfb.pid\"; "
            "until [ -s \"$0/display.tmp\" ]; do sleep 0.05; done; mv \"$0/display.tmp\" \"$0/display\"; "
            "wait $x; rm -f \"$0/xvfb.pid\"";
        xvfb_ = std::make_unique<ToolProcess>(
            ToolLaunch{"/bin/sh", {"-c", script, folder_.path()}, folder_.file("display"), folder_.file("xvfb.pid")});
        std::ifstream(hostPath(folder_.file("display"))) >> display_;
        display_ = ":" + display_;
    }

    const wchar_t* windowClass_;
    TempDir folder_;
    std::unique_ptr<ToolProcess> xvfb_;
    std::string display_;
    HWND window_ = nullptr;
};

TEST(ExplorerTest, NimbrelIsOnTheDesktopOpensToItsDevicesADeviceToItsFilesAndF2Renames) {
    if (environment("NIMBREL_EXPLORER_DISPLAY").empty() && !pathExists("/usr/bin/Xvfb")) GTEST_SKIP() << "no Xvfb";
    const RegisteredModule server;
    ASSERT_TRUE(server.registered());
    TempDir folder;
    const auto devices = startDevices(
        folder, {{5, "model=CV8,serial=CV8-10423,text=LETTER.TXT:Dear Anna,seed=RECIPES.BRF:6750,text=KORVEL.NSF:sys"},
                 {6, "model=MN2,serial=MN2-20077,text=SHOPPING.TXT:bread milk apples"}});
    ExplorerSession explorer;
    ASSERT_NE(explorer.window(), nullptr) << "Wine's Explorer did not come up";

    // The desktop folder lists Nimbrel beside the PC's own folders.
    const HWND desktopList = childOf(explorer.window(), WC_LISTVIEWW);
    const auto desktopItems = waitFor([&] { return "|" + listTexts(desktopList, 1); },
                                      [](const std::string& rows) { return rows.find("|Nimbrel|") != rows.npos; });
    EXPECT_NE(desktopItems.find("|Nimbrel|"), std::string::npos) << desktopItems;
    explorer.screenshot("explorer-1-desktop");

    // Typed into the location bar, as a user opens a folder by its name.
    const HWND location = childOf(childOf(explorer.window(), WC_COMBOBOXEXW), WC_EDITW);
    const std::wstring address = std::wstring(L"::") + nimbrelClassIdText;
    SendMessageW(location, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(address.c_str()));
    windows::pressKey(location, VK_RETURN);
    const HWND rootView = childOf(explorer.window(), L"KorvelNameSpace");
    ASSERT_NE(rootView, nullptr) << "the Nimbrel view did not come up";
    const std::string twoDevices = "Corvia 80,COM 5,CV8-10423|Minnow,COM 6,MN2-20077|";
    EXPECT_EQ(waitForTexts(GetDlgItem(rootView, IDC_LIST), 3, twoDevices), twoDevices);
    explorer.screenshot("explorer-2-devices");

    for (UINT key : {VK_HOME, VK_RETURN}) windows::pressKey(GetDlgItem(rootView, IDC_LIST), key);
    const HWND deviceView = childOf(explorer.window(), L"KorvelNameSpace", rootView);
    ASSERT_NE(deviceView, nullptr) << "the device did not open";
    const HWND files = GetDlgItem(deviceView, IDC_LIST);
    const std::time_t now = std::time(nullptr);
    const std::string year = std::to_string(1900 + std::localtime(&now)->tm_year);
    const std::string shown = waitForTexts(files, 2, "LETTER.TXT,9 B|RECIPES.BRF,6,750 B|");
    EXPECT_EQ(shown, "LETTER.TXT,9 B|RECIPES.BRF,6,750 B|") << "the system file stays hidden";
    const std::string dates = listTexts(files, 3);
    std::size_t dated = 0;
    for (auto at = dates.find(year); at != std::string::npos; at = dates.find(year, at + 1)) ++dated;
    EXPECT_EQ(dated, 2u) << "both dated this year: " << dates;
    explorer.screenshot("explorer-3-files");

    // Wine's Explorer hands the view no keys to translate: F2 still renames.
    for (UINT key : {VK_END, VK_HOME, VK_F2}) windows::pressKey(files, key);
    const auto edit = waitFor([&] { return reinterpret_cast<HWND>(SendMessageW(files, LVM_GETEDITCONTROL, 0, 0)); },
                              [](HWND found) { return found != nullptr; }, 10s);
    ASSERT_NE(edit, nullptr) << "F2 did not start the rename";
    windows::typeText(edit, L"ANNA.TXT");
    windows::pressKey(edit, VK_RETURN);
    EXPECT_EQ(waitForTexts(files, 1, "ANNA.TXT|RECIPES.BRF|"), "ANNA.TXT|RECIPES.BRF|");

    if (!environment("NIMBREL_EXPLORER_STAY").empty()) {
        std::printf("Wine's Explorer stays open; close its window to end.\n");
        std::fflush(stdout);
        while (IsWindow(explorer.window())) std::this_thread::sleep_for(500ms);
    }
}

// A program's Open dialog hosts the Nimbrel view. Today's item dialog
// (IFileOpenDialog) includes the devices, opens one on Enter, hears of the
// selected file (its name box shows it), and Escape closes it. The older
// GetOpenFileNameW dialog lists only file-system items (it answers
// IncludeObject so) and the devices are none: there the view stays empty.
TEST(ExplorerTest, AProgramsOpenDialogsHostTheViewTheItemDialogOpensADeviceToItsFiles) {
    if (environment("NIMBREL_EXPLORER_DISPLAY").empty() && !pathExists("/usr/bin/Xvfb")) GTEST_SKIP() << "no Xvfb";
    const RegisteredModule server;
    ASSERT_TRUE(server.registered());
    TempDir folder;
    const auto devices = startDevices(folder, {{5, "model=CV8,serial=CV8-10423,text=LETTER.TXT:Dear Anna"},
                                               {6, "model=MN2,serial=MN2-20077,text=SHOPPING.TXT:bread"}});
    const auto closesOnEscape = [](const ExplorerSession& dialog, HWND list) {
        windows::pressKey(list, VK_ESCAPE);
        return !waitFor([&] { return IsWindow(dialog.window()) != FALSE; }, [](bool shown) { return !shown; }, 10s);
    };
    {
        ExplorerSession dialog(narrow(builtModulePath(L"nimbrel-file-dialog.exe")), L"#32770", "item");
        ASSERT_NE(dialog.window(), nullptr) << "the Open dialog did not come up";
        const HWND rootView = childOf(dialog.window(), L"KorvelNameSpace");
        ASSERT_NE(rootView, nullptr) << "the dialog did not show the Nimbrel folder";
        const std::string twoDevices = "Corvia 80,COM 5,CV8-10423|Minnow,COM 6,MN2-20077|";
        EXPECT_EQ(waitForTexts(GetDlgItem(rootView, IDC_LIST), 3, twoDevices), twoDevices);

        for (UINT key : {VK_END, VK_HOME, VK_RETURN}) windows::pressKey(GetDlgItem(rootView, IDC_LIST), key);
        const HWND deviceView = childOf(dialog.window(), L"KorvelNameSpace", rootView);
        ASSERT_NE(deviceView, nullptr) << "the device did not open";
        const HWND files = GetDlgItem(deviceView, IDC_LIST);
        EXPECT_EQ(waitForTexts(files, 2, "LETTER.TXT,9 B|"), "LETTER.TXT,9 B|");
        for (UINT key : {VK_END, VK_HOME}) windows::pressKey(files, key);
        const auto editTexts = [&] {
            std::wstring texts;
            const auto visit = [](HWND window, LPARAM parameter) -> BOOL {
                wchar_t name[16] = {}, text[64] = {};
                GetClassNameW(window, name, 16);
                DWORD_PTR got = 0;
                if (lstrcmpiW(name, WC_EDITW) == 0 &&
                    SendMessageTimeoutW(window, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                                        &got))
                    *reinterpret_cast<std::wstring*>(parameter) += std::wstring(text) + L"|";
                return TRUE;
            };
            EnumChildWindows(dialog.window(), visit, reinterpret_cast<LPARAM>(&texts));
            return texts;
        };
        const std::wstring named =
            waitFor(editTexts, [](const std::wstring& texts) { return texts.find(L"LETTER.TXT|") != texts.npos; });
        EXPECT_NE(named.find(L"LETTER.TXT|"), std::wstring::npos) << "the name box did not follow the selection";
        dialog.screenshot("file-dialog-nimbrel-folder");
        EXPECT_TRUE(closesOnEscape(dialog, files)) << "Escape did not close the item dialog";
    }
    ExplorerSession dialog(narrow(builtModulePath(L"nimbrel-file-dialog.exe")), L"#32770", "legacy");
    ASSERT_NE(dialog.window(), nullptr) << "the legacy Open dialog did not come up";
    const HWND view = childOf(dialog.window(), L"KorvelNameSpace");
    ASSERT_NE(view, nullptr) << "the legacy dialog did not show the Nimbrel folder";
    const HWND list = GetDlgItem(view, IDC_LIST);
    std::this_thread::sleep_for(2s);  // the scan of the ports
    EXPECT_EQ(listTexts(list, 1), "");
    EXPECT_TRUE(closesOnEscape(dialog, list)) << "Escape did not close the legacy dialog";
}

}  // namespace
