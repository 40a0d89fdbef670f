#pragma once
// Names that cross between the device and the PC. Device file names are
// untrusted: one becomes a local file name only through safeLocalFileName.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/DeviceNames.h"

// `deviceName` as one safe file name of its own on any PC: no path
// separators or drive colon, none of the characters Windows forbids, no
// control characters, not "." or "..", no trailing dot or space, not a
// reserved device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9
// and LPT0 to LPT9, also with the superscript digits 1 to 3, with or
// without an extension). What is unsafe becomes '_'; a reserved name gets
// a leading '_'.
std::string safeLocalFileName(std::string_view deviceName);

// Names for `names` made safe by `makeSafe`, in the same order and all
// different (ASCII letters without regard to case): a name that needs no
// change keeps it; any other takes its safe form, or, where that is taken,
// the safe form with "~2", "~3"... before its extension. So two device
// names never end as one local name.
std::vector<std::string> distinctNames(const std::vector<std::string>& names,
                                       const std::function<std::string(std::string_view)>& makeSafe);

// A local file name, or a name the user typed (UTF-8), as the device stores
// it: in the device's code page; none when a character has no form there.
std::optional<std::string> deviceNameFromLocal(const std::string& localName);

// A device file name as UTF-8, for messages, listings and local names.
std::string deviceNameForDisplay(const std::string& deviceName);

// Device names are in the PC's ANSI code page on Windows. Elsewhere they
// are read in Windows-1252 unless another code page (an iconv name such as
// CP437 or ISO-8859-2) is chosen here; false, and nothing changed, for a
// name that is not known. Not on Windows.
bool setDeviceCodePage(const std::string& name);
