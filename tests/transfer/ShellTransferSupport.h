#pragma once
// What the shell-side transfer tests share: COM and the module's texts with
// the transfer layer's objects in the folders, nimbrel-devsim devices whose
// files lie in folders of the test, device folders opened as the shell
// opens them and their data objects, a message pump that counts Refresh
// commands, and the overwrite question answered through its buttons.
#include "EndToEnd.h"
#include "FolderTestSupport.h"
#include "WindowDriver.h"
#include "folder/NamespaceFolder.h"
#include "link/Pause.h"
#include "resources/resource.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"
#include "shell/TextFormat.h"
#include "transfer/BackgroundWork.h"
#include "transfer/ClipboardCommands.h"
#include "transfer/DataValues.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline const ClipboardFormats& formats() {
    return moduleState().clipboardFormats();
}

// Messages recorded, and the protocol's fixed waits skipped unless `realTiming`.
class ShellTransferEnvironment {
public:
    explicit ShellTransferEnvironment(bool realTiming = false) {
        OleInitialize(nullptr);  // the clipboard needs OLE on the thread
        if (!realTiming) pause_.emplace([](std::uint32_t) {});
    }
    ~ShellTransferEnvironment() { OleUninitialize(); }
    bool ready() const { return com_.textsLoaded(); }
    std::vector<UINT> shownTexts() const {
        std::vector<UINT> texts;
        for (const auto& shown : prompts.prompts()) texts.push_back(shown.textId);
        return texts;
    }
    prompt::Recorder prompts{IDOK};

private:
    ComAndTexts com_;
    std::optional<ScopedPause> pause_;
};

// nimbrel-devsim devices, each keeping its files in a folder of the test.
class DevsimDevices {
public:
    explicit DevsimDevices(std::vector<std::pair<int, std::string>> devices) {
        for (auto& [port, keys] : devices) {
            std::filesystem::create_directories(hostPath(filesOf(port)));
            keys = "files=" + filesOf(port) + "," + keys;
        }
        process_ = startDevices(dir_, devices);
    }
    // Unix path of the folder with the device's files.
    std::string filesOf(int port) const { return dir_.file("device" + std::to_string(port)); }
    std::string file(int port, const std::string& name) const { return filesOf(port) + "/" + name; }
    void put(int port, const std::string& name, std::size_t size, char with) const {
        writeText(file(port, name), std::string(size, with));
    }
    bool has(int port, const std::string& name) const { return pathExists(file(port, name)); }
    Bytes read(int port, const std::string& name) const { return readFileBytes(file(port, name)); }
    // Every device at once, as if unplugged in the middle of what it does.
    void unplug() { process_->kill(); }

private:
    TempDir dir_;
    std::unique_ptr<ToolProcess> process_;
};

// The folder of the device on `port`, opened from the root as the shell
// opens it (the device is probed on that port only), and its files listed
// as the view lists them, messages owned by `owner`.
struct OpenedDevice {
    ComPtr<DeviceFolder> folder;
    Listing files;
};

inline OpenedDevice openDevice(int port, const char* serial, std::uint32_t typeCode, HWND owner) {
    auto root = makeComObject<NamespaceFolder>();
    const USHORT desktop = 0;  // placed under the desktop, so the shell hears of changes
    root->Initialize(reinterpret_cast<PCIDLIST_ABSOLUTE>(&desktop));
    const UniqueIdList item(ItemIdAllocator().createItemId(makeDeviceRecord("Device", port, serial, typeCode)));
    OpenedDevice opened;
    EXPECT_EQ(root->BindToObject(item.get(), nullptr, __uuidof(DeviceFolder),
                                 reinterpret_cast<void**>(opened.folder.GetAddressOf())),
              S_OK);
    if (opened.folder) opened.files = listFolder(opened.folder, viewFlags, owner);
    return opened;
}

// The data object of the named files, as the view asks the folder for it:
// `refresh` hears of a completed move. With the preferred effect of a copy,
// a cut or a drag.
inline ComPtr<IDataObject> dataObjectOf(const OpenedDevice& device, const std::vector<std::string>& names, HWND refresh,
                                        DWORD effect = 0) {
    std::vector<PCUITEMID_CHILD> items;
    for (const auto& name : names) items.push_back(device.files.named(name));
    ComPtr<IDataObject> data;
    EXPECT_EQ(device.folder->dataObjectOf(static_cast<UINT>(items.size()), items.data(), refresh, refresh, &data),
              S_OK);
    if (data && effect) {
        writeValue(*data.Get(), formats().preferredDropEffect, effect);
        writeValue(*data.Get(), formats().logicalPerformedDropEffect, effect);
    }
    return data;
}

