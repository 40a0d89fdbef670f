#pragma once
// Where a simulated device keeps its files: in memory, or in a directory of
// real files (one device file per regular file, flat).
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace devsim {

// A time stamp as the device lists it (four-digit year here; the wire
// carries the last two digits).
struct FileTime {
    int year = 2024;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

FileTime currentFileTime();

struct StoredFile {
    std::string name;
    std::uint32_t size = 0;
    FileTime time;
};

using Bytes = std::vector<std::uint8_t>;

// The device's file system does not tell letters apart by case: "a.txt"
// names the file listed as "A.TXT", which keeps its listed name.
struct NameLess {
    bool operator()(const std::string& left, const std::string& right) const;
};

class DeviceStorage {
public:
    virtual ~DeviceStorage() = default;
    // In the order the device lists them.
    virtual std::vector<StoredFile> list() const = 0;
    virtual std::optional<Bytes> read(const std::string& name) const = 0;
    // Creates or replaces; false when the name cannot be stored.
    virtual bool write(const std::string& name, const Bytes& data) = 0;
    virtual bool remove(const std::string& name) = 0;
    virtual bool rename(const std::string& from, const std::string& to) = 0;

    std::optional<StoredFile> find(const std::string& name) const;
};

class MemoryStorage : public DeviceStorage {
public:
    std::vector<StoredFile> list() const override;
    std::optional<Bytes> read(const std::string& name) const override;
    bool write(const std::string& name, const Bytes& data) override;
    bool remove(const std::string& name) override;
    bool rename(const std::string& from, const std::string& to) override;

    // Seeds a file with a time stamp of its own.
    void put(const std::string& name, const Bytes& data, const FileTime& time);

private:
    struct Entry {
        Bytes data;
        FileTime time;
    };
    std::map<std::string, Entry, NameLess> files_;
};

// Device names map to files directly inside `directory`; names that could
// reach outside it (separators, "." and "..", control bytes) are refused.
class DirectoryStorage : public DeviceStorage {
public:
    explicit DirectoryStorage(std::filesystem::path directory);

    std::vector<StoredFile> list() const override;
    std::optional<Bytes> read(const std::string& name) const override;
    bool write(const std::string& name, const Bytes& data) override;
    bool remove(const std::string& name) override;
    bool rename(const std::string& from, const std::string& to) override;

    const std::filesystem::path& directory() const { return directory_; }

private:
    std::optional<std::filesystem::path> pathOf(const std::string& name) const;

    std::filesystem::path directory_;
};

}  // namespace devsim
