#include "devices/FileCatalogueStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "link/PosixFd.h"

namespace {

constexpr char separator = '\t';

struct CatalogueContents {
    StoredCounters counters{};
    std::array<std::vector<RememberedName>, modelCount> names;
};

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = line.find(separator, start);
        fields.push_back(line.substr(start, end - start));
        if (end == std::string::npos) return fields;
        start = end + 1;
    }
}

std::optional<std::uint32_t> parseCounter(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

void storeName(std::vector<RememberedName>& names, const std::string& serial, const std::string& name) {
    for (RememberedName& entry : names) {
        if (entry.serial == serial) {
            entry.name = name;
            return;
        }
    }
    names.push_back({serial, name});
}

void parseLine(const std::string& line, CatalogueContents& contents) {
    const std::vector<std::string> fields = splitFields(line);
    for (std::size_t i = 0; i < modelCount; ++i) {
        const DeviceModel& model = deviceModels[i];
        if (fields.size() == 3 && fields[0] == "counter" && fields[1] == model.counterValue) {
            if (auto value = parseCounter(fields[2])) contents.counters[i] = value;
        } else if (fields.size() == 4 && fields[0] == "name" && fields[1] == model.code) {
            storeName(contents.names[i], unescapeCatalogueText(fields[2]), unescapeCatalogueText(fields[3]));
        }
    }
}

// False when a catalogue exists but cannot be read: writing over it then
// would lose every name in it.
bool readContents(const std::filesystem::path& file, CatalogueContents& contents) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::error_code error;
        return !std::filesystem::exists(file, error) && !error;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        parseLine(line, contents);
    }
    return !in.bad();
}

CatalogueContents readContents(const std::filesystem::path& file) {
    CatalogueContents contents;
    readContents(file, contents);
    return contents;
}

std::string formatContents(const CatalogueContents& contents) {
    std::ostringstream out;
    out << "# Nimbrel device catalogue: per-model counters and remembered device names.\n";
    for (std::size_t i = 0; i < modelCount; ++i) {
        if (contents.counters[i])
            out << "counter\t" << deviceModels[i].counterValue << '\t' << *contents.counters[i] << '\n';
    }
    for (std::size_t i = 0; i < modelCount; ++i) {
        for (const RememberedName& entry : contents.names[i]) {
            out << "name\t" << deviceModels[i].code << '\t' << escapeCatalogueText(entry.serial) << '\t'
                << escapeCatalogueText(entry.name) << '\n';
        }
    }
    return out.str();
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Held by a writer while it reads, changes and replaces the catalogue, so
// two processes never lose each other's changes: an exclusive flock on the
// catalogue file itself. A writer that finds the file replaced while it
// waited locks the new one.
class CatalogueLock {
public:
    explicit CatalogueLock(const std::filesystem::path& file) {
        std::error_code error;
        if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
        for (int attempt = 0; attempt < lockAttempts && !error; ++attempt) {
            fd_.reset(::open(file.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!fd_) return;
            struct stat held {
            }, current{};
            if (::flock(fd_.get(), LOCK_EX) == 0 && ::fstat(fd_.get(), &held) == 0 &&
                ::stat(file.c_str(), &current) == 0 && held.st_dev == current.st_dev && held.st_ino == current.st_ino)
                return;
            fd_.reset();
        }
    }
    bool held() const { return fd_.valid(); }

private:
    static constexpr int lockAttempts = 100;
    UniqueFd fd_;
};

// The new catalogue goes to a file of its own first; only once it is on the
// disk does it take the old one's place. Called under the lock.
bool replaceContents(const std::filesystem::path& file, const CatalogueContents& contents) {
    const std::filesystem::path directory = file.parent_path();
    std::filesystem::path temporary = file;
    temporary += ".new-" + std::to_string(::getpid());

    // A file left there by a writer that died is ours to remove; a link
    // put there is never followed.
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = writeAll(fd, formatContents(contents)) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts only once the directory is on the disk too.
    const int directoryFd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd >= 0) {
        ::fsync(directoryFd);
        ::close(directoryFd);
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string escapeCatalogueText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char code[5];
                    std::snprintf(code, sizeof code, "\\x%02X", byte);
                    escaped += code;
                } else {
                    escaped += c;
                }
        }
    }
    return escaped;
}

std::string unescapeCatalogueText(const std::string& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        const char code = text[++i];
        if (code == '\\')
            plain += '\\';
        else if (code == 't')
            plain += '\t';
        else if (code == 'n')
            plain += '\n';
        else if (code == 'r')
            plain += '\r';
        else if (code == 'x' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            plain += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            // Not one of ours: keep it as written.
            plain += '\\';
            plain += code;
        }
    }
    return plain;
}

FileCatalogueStore::FileCatalogueStore(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path FileCatalogueStore::userFile() {
    std::filesystem::path base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !home[0]) {
            const passwd* user = ::getpwuid(::getuid());
            home = user ? user->pw_dir : "/";
        }
        base = std::filesystem::path(home) / ".config";
    }
    return base / "nimbrel" / "devices";
}

StoredCounters FileCatalogueStore::readCounters() {
    return readContents(file_).counters;
}

bool FileCatalogueStore::writeCounters(const StoredCounters& counters) {
    const CatalogueLock lock(file_);
    CatalogueContents contents;
    if (!lock.held() || !readContents(file_, contents)) return false;
    for (std::size_t i = 0; i < modelCount; ++i) {
        if (counters[i]) contents.counters[i] = counters[i];
    }
    return replaceContents(file_, contents);
}

std::vector<RememberedName> FileCatalogueStore::readNames(const DeviceModel& model) {
    return readContents(file_).names[modelPosition(model)];
}

bool FileCatalogueStore::writeName(const DeviceModel& model, const std::string& serial, const std::string& name) {
    const CatalogueLock lock(file_);
    CatalogueContents contents;
    if (!lock.held() || !readContents(file_, contents)) return false;
    storeName(contents.names[modelPosition(model)], serial, name);
    return replaceContents(file_, contents);
}

std::unique_ptr<CatalogueStore> openUserCatalogueStore() {
    return std::make_unique<FileCatalogueStore>();
}