// Local files of `size` bytes of 'p' (size -1: a folder) in a folder whose
// name has no ANSI form, made through the wide calls, as wide paths.
inline std::vector<std::wstring> localFiles(const TempDir& dir,
                                            const std::vector<std::pair<std::wstring, long>>& files) {
    const std::filesystem::path folder = widenUtf8(hostPath(dir.path())) + L"\\\u041f\u0438\u0441\u044c\u043c\u0430";
    std::filesystem::create_directories(folder);
    std::vector<std::wstring> paths;
    for (const auto& [name, size] : files) {
        const std::filesystem::path path = folder / name;
        if (size < 0) std::filesystem::create_directory(path);
        if (size >= 0) std::ofstream(path, std::ios::binary) << std::string(static_cast<std::size_t>(size), 'p');
        paths.push_back(path.wstring());
    }
    return paths;
}

// Refresh commands posted to each window of the test thread, counted as
// the message loop takes them.
inline std::map<HWND, int>& refreshesPosted() {
    static std::map<HWND, int> counts;
    return counts;
}

// Runs the thread's messages until `done` or the time is up.
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_COMMAND && LOWORD(message.wParam) == IDM_REFRESH)
                ++refreshesPosted()[message.hwnd];
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

// Waits for the jobs and uploads, serving the calls they make to this thread.
inline bool finishTransfers() {
    return pumpUntil([] { return backgroundWorkRunning() == 0; }, 60s);
}

// A window of the test thread that hears of Refresh.
class CommandWindow {
public:
    CommandWindow() { refreshesPosted().erase(window_.get()); }  // a handle of an earlier window
    HWND get() const { return window_.get(); }
    int refreshes() {
        pumpUntil([] { return false; }, 50ms);
        return refreshesPosted()[window_.get()];
    }

private:
    UniqueWindow window_ = messageWindow();
};

// Answers the overwrite questions in order through the dialog's buttons,
// from a thread of its own; keeps the question texts and their owners.
class OverwriteAnswers {
public:
    explicit OverwriteAnswers(std::vector<int> buttons) {
        thread_ = std::thread([this, buttons] {
            for (const int button : buttons) {
                const HWND dialog = windows::waitForWindow(L"Overwrite file?", 20s);
                if (!dialog) return;
                questions.push_back(windows::controlText(dialog, IDC_QUESTION));
                owners.push_back(GetWindow(dialog, GW_OWNER));
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
    std::vector<HWND> owners;

private:
    std::thread thread_;
};

// Acts on the first progress dialog that has control `id` once its Abort
// button can be pressed (pressing it, unless told otherwise), from a thread
// of its own; keeps its caption.
class ProgressWatcher {
public:
    explicit ProgressWatcher(
        int id, std::function<void(HWND)> act = [](HWND dialog) { windows::pressButton(dialog, IDC_ABORT); })
        : thread_([this, id, act] {
              const HWND dialog = windows::waitForWindow(windows::hasControl(id), 30s);
              if (!dialog || !windows::waitUntilEnabled(dialog, IDC_ABORT, 30s)) return;
              caption_ = windows::text(dialog);
              act(dialog);
          }) {}
    ~ProgressWatcher() { caption(); }
    const std::wstring& caption() {
        if (thread_.joinable()) thread_.join();
        return caption_;
    }

private:
    std::wstring caption_;
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

// A test of the shell's transfers: the environment, and windows of the
// source's and the target's views that hear of Refresh.
class ShellTransferTest : public ::testing::Test {
protected:
    explicit ShellTransferTest(bool realTiming = false) : environment_(realTiming) {}
    void SetUp() override { ASSERT_TRUE(environment_.ready()); }
    ViewTarget targetView(const OpenedDevice& device) {
        return {nullptr, device.folder.Get(), {targetWindow_.get(), targetWindow_.get()}, nullptr};
    }

    ShellTransferEnvironment environment_;
    CommandWindow sourceWindow_, targetWindow_;
};

// The progress dialog is up before a transfer starts only with the real waits.
class RealTimingTest : public ShellTransferTest {
protected:
    RealTimingTest() : ShellTransferTest(true) {}
};
