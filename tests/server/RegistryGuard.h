#pragma once
// Puts the namespace's registration in the test prefix back as it was:
// registered from the same path, or not registered at all.
#include <string>

class RegistryGuard {
public:
    RegistryGuard();
    ~RegistryGuard();
    RegistryGuard(const RegistryGuard&) = delete;
    RegistryGuard& operator=(const RegistryGuard&) = delete;

private:
    std::wstring previousPath_;  // empty: was not registered
};

// Runs regsvr32 with the arguments and returns its exit code.
unsigned long runRegsvr32(const std::wstring& arguments);
