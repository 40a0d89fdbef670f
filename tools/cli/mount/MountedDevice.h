#pragma once
// One device's files as a folder: its listing, a private copy of each file
// that is read or written, and the device's transactions one after the
// other (the device object refuses a second one, so callers wait their
// turn). Every operation answers 0 or a negative errno, as FUSE expects.
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/NBException.h"
#include "protocol/SLVFamilyDevice.h"

// The errno users understand for an error code of the device layers.
int errnoFor(const NBException& error);

struct MountSettings {
    bool allowSystemFiles = false;
    // A listing younger than this is not asked for again when a folder is read.
    std::chrono::milliseconds listingLifetime{2000};
    // Told of every failed device operation ("cannot read \"X\""); may be empty.
    std::function<void(const DeviceInfo& device, const std::string& what, const NBException& error)> report;
};

class MountedDevice {
public:
    struct Entry {
        std::string name;
        struct stat attributes;
    };
    // What a FUSE file handle points at.
    struct OpenFile;

    // `cacheFolder` is a private folder for the copies of this device's files.
    MountedDevice(const DeviceInfo& info, std::string cacheFolder, MountSettings settings);
    ~MountedDevice();
    MountedDevice(const MountedDevice&) = delete;
    MountedDevice& operator=(const MountedDevice&) = delete;

    const DeviceInfo& deviceInfo() const { return device_.deviceInfo(); }

    int list(std::vector<Entry>& entries);
    int attributes(const std::string& name, struct stat& attributes);
    // `flags` as open(2) gives them; O_TRUNC empties the file.
    int open(const std::string& name, int flags, OpenFile*& handle);
    int create(const std::string& name, OpenFile*& handle);
    int read(OpenFile& handle, char* buffer, std::size_t size, off_t offset);
    int write(OpenFile& handle, const char* buffer, std::size_t size, off_t offset);
    int truncate(OpenFile& handle, off_t size);
    int truncate(const std::string& name, off_t size);
    // Uploads what was written, replacing the device's file; on failure the
    // device keeps its old file and the error is returned.
    int flush(OpenFile& handle);
    void release(OpenFile* handle);
    int remove(const std::string& name);
    // Within this device; an existing target is refused (EEXIST).
    int rename(const std::string& from, const std::string& newName);
    int freeSpace(std::uint64_t& freeBytes, std::uint64_t& usedBytes);

    // Moves a file to another device: the copy is made first, the file here
    // is deleted only when the copy arrived.
    int moveTo(const std::string& name, MountedDevice& target, const std::string& newName);
    // The mount is going away: the device's running transaction ends at its
    // next package and no other one starts.
    void abandon() { device_.abandon(); }
    // The device was unplugged: its open files answer EIO from now on.
    void leave() {
        left_ = true;
        abandon();
    }
    bool left() const { return left_; }

private:
    struct Listed {
        std::string deviceName;
        std::uint32_t size = 0;
        std::time_t modified = 0;
    };
    struct CachedFile;
    struct Shown {
        std::string name;
        std::string deviceName;
        int listed = -1;  // index in the listing; -1 for a file made here and not yet sent
    };

    // Runs one transaction once the device is free. `applied` runs after
    // success under the state lock, before the next transaction can start,
    // so a listing never overtakes the change it should show.
    template <typename Work, typename Applied>
    int transact(const std::string& what, Work&& work, Applied&& applied);

    // With the state lock held (it is let go while the device works).
    int ensureListed(std::unique_lock<std::mutex>& state, bool refreshWhenOld);
    const Shown* find(std::unique_lock<std::mutex>& state, const std::string& name);
    // The file `name` shows, or ENOENT (or the listing's error); changeable
    // adds EPERM for a system file.
    int lookUp(std::unique_lock<std::mutex>& state, const std::string& name, const Shown*& shown);
    int changeable(std::unique_lock<std::mutex>& state, const std::string& name, const Shown*& shown);
    void rebuildView();
    bool nameTaken(const std::string& deviceName, const std::string& except) const;
    std::shared_ptr<CachedFile> cachedFor(const std::string& deviceName);
    int load(std::unique_lock<std::mutex>& state, CachedFile& file, Listed listed);
    int openDescriptor(CachedFile& file, bool empty);
    void detach(const std::string& deviceName);
    void storeListed(const std::string& deviceName, std::uint32_t size);
    void fillAttributes(const Shown& shown, struct stat& attributes) const;
    int receiveNew(const std::string& localPath, const std::string& deviceName);
    bool writable(const std::string& deviceName) const;

    SLVFamilyDevice device_;
    std::string cacheFolder_;
    MountSettings settings_;
    std::mutex deviceMutex_;  // one transaction at a time; taken before stateMutex_, never after
    std::mutex stateMutex_;
    std::condition_variable loaded_;
    std::vector<Listed> listing_;
    bool listed_ = false;
    std::chrono::steady_clock::time_point listedAt_;
    std::map<std::string, std::shared_ptr<CachedFile>> files_;  // by device name
    std::vector<Shown> view_;
    unsigned nextCacheNumber_ = 0;
    std::atomic<bool> left_{false};
};
