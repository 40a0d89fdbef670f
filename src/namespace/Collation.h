#pragma once
// Locale-aware, case-insensitive comparison of two multibyte texts, as the
// user expects names sorted. One implementation per platform.
#include <string>

// Negative, zero or positive, like strcmp.
int collateIgnoringCase(const std::string& a, const std::string& b);
