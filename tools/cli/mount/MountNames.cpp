#include "MountNames.h"

#include <cerrno>
#include <set>

namespace {

bool unshowable(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == '/' || byte < 0x20 || byte == 0x7F;
}

std::string safeName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return std::string(name.size() + (name.empty() ? 1 : 0), '_');
    std::string safe(name);
    for (char& c : safe)
        if (unshowable(c)) c = '_';
    return safe;
}

// "a_b.txt" and 2 give "a_b~2.txt"; a name without an extension gets the
// number at its end.
std::string numbered(const std::string& name, int number) {
    const std::size_t dot = name.rfind('.');
    const std::size_t cut = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, cut) + "~" + std::to_string(number) + name.substr(cut);
}

}  // namespace

bool showsUnchanged(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name)
        if (unshowable(c)) return false;
    return true;
}

std::vector<std::string> shownNames(const std::vector<std::string>& deviceNames) {
    // Names that need no change come first, so a safe name never takes a
    // name the device really has.
    std::vector<std::string> shown(deviceNames.size());
    std::set<std::string> taken;
    for (std::size_t i = 0; i < deviceNames.size(); ++i)
        if (showsUnchanged(deviceNames[i]) && taken.insert(deviceNames[i]).second) shown[i] = deviceNames[i];
    for (std::size_t i = 0; i < deviceNames.size(); ++i) {
        if (!shown[i].empty()) continue;
        const std::string base = safeName(deviceNames[i]);
        std::string candidate = base;
        for (int number = 2; !taken.insert(candidate).second; ++number) candidate = numbered(base, number);
        shown[i] = candidate;
    }
    return shown;
}

int checkNewDeviceName(std::string_view name) {
    if (name.size() > longestDeviceName) return -ENAMETOOLONG;
    if (!showsUnchanged(name) || name.front() == ' ' || name.front() == '\t') return -EINVAL;
    return 0;
}
