#pragma once
// Who holds a device object's port.
#include <cstdint>

enum PortMode : std::int32_t {
    IDLE = 0,             // no port open
    MONITOR = 1,          // the monitor loop owns the open port
    LENT = 2,             // a transaction uses the port the monitor loop opened
    OWN_PORT = 3,         // a transaction opened the port itself
    MONITOR_PAUSED = 4,   // the monitor loop has paused and let go of the port
    PAUSE_REQUESTED = 5,  // a transaction asks the monitor loop to pause
};
