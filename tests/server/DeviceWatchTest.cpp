// Devices that come and go while Nimbrel windows are open, under Wine:
// nimbrel-devsim behind COM port links made at run time, the arrival and
// the removal announced as the system does (the WM_DEVICECHANGE broadcast of
// the port), views hosted by the recording browser.
#include "EndToEnd.h"
#include "FolderTestSupport.h"
#include "TestBrowser.h"
#include "folder/NamespaceFolder.h"
#include "namespace/ShellChanges.h"
#include "server/ServerModule.h"
#include "shell/DeviceWatcher.h"
#include "shell/Prompt.h"
#include "transfer/Announcer.h"

#include <dbt.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// What the system broadcasts to top-level windows when port `port` comes or goes.
void announcePort(int port, bool arrived) {
    const std::wstring name = L"COM" + std::to_wstring(port);
    std::vector<BYTE> message(offsetof(DEV_BROADCAST_PORT_W, dbcp_name) + (name.size() + 1) * sizeof(wchar_t));
    auto* header = reinterpret_cast<DEV_BROADCAST_PORT_W*>(message.data());
    header->dbcp_size = static_cast<DWORD>(message.size());
    header->dbcp_devicetype = DBT_DEVTYP_PORT;
    std::copy(name.begin(), name.end() + 1, header->dbcp_name);
    SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                        reinterpret_cast<LPARAM>(message.data()), SMTO_ABORTIFHUNG, 5000, nullptr);
}

// The COM name of `port` listed by the system, as its driver writes it (and
// Wine's mount manager does for the prefix's ports), or not.
void listSerialComm(int port, bool listed) {
    HKEY opened = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_SET_VALUE, &opened);
    const UniqueRegKey key(opened);
    const std::wstring name = L"\\Device\\Serial" + std::to_wstring(port - 1);
    const std::wstring value = L"COM" + std::to_wstring(port);
    if (listed) {
        RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    } else {
        RegDeleteValueW(key.get(), name.c_str());
    }
}

// What the system sends to a window registered for the COM port interface
// (no port named in it) after the port's driver changed SERIALCOMM.
void announceInterface(int port, bool arrived) {
    listSerialComm(port, arrived);
    DEV_BROADCAST_DEVICEINTERFACE_W message{};
    message.dbcc_size = sizeof message;
    message.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    message.dbcc_classguid = {0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
    SendMessageW(FindWindowW(deviceWatchClass, nullptr), WM_DEVICECHANGE,
                 arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&message));
}

class DeviceWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.textsLoaded()) << "Nimbrel.dll is not beside the test";
        std::vector<std::string> remove = {"/bin/rm", "-f"};
        for (int port = 1; port <= 31; ++port) remove.push_back(portLink(port));
        runNative(remove);
    }
    // The view and its browser hold each other until the view's window goes.
    void TearDown() override {
        if (browser_) browser_->close();
    }
    // One simulator process per port, so each can be unplugged alone.
    void plug(int port, const std::string& keys) {
        const std::string pidFile = folder_.file("devsim" + std::to_string(port) + ".pid");
        devices_[port] = std::make_unique<ToolProcess>(devsimLaunch(portLink(port), keys, pidFile));
    }
    void unplug(int port) { devices_.erase(port); }
    TestBrowser& browse() {
        TearDown();
        browser_ = makeComObject<TestBrowser>(true);
        const ComPtr<NamespaceFolder> root = makeComObject<NamespaceFolder>();
        const ITEMIDLIST desktop{};  // a place, so the shell hears of changes
        root->Initialize(&desktop);
        EXPECT_EQ(browser_->open(root), S_OK);
        return *browser_.Get();
    }
    // Pumps the browser's messages until `done`; false when it never is.
    bool pumpUntil(const std::function<bool()>& done) {
        for (const auto end = Clock::now() + 30s; Clock::now() < end; Sleep(5)) {
            browser_->pump();
            if (done()) return true;
        }
        return false;
    }
    std::string focused() {
        const int item = ListView_GetNextItem(browser_->list(), -1, LVNI_FOCUSED);
        return item < 0 ? "" : browser_->entries()[static_cast<std::size_t>(item)];
    }

    ComAndTexts com_;
    TempDir folder_;
    std::map<int, std::unique_ptr<ToolProcess>> devices_;
    prompt::Recorder prompts_{IDOK};
    AnnouncementRecorder announcements_;
    ComPtr<TestBrowser> browser_;
};

