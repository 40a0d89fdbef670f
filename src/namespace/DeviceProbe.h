#pragma once
// The quick check before a device item is opened as a folder: is a device
// of the expected type still answering on its port?
#include <cstdint>

// Opens the port, asks "who are you" and compares the type code. Never
// raises; any port failure is a failed probe. The port is closed again.
bool probeDevice(int portNumber, std::uint32_t expectedType) noexcept;
