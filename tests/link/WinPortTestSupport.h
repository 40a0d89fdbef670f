#pragma once
// Helpers of the Windows port tests under Wine.
#include <windows.h>

#include <string>

#include "link/WinHandle.h"

// The link through which Wine reaches COM<n> (see the Wine prefix script).
inline std::string comLink(int portNumber) { return std::string(NIMBREL_PORT_DIR) + "/COM" + std::to_string(portNumber); }

// Holder windows are seen by every process of the Wine server: tests that
// show one, or that could run into one, take turns through this lock.
class HolderTestLock {
public:
    HolderTestLock() : mutex_(::CreateMutexA(nullptr, FALSE, "NimbrelLinkHolderTests")) {
        ::WaitForSingleObject(mutex_.get(), 120000);
    }
    ~HolderTestLock() { ::ReleaseMutex(mutex_.get()); }
    HolderTestLock(const HolderTestLock&) = delete;
    HolderTestLock& operator=(const HolderTestLock&) = delete;

private:
    UniqueKernelHandle mutex_;
};
