#pragma once
// Serial ports that come and go in a folder of device nodes (/dev, or the
// one NIMBREL_PORT_FOLDER names, such as a folder of the simulator's links).
// inotify rather than libudev: it needs no library beyond the C library,
// and it sees a pseudo-terminal's link in any folder as it sees a USB
// adapter's node in /dev.
#include <string>
#include <string_view>
#include <vector>

// The folder the ports are in, absolute: NIMBREL_PORT_FOLDER or /dev.
std::string portFolder();

// Names of the serial ports devices are attached to: ttyUSB, ttyACM or
// rfcomm and a number.
bool isSerialPortName(std::string_view name);

struct PortChange {
    std::string path;
    bool present = false;  // arrived, or changed while there (its permissions set)
};

class PortWatcher {
public:
    // Watches `folder`; raises std::runtime_error saying why it cannot.
    explicit PortWatcher(std::string folder);
    ~PortWatcher();
    PortWatcher(const PortWatcher&) = delete;
    PortWatcher& operator=(const PortWatcher&) = delete;

    // Waits for changes to serial ports; none once stopped or the folder is gone.
    std::vector<PortChange> next();
    // From any thread (a signal's): next() returns and keeps returning none.
    void stop();

    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    int events_ = -1;
    int wake_ = -1;
};
