#pragma once
// Device file names as names in a Linux folder. Names are shown in UTF-8,
// converted from the device's code page. A device may list names that no
// folder can hold ("a/b", "..", control characters); such a file is shown
// under a safe name of its own, unique in the folder, while every operation
// still reaches the device under the exact name.
#include "protocol/DeviceNames.h"

#include <string>
#include <string_view>
#include <vector>

// True when `name` (UTF-8) can stand in a Linux folder as it is.
bool showsUnchanged(std::string_view name);

// The names to show for `names` (UTF-8, as converted from the device's),
// in the same order: a name is kept where it can be; otherwise what cannot
// be shown becomes '_' and, when that name is taken, "~2", "~3"... goes
// before the extension.
std::vector<std::string> shownNames(const std::vector<std::string>& names);

// A name given on this side as the device would store it: 0 and the name
// in `deviceName`; -EILSEQ for a character the device's code page lacks;
// -ENAMETOOLONG beyond 64 bytes there; -EINVAL for a name the device would
// store differently (leading blanks) or that would be shown under another.
int deviceNameFor(std::string_view name, std::string& deviceName);
