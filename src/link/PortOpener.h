#pragma once
// Every place that opens a port by number (a transaction, the probe, the
// monitor loop) goes through one replaceable opener, so tests and tools
// can put simulated devices behind port numbers.
#include <functional>
#include <memory>

#include "link/SerialPort.h"

using PortOpener = std::function<std::unique_ptr<SerialPort>(int portNumber)>;

// Opens port `portNumber` through the installed opener; raises
// PortExceptions like the platform port does.
std::unique_ptr<SerialPort> openSerialPort(int portNumber);

// The platform's own port: WinSerialPort on "\\.\COM<n>" on Windows; on
// POSIX the device path registered for the number (see PosixSerialPort.h).
std::unique_ptr<SerialPort> openPlatformPort(int portNumber);

// Installs another opener; an empty one restores the platform's.
// Returns the previous opener. Not for use while ports are being opened.
PortOpener setPortOpener(PortOpener opener);

class ScopedPortOpener {
public:
    explicit ScopedPortOpener(PortOpener opener) : previous_(setPortOpener(std::move(opener))) {}
    ~ScopedPortOpener() { setPortOpener(std::move(previous_)); }
    ScopedPortOpener(const ScopedPortOpener&) = delete;
    ScopedPortOpener& operator=(const ScopedPortOpener&) = delete;

private:
    PortOpener previous_;
};
