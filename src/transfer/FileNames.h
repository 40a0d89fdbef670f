#pragma once
// Names that cross between the device and the PC. Device file names are
// untrusted: one becomes a local file name only through safeLocalFileName.
#include "protocol/DeviceNames.h"

#include <optional>
#include <string>
#include <string_view>

// `deviceName` as one safe file name of its own on any PC: no path
// separators or drive colon, none of the characters Windows forbids, no
// control characters, not "." or "..", no trailing dot or space, not a
// reserved device name (CON, NUL, COM1...). What is unsafe becomes '_'.
std::string safeLocalFileName(std::string_view deviceName);

// A local file name as the device stores it: the ANSI code page on Windows,
// the same bytes elsewhere; none when a character has no form there.
std::optional<std::string> deviceNameFromLocal(const std::string& localName);

// A device file name as UTF-8 for messages and dialogs (device names are
// in the PC's ANSI code page on Windows; elsewhere they are shown as they are).
std::string deviceNameForDisplay(const std::string& deviceName);
