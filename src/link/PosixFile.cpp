#include "link/PosixFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

PosixFile::PosixFile(const std::string& path, Mode mode) : BasicLocalFile("PosixFile", path, mode, "/") {
    if (mode == ReadMode) {
        fd_.reset(::open(fileName().c_str(), O_RDONLY | O_CLOEXEC));
    } else {
        createBeside([this](const std::string& name) {
            fd_.reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (fd_) return Creation::Created;
            return errno == EEXIST ? Creation::NameTaken : Creation::Failed;
        });
        // A file the user keeps private stays private when it is replaced.
        struct stat replaced {};
        if (fd_ && ::lstat(fileName().c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode))
            ::fchmod(fd_.get(), replaced.st_mode & 0777);
    }
    if (!fd_) throw cannotOpen(path);
}

PosixFile::~PosixFile() {
    discardUncommitted();
}

bool PosixFile::writeOnce(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t& written) {
    // A write to a regular file may be cut short by a signal: finish it, so
    // the count written is the count asked for or the call failed.
    written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd_.get(), bytes + written, count - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::uint32_t>(n);
    }
    return true;
}

bool PosixFile::readOnce(std::uint8_t* bytes, std::uint32_t count, std::uint32_t& read) {
    ssize_t n;
    do {
        n = ::read(fd_.get(), bytes, count);
    } while (n < 0 && errno == EINTR);
    read = n > 0 ? static_cast<std::uint32_t>(n) : 0;
    return n >= 0;
}

bool PosixFile::sizeOf(std::uint32_t& size) {
    struct stat status {};
    if (::fstat(fd_.get(), &status) != 0 || status.st_size > static_cast<off_t>(UINT32_MAX - 1)) return false;
    size = static_cast<std::uint32_t>(status.st_size);
    return true;
}

bool PosixFile::flushFile() {
    return ::fsync(fd_.get()) == 0;
}

void PosixFile::closeFile() {
    fd_.reset();
}

bool PosixFile::deleteFile() {
    return ::unlink(workingName().c_str()) == 0;
}

bool PosixFile::replacePath() {
    return ::rename(workingName().c_str(), fileName().c_str()) == 0;
}

std::unique_ptr<LocalFile> openLocalFile(const std::string& path, LocalFile::Mode mode) {
    return std::make_unique<PosixFile>(path, mode);
}

std::string makeTemporaryFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/~NB_XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

bool isLocalDirectory(const std::string& path) {
    struct stat status {};
    return ::stat(BasicLocalFile::withoutEnclosingQuotes(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool removeLocalFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}
