#include "DeviceStorage.h"

#include "protocol/DeviceNames.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace devsim {

namespace {

// Suffix of a file being written; such files are not listed.
constexpr const char* partExtension = ".devsim-part";

// Broken down in UTC: the device has no notion of time zones.
FileTime fileTimeOf(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(when - day)};
    return FileTime{int(date.year()),          int(unsigned(date.month())), int(unsigned(date.day())),
                    int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count())};
}

}  // namespace

bool NameLess::operator()(const std::string& left, const std::string& right) const {
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                        [](char a, char b) { return asciiUpper(a) < asciiUpper(b); });
}

FileTime currentFileTime() {
    return fileTimeOf(std::chrono::system_clock::now());
}

std::optional<StoredFile> DeviceStorage::find(const std::string& name) const {
    for (StoredFile& file : list())
        if (sameDeviceName(file.name, name)) return file;
    return std::nullopt;
}

std::vector<StoredFile> MemoryStorage::list() const {
    std::vector<StoredFile> files;
    for (const auto& [name, entry] : files_)
        files.push_back({name, static_cast<std::uint32_t>(entry.data.size()), entry.time});
    return files;
}

std::optional<Bytes> MemoryStorage::read(const std::string& name) const {
    const auto it = files_.find(name);
    if (it == files_.end()) return std::nullopt;
    return it->second.data;
}

bool MemoryStorage::write(const std::string& name, const Bytes& data) {
    files_[name] = Entry{data, currentFileTime()};
    return true;
}

bool MemoryStorage::remove(const std::string& name) {
    return files_.erase(name) == 1;
}

bool MemoryStorage::rename(const std::string& from, const std::string& to) {
    auto node = files_.extract(from);
    if (node.empty() || files_.count(to) != 0) {
        if (!node.empty()) files_.insert(std::move(node));
        return false;
    }
    node.key() = to;
    files_.insert(std::move(node));
    return true;
}

void MemoryStorage::put(const std::string& name, const Bytes& data, const FileTime& time) {
    files_[name] = Entry{data, time};
}

DirectoryStorage::DirectoryStorage(fs::path directory) : directory_(std::move(directory)) {
    fs::create_directories(directory_);
}

std::optional<fs::path> DirectoryStorage::pathOf(const std::string& name) const {
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    const bool unsafe = std::any_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20;
    });
    if (unsafe) return std::nullopt;
    if (const auto existing = find(name)) return directory_ / fs::path(existing->name);
    return directory_ / fs::path(name);
}

std::vector<StoredFile> DirectoryStorage::list() const {
    std::vector<StoredFile> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory_, error)) {
        if (!entry.is_regular_file(error) || entry.path().extension() == partExtension) continue;
        const auto size = entry.file_size(error);
        if (error) continue;
        const auto written = entry.last_write_time(error);
        const FileTime time = error ? FileTime{}
                                    : fileTimeOf(std::chrono::time_point_cast<std::chrono::system_clock::duration>(
                                          std::chrono::file_clock::to_sys(written)));
        files.push_back({entry.path().filename().string(), static_cast<std::uint32_t>(size), time});
    }
    std::sort(files.begin(), files.end(), [](const StoredFile& a, const StoredFile& b) { return a.name < b.name; });
    return files;
}

std::optional<Bytes> DirectoryStorage::read(const std::string& name) const {
    const auto path = pathOf(name);
    std::error_code error;
    if (!path || !fs::is_regular_file(*path, error)) return std::nullopt;
    std::ifstream in(*path, std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool DirectoryStorage::write(const std::string& name, const Bytes& data) {
    const auto path = pathOf(name);
    if (!path) return false;
    std::error_code error;
    if (fs::exists(*path, error) && !fs::is_regular_file(*path, error)) return false;
    // Written beside the target and renamed over it, so a failed write never
    // leaves half a file under the device name.
    fs::path temporary = *path;
    temporary += partExtension;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (!out.flush()) {
            out.close();
            fs::remove(temporary, error);
            return false;
        }
    }
    fs::rename(temporary, *path, error);
    if (error) fs::remove(temporary, error);
    return !error;
}

bool DirectoryStorage::remove(const std::string& name) {
    const auto path = pathOf(name);
    std::error_code error;
    if (!path || !fs::is_regular_file(*path, error)) return false;
    return fs::remove(*path, error);
}

bool DirectoryStorage::rename(const std::string& from, const std::string& to) {
    const auto source = pathOf(from);
    auto target = pathOf(to);
    std::error_code error;
    if (!source || !target || !fs::is_regular_file(*source, error)) return false;
    // A new case for the same name is a rename; any other existing name is not.
    if (*source != *target && fs::exists(*target, error)) return false;
    if (*source == *target) target = directory_ / fs::path(to);
    fs::rename(*source, *target, error);
    return !error;
}

}  // namespace devsim
