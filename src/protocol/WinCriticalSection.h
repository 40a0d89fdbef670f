#pragma once
// The lock the device object and the probe use. A std::mutex underneath,
// so the protocol layer builds the same on every platform.
#include <mutex>

class WinCriticalSection {
public:
    WinCriticalSection() = default;
    WinCriticalSection(const WinCriticalSection&) = delete;
    WinCriticalSection& operator=(const WinCriticalSection&) = delete;
    virtual void enter() { mutex_.lock(); }
    virtual void leave() { mutex_.unlock(); }
    virtual ~WinCriticalSection() = default;

    // For std::lock_guard and friends.
    void lock() { enter(); }
    void unlock() { leave(); }

private:
    std::mutex mutex_;
};
