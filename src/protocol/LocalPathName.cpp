#include "protocol/LocalPathName.h"

std::optional<std::string> lastPathComponent(const std::string& path, char separator) {
    std::string copy = path;
    if (copy.empty()) return std::nullopt;
    if (copy.front() == '"') {
        copy.erase(0, 1);
        if (copy.empty()) return std::nullopt;
    }
    if (copy.back() == '"') {
        copy.pop_back();
        if (copy.empty()) return std::nullopt;
    }
    const std::size_t last = copy.rfind(separator);
    if (last == std::string::npos) return copy;
    return copy.substr(last + 1);
}
