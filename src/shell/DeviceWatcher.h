#pragma once
// Serial ports that arrive and leave while Nimbrel windows are open.
//
// A hidden top-level window on a thread of its own hears the system: the
// WM_DEVICECHANGE broadcast of a port ("COM3"), which only top-level windows
// get, and the COM port interface notification, which names a device path
// rather than a port, so on that one the COM names listed under
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM are compared with the last ones seen.
// Both may come for one plug; the second finds nothing new. Only the port
// that changed is probed, on a second thread, so the window keeps answering
// the system's broadcasts meanwhile. A port another program holds is passed
// over quietly, never borrowed, and tried again at its next change. What is
// found goes to portChanges(), and every subscribed window is posted
// devicesChangedMessage. Nothing here shows anything to the user.
//
// The watcher runs while a window is subscribed. It holds a server lock
// from its start until its threads are joined, so DllCanUnloadNow, which
// joins a stopped watcher first (unless a probe is under way: then it
// answers no and joins at a later call), never lets the module go under them.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

// Posted to the subscribed windows after a port changed.
inline constexpr UINT devicesChangedMessage = WM_APP + 1;
// The class of the watcher's window.
inline constexpr wchar_t deviceWatchClass[] = L"NimbrelDeviceWatch";

class DeviceWatcher {
public:
    DeviceWatcher() = default;
    // Only at the module's unloading: see abandon().
    ~DeviceWatcher() { abandon(); }
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // `window` hears of changes from now on; the first starts the watcher.
    void subscribe(HWND window);
    // The last one to go stops the watcher without waiting for it: it ends
    // after the probe under way, if any.
    void unsubscribe(HWND window);
    // Joins a stopped watcher and gives its server lock back; false while one
    // runs, or is still ending a probe.
    bool finishIfStopped();
    // Lets threads go that are left when the module goes: that happens only
    // when the process ends (the server lock keeps the module otherwise), and
    // joining under the loader lock would never return.
    void abandon() noexcept;

private:
    struct PortEvent {
        int port;
        bool arrived;
    };

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void watch();
    void probe();
    void deviceChanged(WPARAM event, LPARAM data);
    void portChanged(int port, bool arrived);
    // Probes an arrived port, or records a port that left; false when the
    // port was passed over.
    bool takeFinding(const PortEvent& event);
    // Joins the threads of a stopped watcher (waiting for them, or only
    // when both have ended) and gives its server lock back.
    bool finishIfEnded(bool wait);

    std::mutex lifeMutex_;  // starting, stopping and joining
    bool running_ = false;
    bool locked_ = false;  // the watcher's server lock
    std::thread windowThread_, probeThread_;
    std::atomic<bool> windowEnded_{false}, probeEnded_{false};

    std::mutex mutex_;  // what the threads share
    std::condition_variable changed_;
    std::vector<HWND> subscribers_;
    std::deque<PortEvent> events_;
    bool stopping_ = false;
    bool probing_ = false;
    bool windowReady_ = false;
    HWND window_ = nullptr;

    std::set<int> serialComm_;  // the window's thread only
};

DeviceWatcher& deviceWatcher();

// A window's subscription for as long as the object lives.
class DeviceWatchSubscription {
public:
    explicit DeviceWatchSubscription(HWND window) : window_(window) { deviceWatcher().subscribe(window_); }
    ~DeviceWatchSubscription() { deviceWatcher().unsubscribe(window_); }
    DeviceWatchSubscription(const DeviceWatchSubscription&) = delete;
    DeviceWatchSubscription& operator=(const DeviceWatchSubscription&) = delete;

private:
    HWND window_;
};
