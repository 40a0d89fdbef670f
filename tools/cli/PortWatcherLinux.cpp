#include "PortWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

std::string portFolder() {
    const char* folder = std::getenv("NIMBREL_PORT_FOLDER");
    std::error_code error;
    const std::filesystem::path chosen = folder && *folder ? folder : "/dev";
    std::string path = std::filesystem::absolute(chosen, error).lexically_normal().string();
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool isSerialPortName(std::string_view name) {
    // The number alone follows: "ttyUSB0.tmp", a link being made, is no port yet.
    for (const std::string_view prefix : {"ttyUSB", "ttyACM", "rfcomm"})
        if (name.size() > prefix.size() && name.starts_with(prefix) &&
            name.find_first_not_of("0123456789", prefix.size()) == std::string_view::npos)
            return true;
    return false;
}

PortWatcher::PortWatcher(std::string folder) : folder_(std::move(folder)) {
    events_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // A node appears, then udev gives it its group (IN_ATTRIB); links are
    // made beside and renamed into place.
    const std::uint32_t mask =
        IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
    if (events_ < 0 || wake_ < 0 || inotify_add_watch(events_, folder_.c_str(), mask) < 0) {
        const std::string reason = std::strerror(errno);
        if (events_ >= 0) close(events_);
        if (wake_ >= 0) close(wake_);
        throw std::runtime_error("cannot watch " + folder_ + " for devices: " + reason);
    }
}

PortWatcher::~PortWatcher() {
    close(events_);
    close(wake_);
}

void PortWatcher::stop() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
}

std::vector<PortChange> PortWatcher::next() {
    std::vector<PortChange> changes;
    while (changes.empty()) {
        std::array<pollfd, 2> waits{{{events_, POLLIN, 0}, {wake_, POLLIN, 0}}};
        if (poll(waits.data(), waits.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return {};
        }
        if (waits[1].revents != 0) return {};
        alignas(inotify_event) std::array<char, 8192> buffer{};
        const ssize_t got = read(events_, buffer.data(), buffer.size());
        if (got <= 0) {
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            return {};
        }
        for (ssize_t at = 0; at < got;) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + at, sizeof event);
            // The name is padded with zeros to the length given.
            const char* start = buffer.data() + at + sizeof event;
            const std::string_view name(start, event.len > 0 ? strnlen(start, event.len) : 0);
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                stop();  // nothing more can come
                return changes;
            }
            if (!isSerialPortName(name)) continue;
            const bool present = (event.mask & (IN_CREATE | IN_MOVED_TO | IN_ATTRIB)) != 0;
            changes.push_back({folder_ + "/" + std::string(name), present});
        }
    }
    return changes;
}