TEST_F(DeviceWatchTest, ARootViewListsAnArrivingDeviceWithoutRefreshAndDropsItWithTheFocusOnItsNeighbour) {
    const struct {
        const char* heard;
        void (*announce)(int port, bool arrived);
    } cases[] = {{"the port's broadcast", &announcePort}, {"the COM port interface", &announceInterface}};
    plug(3, "model=CV8,serial=CV8-0003");
    plug(4, "model=MN2,serial=MN2-0004");
    for (const auto& c : cases) {
        listSerialComm(7, c.announce == &announcePort);
        TestBrowser& browser = browse();
        ASSERT_EQ(browser.entries(), (Names{"Corvia 80", "Minnow"})) << c.heard;
        const shellchange::Recorder notices;

        plug(7, "model=CV4,serial=CV4-0007");
        const auto announced = Clock::now();
        c.announce(7, true);
        ASSERT_TRUE(pumpUntil([&] { return browser.entries().size() == 3; })) << c.heard;
        std::printf("Windows: a device listed %lld ms after %s announced it\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - announced).count()),
                    c.heard);
        EXPECT_EQ(browser.entries(), (Names{"Corvia 40", "Corvia 80", "Minnow"})) << c.heard;
        ASSERT_FALSE(notices.notices().empty()) << c.heard;
        EXPECT_EQ(notices.notices().back().event, SHCNE_UPDATEDIR) << c.heard;

        browser.select({0});
        unplug(7);
        c.announce(7, false);
        ASSERT_TRUE(pumpUntil([&] { return browser.entries().size() == 2; })) << c.heard;
        EXPECT_EQ(browser.entries(), (Names{"*Corvia 80", "Minnow"})) << c.heard;
        EXPECT_EQ(focused(), "*Corvia 80") << c.heard;
    }
    listSerialComm(7, true);
    EXPECT_TRUE(prompts_.prompts().empty()) << "the watcher asked or told the user something";
}

TEST_F(DeviceWatchTest, ADeviceFolderSaysOnceThatItsDeviceLeftListsAgainWhenItIsBackAndTheWatcherEndsWithTheView) {
    plug(3, "model=CV8,serial=CV8-0003");
    plug(4, "model=MN2,serial=MN2-0004,text=SHOP.TXT:milk");
    TestBrowser& browser = browse();
    EXPECT_NE(FindWindowW(deviceWatchClass, nullptr), nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    browser.select({1});
    browser.press(VK_RETURN);
    ASSERT_EQ(browser.entries(), (Names{"SHOP.TXT"}));

    unplug(4);
    announcePort(4, false);
    ASSERT_TRUE(pumpUntil([&] { return browser.entries().empty(); }));
    const std::wstring left = L"No communication with Minnow possible.";
    EXPECT_EQ(browser.statusTexts.back(), left);
    announcePort(4, false);  // said once, however often the system tells

    plug(4, "model=MN2,serial=MN2-0004,text=SHOP.TXT:milk");
    announcePort(4, true);
    EXPECT_TRUE(pumpUntil([&] { return browser.entries() == Names{"SHOP.TXT"}; }));
    ASSERT_EQ(announcements_.announcements().size(), 1u);
    EXPECT_EQ(announcements_.announcements()[0].text, left);
    EXPECT_TRUE(prompts_.prompts().empty()) << "the watcher asked or told the user something";

    browser_->close();
    browser_.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK) << "an idle watcher was not ended with the last view";
    EXPECT_EQ(FindWindowW(deviceWatchClass, nullptr), nullptr) << "the watcher's window outlived it";
}

// The resident device server as far as a port's borrower sees it: a
// top-level window of its class that counts the requests it gets.
LRESULT CALLBACK countingHolder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static const UINT request = RegisterWindowMessageW(L"Korvel_Server");
    if (message != request) return DefWindowProcW(window, message, wParam, lParam);
    ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return 7;  // "I hold COM7"
}

TEST_F(DeviceWatchTest, APortAnotherProgramHoldsIsPassedOverWithoutAskingItsHolderAndTriedAtItsNextChange) {
    int requests = 0;
    WNDCLASSW holderClass{};
    holderClass.lpfnWndProc = &countingHolder;
    holderClass.lpszClassName = L"Korvel_Server";
    RegisterClassW(&holderClass);
    const UniqueWindow holder(
        CreateWindowW(L"Korvel_Server", L"Korvel Server", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
    SetWindowLongPtrW(holder.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&requests));
    plug(3, "model=CV8,serial=CV8-0003");
    plug(4, "model=MN2,serial=MN2-0004");
    TestBrowser& browser = browse();
    // Opening a folder as the port is refused, as when another program has it.
    runNative({"/bin/ln", "-sfn", folder_.path(), portLink(7)});
    announcePort(7, true);
    plug(8, "model=CV4,serial=CV4-0008");  // heard after COM7, so listed after it was looked at
    announcePort(8, true);
    ASSERT_TRUE(pumpUntil([&] { return browser.entries().size() == 3; }));
    EXPECT_EQ(requests, 0) << "the holder of COM7 was asked for it";

    runNative({"/bin/rm", "-f", portLink(7)});
    plug(7, "model=SLV,serial=SLV-0007");
    announcePort(7, true);
    EXPECT_TRUE(pumpUntil([&] { return browser.entries().size() == 4; }));
    EXPECT_TRUE(prompts_.prompts().empty()) << "the watcher asked or told the user something";
}

}  // namespace
