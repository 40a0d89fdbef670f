#include "MountNames.h"

#include <cerrno>

#include "protocol/PrintableText.h"
#include "transfer/FileNames.h"

namespace {

std::string safeName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return std::string(name.size() + (name.empty() ? 1 : 0), '_');
    std::string safe = unprintableReplaced(name, '_');
    for (char& c : safe)
        if (c == '/') c = '_';
    return safe;
}

}  // namespace

bool showsUnchanged(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           isPrintable(name);
}

std::vector<std::string> shownNames(const std::vector<std::string>& names) {
    return distinctNames(names, safeName);
}

int deviceNameFor(std::string_view name, std::string& deviceName) {
    const std::optional<std::string> converted = deviceNameFromLocal(std::string(name));
    if (!converted) return -EILSEQ;
    if (converted->size() > longestDeviceName) return -ENAMETOOLONG;
    if (!showsUnchanged(name) || name.front() == ' ' || name.front() == '\t') return -EINVAL;
    deviceName = *converted;
    return 0;
}
