#pragma once
// The protocol's fixed waits (50 ms purge, 500 ms settle, 750 ms borrow
// steps...) all go through here, so tests can run them instantly and see
// which waits were asked for.
#include <cstdint>
#include <functional>

using PauseFunction = std::function<void(std::uint32_t milliseconds)>;

void pauseFor(std::uint32_t milliseconds);

// Installs another pause; an empty function restores the real one.
// Returns the one installed before. Not for use while other threads pause.
PauseFunction setPauseFunction(PauseFunction pause);

// Installs a pause for the life of a scope.
class ScopedPause {
public:
    explicit ScopedPause(PauseFunction pause) : previous_(setPauseFunction(std::move(pause))) {}
    ~ScopedPause() { setPauseFunction(std::move(previous_)); }
    ScopedPause(const ScopedPause&) = delete;
    ScopedPause& operator=(const ScopedPause&) = delete;

private:
    PauseFunction previous_;
};
