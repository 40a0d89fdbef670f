#pragma once
// What the tool tells the user when a device or file operation fails: the
// file, the device model and its port, and a plain reason chosen by the
// error code. The exception's own description is only for --verbose.
#include <string>

#include "link/NBException.h"
#include "protocol/DeviceInfo.h"

// "Corvia 80 (COM3)"
std::string deviceLabel(const DeviceInfo& device);

// A short reason for an error code, e.g. "the file does not exist on the device".
std::string reasonFor(std::int32_t code);

// Prints "nimbrel: <what>: <reason>." on stderr (plus the details when verbose).
void reportFailure(const std::string& what, const NBException& error, bool verbose);
void reportProblem(const std::string& text);

// A name from a device as it can be printed: control characters and
// backslashes come out escaped (\x1B, \\), so a name never drives the terminal.
std::string printable(const std::string& name);
