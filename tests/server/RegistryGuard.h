#pragma once
// Puts the namespace's registration in the test prefix back as it was:
// registered from the same path, or not registered at all.
#include "server/Registration.h"

#include <string>

class RegistryGuard {
public:
    RegistryGuard() = default;
    RegistryGuard(const RegistryGuard&) = delete;
    RegistryGuard& operator=(const RegistryGuard&) = delete;
    ~RegistryGuard() { previousPath_.empty() ? unregisterServer() : registerServer(previousPath_); }

private:
    std::wstring previousPath_ = registeredServerPath();  // empty: was not registered
};
