#pragma once
// The identification exchanges run on a port that discovery has just opened.
#include <optional>

#include "link/SerialPort.h"
#include "protocol/DeviceInfo.h"

// Asks the device on `port` who it is. Returns no record when nothing of
// the family answers (or the serial query's first answer times out).
// Port errors outside the guarded steps are raised as CannotReadFromPort /
// CannotWriteToPort for the caller to treat as "no device".
// The record's index is 0 and its port number is `portNumber`.
std::optional<DeviceInfo> identifyDevice(SerialPort& port, int portNumber, bool askForName, bool allowOtherTypes);
