#include "transfer/FileNames.h"

#include <algorithm>
#include <array>
#include <set>

namespace {

bool forbidden(unsigned char c) {
    constexpr std::string_view reserved = "<>:\"/\\|?*";
    return c < 0x20 || c == 0x7F || reserved.find(static_cast<char>(c)) != std::string_view::npos;
}

struct AsciiCaseLess {
    bool operator()(const std::string& left, const std::string& right) const {
        return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                            [](char a, char b) { return asciiUpper(a) < asciiUpper(b); });
    }
};

// A digit of a numbered device name: 0 to 9, or a superscript 1 to 3 as a
// byte of the ANSI code page or in UTF-8 (Windows reserves COM¹ too).
bool deviceDigit(std::string_view digit) {
    constexpr std::array<unsigned char, 3> superscripts = {0xB9, 0xB2, 0xB3};
    auto superscript = [&](unsigned char c) {
        return std::find(superscripts.begin(), superscripts.end(), c) != superscripts.end();
    };
    const auto first = static_cast<unsigned char>(digit.empty() ? 0 : digit[0]);
    if (digit.size() == 1) return (first >= '0' && first <= '9') || superscript(first);
    return digit.size() == 2 && first == 0xC2 && superscript(static_cast<unsigned char>(digit[1]));
}

// The names Windows keeps for devices, with or without an extension.
bool reservedDeviceName(std::string_view name) {
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(), asciiUpper);
    constexpr std::array<std::string_view, 6> plain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    if (std::find(plain.begin(), plain.end(), stem) != plain.end()) return true;
    return (stem.starts_with("COM") || stem.starts_with("LPT")) && deviceDigit(std::string_view(stem).substr(3));
}

// "a_b.txt" and 2 give "a_b~2.txt"; a name without an extension gets the
// number at its end.
std::string numbered(const std::string& name, int number) {
    const std::size_t dot = name.rfind('.');
    const std::size_t cut = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, cut) + "~" + std::to_string(number) + name.substr(cut);
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

std::vector<std::string> distinctNames(const std::vector<std::string>& names,
                                       const std::function<std::string(std::string_view)>& makeSafe) {
    // Names that need no change come first, so a changed name never takes
    // one that another file really has.
    std::vector<std::string> safe, result(names.size());
    std::set<std::string, AsciiCaseLess> taken;
    for (const std::string& name : names) safe.push_back(makeSafe(name));
    for (std::size_t i = 0; i < names.size(); ++i)
        if (safe[i] == names[i] && taken.insert(safe[i]).second) result[i] = safe[i];
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!result[i].empty()) continue;
        std::string candidate = safe[i];
        for (int number = 2; !taken.insert(candidate).second; ++number) candidate = numbered(safe[i], number);
        result[i] = candidate;
    }
    return result;
}
