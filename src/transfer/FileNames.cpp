#include "transfer/FileNames.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

bool forbidden(unsigned char c) {
    constexpr std::string_view reserved = "<>:\"/\\|?*";
    return c < 0x20 || c == 0x7F || reserved.find(static_cast<char>(c)) != std::string_view::npos;
}

// CON, PRN, AUX, NUL, COM1..9 and LPT1..9 name devices on Windows, with or
// without an extension.
bool reservedDeviceName(std::string_view name) {
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(), asciiUpper);
    constexpr std::array<std::string_view, 4> plain = {"CON", "PRN", "AUX", "NUL"};
    if (std::find(plain.begin(), plain.end(), stem) != plain.end()) return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string safeLocalFileName(std::string_view deviceName) {
    std::string name;
    for (const char c : deviceName) name += forbidden(static_cast<unsigned char>(c)) ? '_' : c;
    if (name.empty()) return "_";
    if (name == "." || name == "..") return std::string(name.size(), '_');
    for (auto last = name.rbegin(); last != name.rend() && (*last == '.' || *last == ' '); ++last) *last = '_';
    if (reservedDeviceName(name)) name.insert(0, 1, '_');
    return name;
}
