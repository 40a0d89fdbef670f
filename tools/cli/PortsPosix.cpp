#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>

#include "PortWatcher.h"
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
    // USB serial adapters, modems and Bluetooth: where the devices are
    // attached today. Built-in UARTs are left out, so a scan never writes to
    // unknown hardware.
    const std::string folder = portFolder();
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (isSerialPortName(name)) names.push_back(name);
    }
    // ttyUSB first, then ttyACM, then rfcomm, each in number order.
    const auto key = [](const std::string& name) {
        return std::make_tuple(name.starts_with("rfcomm") ? 2 : name.starts_with("ttyACM") ? 1 : 0, name.size(), name);
    };
    std::sort(names.begin(), names.end(), [&key](const auto& a, const auto& b) { return key(a) < key(b); });
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(folder + "/" + name);
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

std::optional<std::string> portProblem(int number) {
    const std::string path = portPathFor(number);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? "it does not exist" : std::strerror(errno);
    if (!S_ISCHR(info.st_mode)) return "it is not a serial port";
    // Opened without waiting for a carrier and closed at once; the probe
    // opens it again for real.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY) return "another program is using it";
        if (errno != EACCES && errno != EPERM) return std::string("it cannot be opened: ") + std::strerror(errno);
        const group* owner = info.st_gid == 0 ? nullptr : getgrgid(info.st_gid);
        if (!owner)
            return std::string(
                "permission denied; serial ports usually belong to the dialout group "
                "(sudo usermod -aG dialout $USER, then log in again), this one to root alone");
        const std::string name = owner->gr_name;
        return "permission denied; the port belongs to the " + name + " group: sudo usermod -aG " + name +
               " $USER, then log in again";
    }
    const bool serial = isatty(fd) != 0;
    close(fd);
    if (!serial) return "it is not a serial port";
    return std::nullopt;
}
