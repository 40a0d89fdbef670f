#pragma once
// The name part of a local path, which an upload gives the device file
// when the caller names no target.
#include <optional>
#include <string>

// The separator of local paths on this platform: a backslash on Windows,
// '/' elsewhere.
extern const char localPathSeparator;

// The text after the last `separator`, with one enclosing pair of double
// quotes removed; the whole text when there is no separator. None for an
// empty text or one that is nothing but quotes.
std::optional<std::string> lastPathComponent(const std::string& path, char separator);
