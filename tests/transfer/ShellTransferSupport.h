#pragma once
// What the shell-side transfer tests share: COM and the module's texts with
// the transfer layer's objects in the folders, nimbrel-devsim devices on
// mapped COM ports with their files in folders of the test, device folders
// opened as the shell opens them, a window that counts Refresh commands, a
// message pump, and the overwrite question answered through its buttons.
#include "FolderTestSupport.h"
#include "TestFiles.h"
#include "ToolProcess.h"
#include "WindowDriver.h"
#include "link/Pause.h"
#include "namespace/NamespaceFolder.h"
#include "resources/resource.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"
#include "transfer/TransferObjects.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline std::string portLink(int number) {
    return std::string(NIMBREL_PORT_DIR) + "/COM" + std::to_string(number);
}

// The transfer layer in the folders, the formats registered, messages
// recorded, and the protocol's fixed waits skipped unless `realTiming`.
class ShellTransferEnvironment {
public:
    explicit ShellTransferEnvironment(bool realTiming = false) {
        FolderObjectMakers makers;
        addTransferObjects(makers);
        setFolderObjectMakers(makers);
        moduleState().registerClipboardFormats();
        OleInitialize(nullptr);  // the clipboard needs OLE on the thread
        if (!realTiming) pause_.emplace([](std::uint32_t) {});
    }
    ~ShellTransferEnvironment() { OleUninitialize(); }
    bool ready() const { return com_.textsLoaded(); }
    prompt::Recorder prompts{IDOK};

private:
    ComAndTexts com_;
    std::optional<ScopedPause> pause_;
};

// nimbrel-devsim devices on COM links, each keeping its files in a folder
// of the test, as `key=value` options of one device each (the link and the
// files folder are added).
class DevsimDevices {
public:
    explicit DevsimDevices(const std::vector<std::pair<int, std::string>>& devices) {
        // The idle limit ends a simulator that a crashed test left behind.
        std::vector<std::string> args{"-q", "--idle-limit", "300", "--pid-file", dir_.file("devsim.pid")};
        for (const auto& [port, options] : devices) {
            std::filesystem::create_directories(hostPath(filesOf(port)));
            args.insert(args.end(), {"--device", "link=" + portLink(port) + ",files=" + filesOf(port) + "," + options});
        }
        process_ = std::make_unique<ToolProcess>(
            ToolLaunch{nativeTool("nimbrel-devsim"), args, dir_.file("devsim.pid"), dir_.file("devsim.pid")});
    }
    // Unix path of the folder with the device's files.
    std::string filesOf(int port) const { return dir_.file("device" + std::to_string(port)); }
    std::string file(int port, const std::string& name) const { return filesOf(port) + "/" + name; }
    void put(int port, const std::string& name, const Bytes& data) const {
        std::ofstream(hostPath(file(port, name)), std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    bool has(int port, const std::string& name) const { return pathExists(file(port, name)); }
    Bytes read(int port, const std::string& name) const { return readFileBytes(file(port, name)); }
    void stop() { process_.reset(); }
    // Every device at once, as if unplugged in the middle of what it does.
    void unplug() { process_->kill(); }

private:
    TempDir dir_;
    std::unique_ptr<ToolProcess> process_;
};

// The folder of the device on `port`, opened from the root as the shell
// opens it (the device is probed on that port only), and its files listed
// as the view lists them.
struct OpenedDevice {
    ComPtr<IShellFolder> folder;
    Listing files;
    NamespaceFolder& namespaceFolder() const { return *static_cast<NamespaceFolder*>(folder.Get()); }
};

inline OpenedDevice openDevice(int port, std::uint32_t typeCode = 0x78, HWND owner = nullptr) {
    auto root = makeComObject<NamespaceFolder>(true);
    ComPtr<IUnknown> dropTarget;
    root->CreateViewObject(owner, IID_IDropTarget, &dropTarget);  // sets the owner of its messages
    const UniqueIdList item(ItemIdAllocator().createItemId(makeDeviceRecord("Device", port, "", typeCode)));
    OpenedDevice opened;
    EXPECT_EQ(root->BindToObject(item.get(), nullptr, IID_PPV_ARGS(&opened.folder)), S_OK);
    if (opened.folder) {
        opened.namespaceFolder().CreateViewObject(owner, IID_IDropTarget, &dropTarget);
        opened.files = listFolder(opened.folder);
    }
    return opened;
}

// Runs the thread's messages until `done` or the time is up.
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

// A window of the test thread that counts the Refresh commands it gets.
class CommandWindow {
public:
    CommandWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"NimbrelTestCommands";
        RegisterClassW(&windowClass);
        window_ = CreateWindowW(L"NimbrelTestCommands", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CommandWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }
    int refreshes() {
        pumpUntil([] { return false; }, 50ms);
        return refreshes_;
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CommandWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_COMMAND && LOWORD(wParam) == IDM_REFRESH) ++self->refreshes_;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
    int refreshes_ = 0;
};

// Answers the overwrite questions in order through the dialog's buttons,
// from a thread of its own; keeps the question texts.
class OverwriteAnswers {
public:
    explicit OverwriteAnswers(std::vector<int> buttons) {
        thread_ = std::thread([this, buttons] {
            for (const int button : buttons) {
                const HWND dialog = windows::waitForWindow(L"Overwrite file?", 20s);
                if (!dialog) return;
                questions.push_back(windows::controlText(dialog, IDC_QUESTION));
                windows::pressButton(dialog, button);
                windows::waitUntilGone(dialog);
            }
        });
    }
    ~OverwriteAnswers() { finish(); }
    void finish() {
        if (thread_.joinable()) thread_.join();
    }
    std::vector<std::wstring> questions;

private:
    std::thread thread_;
};

// Files in the user's temporary folder that a transfer made (the system
// names them after the first three letters of "~NB_").
inline std::vector<std::string> temporaryTransferFiles() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("~NB")) found.push_back(entry.path().string());
    return found;
}
