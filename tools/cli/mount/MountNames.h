#pragma once
// Device file names as names in a Linux folder. A device may list names that
// no folder can hold ("a/b", "..", control characters); such a file is shown
// under a safe name of its own, unique in the folder, while every operation
// still reaches the device under the exact name.
#include "protocol/DeviceNames.h"

#include <string>
#include <string_view>
#include <vector>

// True when `name` can stand in a Linux folder as it is.
bool showsUnchanged(std::string_view name);

// The names to show for `deviceNames`, in the same order: a name is kept
// where it can be; otherwise what cannot be shown becomes '_' and, when that
// name is taken, "~2", "~3"... goes before the extension.
std::vector<std::string> shownNames(const std::vector<std::string>& deviceNames);

// 0 when a name given on this side can become a device name as it is;
// -ENAMETOOLONG beyond 64 bytes; -EINVAL for a name the device would store
// differently (leading blanks) or that would be shown under another name.
int checkNewDeviceName(std::string_view name);
