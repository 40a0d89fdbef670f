#pragma once
// How the tool names serial ports: "COM3" on Windows, a device path such as
// /dev/ttyUSB0 on POSIX. Ports are numbered for the core either way.
#include <optional>
#include <string>
#include <vector>

// The ports a scan looks at. `explicitPorts` (from --ports or NIMBREL_PORTS)
// replaces the platform's default list when not empty.
std::vector<int> candidatePorts(const std::vector<std::string>& explicitPorts);

// The port a user named, if the text names one ("COM3", "com3"; a device path).
std::optional<int> portFromText(const std::string& text);

// The user's name for port `number`.
std::string portLabel(int number);

// Why port `number` cannot hold a device ("it does not exist", "it is not a
// serial port", permission denied with the way to get it), or none when it
// can be opened as a serial port.
std::optional<std::string> portProblem(int number);
