#pragma once
// The module's own activation context, from its manifest (resource 2:
// version 6 of the common controls), so the dialogs, message boxes and
// controls it makes inside a host look and behave like the host's own,
// whatever the host's manifest says. Made once, on first use.
#include <windows.h>

// While alive, windows made on this thread use the module's context.
// Without one (a program that links our code but carries no such
// manifest) it changes nothing.
class ScopedActivation {
public:
    ScopedActivation() noexcept;
    ~ScopedActivation();
    ScopedActivation(const ScopedActivation&) = delete;
    ScopedActivation& operator=(const ScopedActivation&) = delete;

    bool active() const noexcept { return cookie_ != 0; }

private:
    ULONG_PTR cookie_ = 0;
};
