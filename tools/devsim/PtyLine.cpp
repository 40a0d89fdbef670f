#include "PtyLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace devsim {

namespace {

using Clock = std::chrono::steady_clock;

// How often blocked reads and writes look at the stop flag.
constexpr Milliseconds stopPoll{100};

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void makeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) throw systemError("tcgetattr");
    cfmakeraw(&settings);
    cfsetispeed(&settings, B19200);
    cfsetospeed(&settings, B19200);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) throw systemError("tcsetattr");
}

// Wine asks for odd parity at every open of the port. A pseudo-terminal
// keeps the PARODD bit (never PARENB), and from then on the same request
// fails with EINVAL, so the PC could open the port only once. Clearing the
// bit whenever the PC has spoken or the line is idle lets it open the port
// again and again, as on a cable; parity means nothing on a pty anyway.
void forgetOddParity(int slave) {
    termios settings{};
    if (tcgetattr(slave, &settings) == 0 && (settings.c_cflag & PARODD)) {
        settings.c_cflag &= ~PARODD;
        tcsetattr(slave, TCSANOW, &settings);
    }
}

// Never another simulator's link: one whose terminal that simulator holds
// is refused; one left by a simulator that was killed is replaced.
void refuseLinkInUse(const std::filesystem::path& link) {
    const std::filesystem::path folder = link.has_parent_path() ? link.parent_path() : ".";
    if (!std::filesystem::is_directory(folder))
        throw std::runtime_error("the folder " + folder.string() + " of the link does not exist");
    std::error_code unused;
    if (!std::filesystem::is_symlink(link, unused)) return;
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno != EBUSY) return;
    const bool held = fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (fd >= 0) ::close(fd);
    if (held) throw std::runtime_error(link.string() + " is the link of a device that another simulator runs");
}

}  // namespace

PtyLine::PtyLine(std::filesystem::path linkPath, const std::atomic<bool>& stopping)
    : linkPath_(std::move(linkPath)), stopping_(stopping), lastActivity_(Clock::now()) {
    refuseLinkInUse(linkPath_);
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) throw systemError("posix_openpt");
    try {
        if (grantpt(master_) != 0 || unlockpt(master_) != 0) throw systemError("grantpt/unlockpt");
        char name[128];
        if (ptsname_r(master_, name, sizeof name) != 0) throw systemError("ptsname_r");
        slavePath_ = name;
        // Raw before anything is sent, so no byte is echoed or translated.
        makeRaw(master_);
        // Our own slave descriptor keeps the terminal alive between the PC's
        // opens: without it the master reads EIO whenever the PC has closed.
        // It is raw too, since until the PC sets its own mode the slave's
        // settings would echo the device's bytes back to it.
        slave_ = ::open(name, O_RDWR | O_NOCTTY);
        if (slave_ < 0) throw systemError(std::string("open ") + name);
        makeRaw(slave_);
        // Held while we run, so that another simulator leaves our link alone.
        ::flock(slave_, LOCK_EX | LOCK_NB);

        std::filesystem::path temporary = linkPath_;
        temporary += ".devsim-" + std::to_string(::getpid());
        ::unlink(temporary.c_str());
        if (::symlink(name, temporary.c_str()) != 0) throw systemError("symlink " + temporary.string());
        if (::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
            ::unlink(temporary.c_str());
            throw systemError("rename to " + linkPath_.string());
        }
    } catch (...) {
        if (slave_ >= 0) ::close(slave_);
        ::close(master_);
        throw;
    }
}

PtyLine::~PtyLine() {
    char target[256];
    const ssize_t length = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == slavePath_) ::unlink(linkPath_.c_str());
    ::close(slave_);
    ::close(master_);
}

std::optional<std::uint8_t> PtyLine::read(Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (position_ == buffered_) {
        if (stopping_) throw LineClosed();
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now());
        if (left.count() < 0) return std::nullopt;
        pollfd fd{master_, POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(std::min(left, stopPoll).count()) + 1);
        if (ready <= 0) {
            forgetOddParity(slave_);
            continue;
        }
        const ssize_t got = ::read(master_, buffer_, sizeof buffer_);
        if (got > 0) {
            forgetOddParity(slave_);
            buffered_ = static_cast<std::size_t>(got);
            position_ = 0;
            lastActivity_ = Clock::now();
        } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
            // EIO: nobody has the slave open. Wait rather than spin.
            std::this_thread::sleep_for(Milliseconds(20));
        }
    }
    return buffer_[position_++];
}

void PtyLine::write(const std::uint8_t* bytes, std::size_t count) {
    std::size_t written = 0;
    while (written < count) {
        if (stopping_) throw LineClosed();
        const ssize_t done = ::write(master_, bytes + written, count - written);
        if (done > 0) {
            written += static_cast<std::size_t>(done);
        } else if (done < 0 && errno != EAGAIN && errno != EINTR) {
            return;  // the bytes are lost, as on an unplugged cable
        } else {
            // The slave's queue is full until the PC reads.
            pollfd fd{master_, POLLOUT, 0};
            ::poll(&fd, 1, static_cast<int>(stopPoll.count()));
        }
    }
}

}  // namespace devsim
