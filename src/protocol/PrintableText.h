#pragma once
// Text that came from a device, or a file name, on its way to a terminal or
// a log. Whatever could drive the terminal or turn the line around is shown
// escaped: C0 controls and DEL, C1 controls as single bytes or in UTF-8,
// the bidirectional controls, and any byte that is not part of UTF-8.
#include <string>
#include <string_view>

// "\x1B" for a byte, "\u202E" for a character of UTF-8; the rest unchanged.
std::string printable(std::string_view text);

// The same characters each replaced by `replacement` (for names that must
// stay names, such as those of a folder).
std::string unprintableReplaced(std::string_view text, char replacement);

// True when printable would leave `text` as it is.
bool isPrintable(std::string_view text);
