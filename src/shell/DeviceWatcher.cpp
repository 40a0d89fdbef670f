#include "shell/DeviceWatcher.h"

#include "devices/Discovery.h"
#include "devices/PortChanges.h"
#include "link/WinHandle.h"
#include "shell/ModuleState.h"
#include "shell/ShellResources.h"

#include <dbt.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <string>
#include <string_view>
#include <system_error>

namespace {

// GUID_DEVINTERFACE_COMPORT, without the driver kit's header.
constexpr GUID comPortInterface = {0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

HINSTANCE watcherModule() {
    const HMODULE server = moduleState().serverModule();
    return server ? server : GetModuleHandleW(nullptr);
}

// The number of a port a scan looks at, from its COM name; none for other
// names, which come from drivers and the registry and are not trusted.
template <typename Char>
std::optional<int> scannedPortNumber(std::basic_string_view<Char> name) {
    if (name.size() < 4 || name.size() > 5) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if ((name[i] | 0x20) != "com"[i]) return std::nullopt;
    int number = 0;
    for (const Char c : name.substr(3)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    const std::vector<int> ports = scannedPorts();
    return std::find(ports.begin(), ports.end(), number) != ports.end() ? std::optional<int>(number) : std::nullopt;
}

// The COM ports the system lists now.
std::set<int> serialCommPorts() {
    std::set<int> ports;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return ports;
    const UniqueRegKey key(opened);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        wchar_t data[16];
        DWORD nameLength = 256, type = 0, dataSize = sizeof data;
        const LSTATUS status = RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_MORE_DATA) continue;  // no port name is that long
        if (status != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        const std::wstring_view text(data, wcsnlen(data, dataSize / sizeof(wchar_t)));
        if (const auto port = scannedPortNumber(text)) ports.insert(*port);
    }
    return ports;
}

// Another program has the port open: it is not ours to probe.
bool heldElsewhere(int port) {
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(port);
    const UniqueFileHandle handle(
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return !handle.valid() && GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

DeviceWatcher& deviceWatcher() {
    static DeviceWatcher watcher;
    return watcher;
}

void DeviceWatcher::subscribe(HWND window) {
    const std::lock_guard life(lifeMutex_);
    {
        const std::lock_guard lock(mutex_);
        subscribers_.push_back(window);
    }
    if (running_) return;
    // One still ending after its last probe is waited for.
    finishIfEnded(true);
    {
        const std::lock_guard lock(mutex_);
        stopping_ = false;
        windowReady_ = false;
        window_ = nullptr;
        events_.clear();
    }
    windowEnded_ = false;
    probeEnded_ = false;
    moduleState().lockServer();
    locked_ = true;
    running_ = true;
    try {
        probeThread_ = std::thread([this] { probe(); });
        windowThread_ = std::thread([this] { watch(); });
    } catch (const std::system_error&) {
        // No watcher this time: the windows follow the devices on F5 only.
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        running_ = false;
        finishIfEnded(true);
        return;
    }
    // A port plugged right after the window opened is heard.
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return windowReady_; });
}

void DeviceWatcher::unsubscribe(HWND window) {
    const std::lock_guard life(lifeMutex_);
    const std::lock_guard lock(mutex_);
    std::erase(subscribers_, window);
    if (!subscribers_.empty() || !running_) return;
    running_ = false;
    stopping_ = true;
    changed_.notify_all();
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
}

bool DeviceWatcher::finishIfStopped() {
    const std::lock_guard life(lifeMutex_);
    if (running_) return false;
    bool probing = false;
    {
        const std::lock_guard lock(mutex_);
        probing = probing_;
    }
    // An idle watcher ends at once; a probe under way is not waited for.
    return finishIfEnded(!probing);
}

bool DeviceWatcher::finishIfEnded(bool wait) {
    if (!wait && (!windowEnded_ || !probeEnded_)) return false;
    if (windowThread_.joinable()) windowThread_.join();
    if (probeThread_.joinable()) probeThread_.join();
    if (locked_) moduleState().unlockServer();
    locked_ = false;
    return true;
}

void DeviceWatcher::abandon() noexcept {
    if (windowThread_.joinable()) windowThread_.detach();
    if (probeThread_.joinable()) probeThread_.detach();
}

LRESULT CALLBACK DeviceWatcher::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* watcher = reinterpret_cast<DeviceWatcher*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_DEVICECHANGE:
            try {
                if (watcher) watcher->deviceChanged(wParam, lParam);
            } catch (...) {
                // Out of memory: this notice is lost, the next is heard.
            }
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void DeviceWatcher::watch() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &windowProcedure;
    windowClass.hInstance = watcherModule();
    windowClass.lpszClassName = deviceWatchClass;
    RegisterClassW(&windowClass);
    // Top-level (a message-only window gets no broadcasts), never shown.
    const HWND window =
        CreateWindowExW(0, deviceWatchClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, watcherModule(), this);
    HDEVNOTIFY notification = nullptr;
    if (window) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = comPortInterface;
        notification = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    try {
        serialComm_ = serialCommPorts();
    } catch (...) {
        serialComm_.clear();
    }
    {
        const std::lock_guard lock(mutex_);
        window_ = window;
        windowReady_ = true;
    }
    changed_.notify_all();
    MSG message;
    while (window && GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    if (notification) UnregisterDeviceNotification(notification);
    {
        const std::lock_guard lock(mutex_);
        window_ = nullptr;
    }
    UnregisterClassW(deviceWatchClass, watcherModule());
    windowEnded_ = true;
}

void DeviceWatcher::deviceChanged(WPARAM event, LPARAM data) {
    const bool arrived = event == DBT_DEVICEARRIVAL;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if ((!arrived && event != DBT_DEVICEREMOVECOMPLETE) || !header || header->dbch_size < sizeof *header) return;
    if (header->dbch_devicetype == DBT_DEVTYP_PORT) {
        // The name ends with the size the sender gave; a Unicode window
        // gets it in UTF-16, an old sender may still give it in bytes.
        constexpr std::size_t nameAt = offsetof(DEV_BROADCAST_PORT_W, dbcp_name);
        if (header->dbch_size <= nameAt) return;
        const std::size_t room = header->dbch_size - nameAt;
        const auto* wide = reinterpret_cast<const DEV_BROADCAST_PORT_W*>(header)->dbcp_name;
        const auto* narrow = reinterpret_cast<const DEV_BROADCAST_PORT_A*>(header)->dbcp_name;
        std::optional<int> port = scannedPortNumber(std::wstring_view(wide, wcsnlen(wide, room / sizeof(wchar_t))));
        if (!port) port = scannedPortNumber(std::string_view(narrow, strnlen(narrow, room)));
        if (port) portChanged(*port, arrived);
    } else if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        const std::set<int> now = serialCommPorts();
        for (const int port : now)
            if (!serialComm_.contains(port)) portChanged(port, true);
        for (const int port : serialComm_)
            if (!now.contains(port)) portChanged(port, false);
        serialComm_ = now;
    }
}

void DeviceWatcher::portChanged(int port, bool arrived) {
    {
        const std::lock_guard lock(mutex_);
        events_.push_back({port, arrived});
    }
    changed_.notify_all();
}

void DeviceWatcher::probe() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !events_.empty(); });
        if (stopping_) break;
        const PortEvent event = events_.front();
        events_.pop_front();
        // A later notice of the same port tells what is there now.
        if (std::any_of(events_.begin(), events_.end(), [&](const PortEvent& e) { return e.port == event.port; }))
            continue;
        probing_ = true;
        lock.unlock();
        bool found = false;
        try {
            found = takeFinding(event);
        } catch (...) {
            // Out of memory: the port is tried again at its next change.
        }
        lock.lock();
        probing_ = false;
        if (found)
            for (const HWND window : subscribers_) PostMessageW(window, devicesChangedMessage, 0, 0);
    }
    lock.unlock();
    probeEnded_ = true;
}

bool DeviceWatcher::takeFinding(const PortEvent& event) {
    if (!event.arrived) {
        portChanges().record(event.port, std::nullopt);
        return true;
    }
    if (heldElsewhere(event.port)) return false;
    std::optional<DeviceInfo> found = probePort(event.port);
    if (found && !isUsableDevice(*found)) found.reset();
    portChanges().record(event.port, found);
    return true;
}
