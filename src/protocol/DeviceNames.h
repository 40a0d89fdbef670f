#pragma once
// The rules for file names on a device, shared by the shell, the transfers,
// the tool, the mount and the simulator.
#include <algorithm>
#include <cstddef>
#include <string_view>

#include "protocol/ProtocolBytes.h"

// The longest name a device takes for a file (a rename, an upload's target).
inline constexpr std::size_t longestDeviceName = PackageLimits::maxTargetName;

// The device's file system folds ASCII letters, nothing else.
constexpr char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Two names of one file on the device: equal but for the case of ASCII letters.
constexpr bool sameDeviceName(std::string_view left, std::string_view right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                      [](char a, char b) { return asciiUpper(a) == asciiUpper(b); });
}

// The device's own files end in ".NSF", exactly so (the case matters).
constexpr bool isSystemFileName(std::string_view name) {
    return name.ends_with(".NSF");
}
