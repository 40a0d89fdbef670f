#include <fcntl.h>
#include <glob.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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
