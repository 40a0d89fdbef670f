#include "link/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "link/Pause.h"
#include "link/PortHolder.h"
#include "link/PortOpener.h"

namespace {
std::mutex pathsLock;
std::map<int, std::string>& portPaths() {
    static std::map<int, std::string> paths;
    return paths;
}

std::string nameFor(int portNumber) {
    std::string path = portPathFor(portNumber);
    return path.empty() ? "COM" + std::to_string(portNumber) : path;
}

constexpr std::uint32_t purgePauseMs = 50;
constexpr std::uint32_t settlePauseMs = 500;
// Windows gives a write 10 ms per byte plus 10 ms; a real line at 19200
// baud needs about half a millisecond per byte.
constexpr std::uint32_t writePerByteMs = 10;
constexpr std::uint32_t writeConstantMs = 10;

using Clock = std::chrono::steady_clock;

enum class Readiness { Ready, TimeUp, LineGone };

// Waits until `fd` is ready for `events` or the deadline passes.
Readiness waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return Readiness::TimeUp;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return Readiness::TimeUp;
        // A hung-up terminal also reports itself readable, and every read
        // then gives 0 bytes: without this the caller would spin until its
        // deadline. The callers read what is buffered before they wait.
        if (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) return Readiness::LineGone;
        if (ready > 0 && (entry.revents & events) != 0) return Readiness::Ready;
        return Readiness::LineGone;
    }
}
}  // namespace

void setPortPath(int portNumber, std::string devicePath) {
    std::lock_guard<std::mutex> lock(pathsLock);
    portPaths()[portNumber] = std::move(devicePath);
}

void clearPortPaths() {
    std::lock_guard<std::mutex> lock(pathsLock);
    portPaths().clear();
}

std::string portPathFor(int portNumber) {
    std::lock_guard<std::mutex> lock(pathsLock);
    const auto found = portPaths().find(portNumber);
    return found == portPaths().end() ? std::string() : found->second;
}

PosixSerialPort::PosixSerialPort(int portNumber, ReadTiming timing)
    : PosixSerialPort(portNumber, nameFor(portNumber), portPathFor(portNumber), timing) {}

PosixSerialPort::PosixSerialPort(const std::string& devicePath, ReadTiming timing)
    : PosixSerialPort(0, devicePath, devicePath, timing) {}

PosixSerialPort::PosixSerialPort(int portNumber, const std::string& deviceName, const std::string& path,
                                 ReadTiming timing)
    : BasicSerialPort("PosixSerialPort", deviceName), timing_(timing) {
    initializePort(portNumber, path);
}

PosixSerialPort::~PosixSerialPort() {
    // Exclusive use is a property of the terminal, not of our descriptor:
    // lift it, or the device stays locked while another process holds it open.
    if (fd_) ::ioctl(fd_.get(), TIOCNXCL);
}

void PosixSerialPort::initializePort(int portNumber, const std::string& path) {
    auto openDevice = [this, &path] {
        if (path.empty()) return false;
        fd_.reset(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        return fd_.valid();
    };
    if (!openDevice() && (errno == EACCES || errno == EBUSY)) {
        // There is no holder to borrow from on POSIX; this keeps the rule.
        if (!borrowPortFromHolder(portNumber, openDevice)) throw errors().cannotOpen();
    }
    // A missing device is reported by the settings read, as on Windows.
    configure();
}

void PosixSerialPort::configure() {
    termios settings{};
    if (!fd_ || ::tcgetattr(fd_.get(), &settings) != 0) throw errors().cannotReadSettings();
    ::ioctl(fd_.get(), TIOCEXCL);

    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B19200);
    ::cfsetospeed(&settings, B19200);
    settings.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS | HUPCL);
    settings.c_cflag |= CS8 | CLOCAL | CREAD | PARENB | PARODD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_.get(), TCSANOW, &settings) != 0) {
        // A pseudo-terminal has no parity and refuses to be asked for it.
        settings.c_cflag &= ~(PARENB | PARODD);
        if (errno != EINVAL || ::tcsetattr(fd_.get(), TCSANOW, &settings) != 0) throw errors().cannotWriteSettings();
        parityDropped_ = true;
    }
    purgeBuffers();
    pauseFor(settlePauseMs);
}

void PosixSerialPort::purgeBuffers() {
    if (!fd_) return;
    pauseFor(purgePauseMs);
    ::tcflush(fd_.get(), TCIOFLUSH);
}

void PosixSerialPort::writeBuffer(const std::uint8_t* bytes, std::uint32_t count) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(writePerByteMs * count + writeConstantMs);
    std::uint32_t done = 0;
    while (done < count) {
        const ssize_t written = ::write(fd_.get(), bytes + done, count - done);
        if (written > 0) {
            done += static_cast<std::uint32_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno != EAGAIN) throw errors().cannotWrite();
        const Readiness readiness = waitFor(fd_.get(), POLLOUT, deadline);
        if (readiness == Readiness::LineGone) throw errors().cannotWrite();
        // Out of time: like a Windows write, the count written is not checked.
        if (readiness == Readiness::TimeUp) return;
    }
}

std::uint32_t PosixSerialPort::readOnce(std::uint8_t* bytes, std::uint32_t count, bool* callFailed) {
    *callFailed = false;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(std::uint64_t{timing_.perByteMs} * count + timing_.constantMs);
    std::uint32_t got = 0;
    while (got < count) {
        // A raw terminal without VMIN answers 0 when nothing is there.
        const ssize_t n = ::read(fd_.get(), bytes + got, count - got);
        if (n > 0) {
            got += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        const Readiness readiness =
            (n < 0 && errno != EAGAIN) ? Readiness::LineGone : waitFor(fd_.get(), POLLIN, deadline);
        if (readiness == Readiness::TimeUp) break;
        if (readiness == Readiness::LineGone) {
            // The other end is gone (pty closed, adapter pulled): the call
            // failed, but what came before is kept.
            *callFailed = true;
            break;
        }
    }
    return got;
}

std::uint32_t PosixSerialPort::takeLineErrors() {
    return 0;
}

std::unique_ptr<SerialPort> openPlatformPort(int portNumber) {
    return std::make_unique<PosixSerialPort>(portNumber);
}
