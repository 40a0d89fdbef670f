#pragma once
// The connected devices kept up to date as serial ports come and go: only
// the port that changed is probed. A port that cannot be opened yet (its
// permissions not set, another program holding it) is passed over quietly
// and tried again at its next change.
#include <vector>

#include "Commands.h"
#include "PortWatcher.h"

class DeviceWatch {
public:
    // Watches the ports folder, then scans as the options say; raises
    // std::runtime_error when the folder cannot be watched.
    explicit DeviceWatch(const GlobalOptions& options);

    const std::vector<NamedDevice>& devices() const { return devices_; }
    // Waits until devices arrive or leave and tells which; false once stopped.
    bool next(std::vector<NamedDevice>& arrived, std::vector<NamedDevice>& left);
    // From any thread.
    void stop() { watcher_.stop(); }
    const std::string& folder() const { return watcher_.folder(); }

private:
    GlobalOptions options_;
    PortWatcher watcher_;
    std::vector<NamedDevice> devices_;
};
