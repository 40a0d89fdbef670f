#include <glob.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "Ports.h"
#include "link/PosixSerialPort.h"

namespace {
// Numbers are handed out in the order paths are first seen.
int numberForPath(const std::string& path) {
    static std::map<std::string, int> numbers;
    auto found = numbers.find(path);
    if (found != numbers.end()) return found->second;
    const int number = static_cast<int>(numbers.size()) + 1;
    numbers.emplace(path, number);
    setPortPath(number, path);
    return number;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == ':' || c == ',') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::vector<std::string> defaultPorts() {
    // USB serial adapters and modems: where the devices are attached today.
    // Built-in UARTs are left out, so a scan never writes to unknown hardware.
    std::vector<std::string> paths;
    for (const char* pattern : {"/dev/ttyUSB*", "/dev/ttyACM*", "/dev/rfcomm*"}) {
        glob_t found{};
        if (glob(pattern, 0, nullptr, &found) == 0) {
            for (std::size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
        }
        globfree(&found);
    }
    return paths;
}
}  // namespace

std::vector<int> candidatePorts(const std::vector<std::string>& explicitPorts) {
    std::vector<std::string> paths;
    for (const std::string& entry : explicitPorts)
        for (const std::string& path : splitList(entry)) paths.push_back(path);
    if (paths.empty()) {
        if (const char* fromEnvironment = std::getenv("NIMBREL_PORTS")) paths = splitList(fromEnvironment);
    }
    if (paths.empty()) paths = defaultPorts();
    std::vector<int> numbers;
    for (const std::string& path : paths) numbers.push_back(numberForPath(path));
    return numbers;
}

std::optional<int> portFromText(const std::string& text) {
    struct stat info {};
    if (text.empty() || (text.front() != '/' && stat(text.c_str(), &info) != 0)) return std::nullopt;
    return numberForPath(text);
}

std::string portLabel(int number) {
    return portPathFor(number);
}
