#include "MountedDevice.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "../DeviceTime.h"
#include "MountNames.h"
#include "protocol/PrintableText.h"
#include "transfer/FileNames.h"

namespace {
using Clock = std::chrono::steady_clock;

// More than a folder of the Explorer shows: the mount lists what the device sends.
constexpr std::uint32_t mostListedFiles = 4096;

std::uint32_t localSize(const std::string& path) {
    struct stat local {};
    return ::stat(path.c_str(), &local) == 0 ? static_cast<std::uint32_t>(local.st_size) : 0;
}

// A device name in a message: in UTF-8, escaped.
std::string quoted(const std::string& deviceName) {
    return "\"" + printable(deviceNameForDisplay(deviceName)) + "\"";
}
}  // namespace

int errnoFor(const NBException& error) {
    switch (error.code) {
        case ErrorCode::FileNotFoundOnDevice:
            return ENOENT;
        case ErrorCode::NotEnoughMemory:
            return ENOSPC;
        case ErrorCode::IllegalTargetFileName:
        case ErrorCode::IllegalSourceFileName:
            return ENAMETOOLONG;
        case ErrorCode::FileAlreadyExists:
            return EEXIST;
        default:
            return EIO;
    }
}

struct MountedDevice::CachedFile {
    std::string deviceName;
    std::string localPath;
    int fd = -1;
    int opens = 0;
    bool loading = false;
    bool loaded = false;           // localPath holds the file's bytes
    bool dirty = false;            // changed here and not yet on the device
    bool onDevice = true;          // false for a file made here and never sent
    bool detached = false;         // deleted or moved away: never sent again
    bool adoptListing = false;     // just sent: the next listing describes this copy
    std::uint64_t generation = 0;  // counts changes, so an upload knows whether it sent the last one
    std::uint32_t copiedSize = 0;  // the listing's size and date when the copy was made
    std::time_t copiedTime = 0;
    std::uint32_t deviceSize = 0;  // the device's file, counted as room when it is replaced
};

struct MountedDevice::OpenFile {
    std::shared_ptr<CachedFile> file;
    bool writable = false;
};

MountedDevice::MountedDevice(const DeviceInfo& info, std::string cacheFolder, MountSettings settings)
    : device_(info), cacheFolder_(std::move(cacheFolder)), settings_(std::move(settings)) {}

MountedDevice::~MountedDevice() {
    for (auto& [name, file] : files_)
        if (file->fd >= 0) ::close(file->fd);
}

template <typename Work, typename Applied>
int MountedDevice::transact(const std::string& what, Work&& work, Applied&& applied) {
    std::lock_guard device(deviceMutex_);
    try {
        work();
    } catch (NBException error) {
        if (settings_.report) settings_.report(device_.deviceInfo(), what, error);
        return -errnoFor(error);
    } catch (...) {
        return -EIO;
    }
    std::lock_guard state(stateMutex_);
    applied();
    return 0;
}

int MountedDevice::ensureListed(std::unique_lock<std::mutex>& state, bool refreshWhenOld) {
    if (listed_ && (!refreshWhenOld || Clock::now() - listedAt_ < settings_.listingLifetime)) return 0;
    const bool haveListing = listed_;
    state.unlock();
    std::unique_lock device(deviceMutex_, std::try_to_lock);
    if (!device.owns_lock()) {
        // The device is busy with a transfer: the listing it had serves meanwhile.
        if (haveListing) {
            state.lock();
            return 0;
        }
        device.lock();
    }
    std::vector<FileListEntry> files;
    int result = 0;
    try {
        files = device_.sendFileList(mostListedFiles);
    } catch (NBException error) {
        if (settings_.report) settings_.report(device_.deviceInfo(), "cannot list the files", error);
        result = -errnoFor(error);
    } catch (...) {
        result = -EIO;
    }
    state.lock();
    if (result != 0) return result;
    listing_.clear();
    for (const FileListEntry& entry : files) listing_.push_back({entry.name, entry.size, deviceTime(entry)});
    listed_ = true;
    listedAt_ = Clock::now();
    for (auto& [name, file] : files_) {
        if (!file->adoptListing) continue;
        for (const Listed& listed : listing_)
            if (listed.deviceName == name && listed.size == file->copiedSize) file->copiedTime = listed.modified;
        file->adoptListing = false;
    }
    rebuildView();
    return 0;
}

const MountedDevice::Shown* MountedDevice::find(std::unique_lock<std::mutex>& state, const std::string& name) {
    auto match = [&]() -> const Shown* {
        for (const Shown& shown : view_)
            if (shown.name == name) return &shown;
        return nullptr;
    };
    if (const Shown* shown = match()) return shown;
    // The file may have come to the device since the listing was made.
    if (ensureListed(state, true) != 0) return nullptr;
    return match();
}

void MountedDevice::rebuildView() {
    std::vector<std::string> deviceNames, names;
    std::vector<int> indexes;
    auto add = [&](const std::string& deviceName, int index) {
        deviceNames.push_back(deviceName);
        names.push_back(deviceNameForDisplay(deviceName));
        indexes.push_back(index);
    };
    for (std::size_t i = 0; i < listing_.size(); ++i) add(listing_[i].deviceName, static_cast<int>(i));
    for (const auto& [name, file] : files_)
        if (!file->onDevice) add(name, -1);
    const std::vector<std::string> shown = shownNames(names);
    view_.clear();
    for (std::size_t i = 0; i < names.size(); ++i) view_.push_back({shown[i], deviceNames[i], indexes[i]});
}

int MountedDevice::lookUp(std::unique_lock<std::mutex>& state, const std::string& name, const Shown*& shown) {
    if (const int result = ensureListed(state, false)) return result;
    shown = find(state, name);
    return shown ? 0 : -ENOENT;
}

int MountedDevice::changeable(std::unique_lock<std::mutex>& state, const std::string& name, const Shown*& shown) {
    if (const int result = lookUp(state, name, shown)) return result;
    return writable(shown->deviceName) ? 0 : -EPERM;
}

bool MountedDevice::nameTaken(const std::string& deviceName, const std::string& except) const {
    const std::string name = deviceNameForDisplay(deviceName);
    return std::any_of(view_.begin(), view_.end(), [&](const Shown& shown) {
        return shown.deviceName != except && (sameDeviceName(shown.deviceName, deviceName) || shown.name == name);
    });
}

bool MountedDevice::writable(const std::string& deviceName) const {
    return settings_.allowSystemFiles || !isSystemFileName(deviceName);
}

std::shared_ptr<MountedDevice::CachedFile> MountedDevice::cachedFor(const std::string& deviceName) {
    std::shared_ptr<CachedFile>& file = files_[deviceName];
    if (!file) {
        file = std::make_shared<CachedFile>();
        file->deviceName = deviceName;
        file->localPath = cacheFolder_ + "/" + std::to_string(++nextCacheNumber_);
    }
    return file;
}

void MountedDevice::detach(const std::string& deviceName) {
    const auto found = files_.find(deviceName);
    if (found == files_.end()) return;
    found->second->detached = true;
    if (found->second->opens == 0) ::unlink(found->second->localPath.c_str());
    files_.erase(found);
}

void MountedDevice::storeListed(const std::string& deviceName, std::uint32_t size) {
    const std::time_t now = std::time(nullptr);
    auto found = std::find_if(listing_.begin(), listing_.end(),
                              [&](const Listed& listed) { return sameDeviceName(listed.deviceName, deviceName); });
    if (found == listing_.end()) {
        listing_.push_back({deviceName, size, now});
    } else {
        *found = {deviceName, size, now};
    }
    rebuildView();
}

void MountedDevice::fillAttributes(const Shown& shown, struct stat& attributes) const {
    attributes = {};
    attributes.st_mode = S_IFREG | (writable(shown.deviceName) ? 0644 : 0444);
    attributes.st_nlink = 1;
    attributes.st_uid = ::getuid();
    attributes.st_gid = ::getgid();
    if (shown.listed >= 0) {
        attributes.st_size = listing_[shown.listed].size;
        attributes.st_mtim.tv_sec = listing_[shown.listed].modified;
    }
    // What is written here shows before it reaches the device.
    const auto cached = files_.find(shown.deviceName);
    struct stat local {};
    if (cached != files_.end() && cached->second->loaded && (cached->second->dirty || !cached->second->onDevice) &&
        ::stat(cached->second->localPath.c_str(), &local) == 0) {
        attributes.st_size = local.st_size;
        attributes.st_mtim = local.st_mtim;
    }
    attributes.st_atim = attributes.st_ctim = attributes.st_mtim;
    attributes.st_blocks = (attributes.st_size + 511) / 512;
}

int MountedDevice::list(std::vector<Entry>& entries) {
    std::unique_lock state(stateMutex_);
    if (const int result = ensureListed(state, true)) return result;
    for (const Shown& shown : view_) {
        entries.push_back({shown.name, {}});
        fillAttributes(shown, entries.back().attributes);
    }
    return 0;
}

int MountedDevice::attributes(const std::string& name, struct stat& attributes) {
    std::unique_lock state(stateMutex_);
    const Shown* shown = nullptr;
    if (const int result = lookUp(state, name, shown)) return result;
    fillAttributes(*shown, attributes);
    return 0;
}

int MountedDevice::openDescriptor(CachedFile& file, bool empty) {
    if (file.fd < 0) {
        file.fd =
            ::open(file.localPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (empty ? O_TRUNC : 0), 0600);
        if (file.fd < 0) return -errno;
    } else if (empty && ::ftruncate(file.fd, 0) != 0) {
        return -errno;
    }
    if (empty) file.loaded = true;
    return 0;
}

int MountedDevice::load(std::unique_lock<std::mutex>& state, CachedFile& file, Listed listed) {
    while (file.loading) loaded_.wait(state);
    // A copy in use by others, or holding changes, is never replaced under them.
    const bool current = file.copiedSize == listed.size && file.copiedTime == listed.modified;
    if (file.loaded && (file.dirty || file.opens > 1 || file.adoptListing || current)) return 0;
    file.loading = true;
    if (file.fd >= 0) {
        ::close(file.fd);
        file.fd = -1;
    }
    const std::string deviceName = file.deviceName, localPath = file.localPath;
    state.unlock();
    const int result = transact(
        "cannot read " + quoted(deviceName), [&] { device_.sendFile(deviceName, localPath, listed.size, {}); },
        [&] {
            file.copiedSize = file.deviceSize = listed.size;
            file.copiedTime = listed.modified;
        });
    state.lock();
    file.loading = false;
    file.loaded = result == 0;
    loaded_.notify_all();
    return result;
}

int MountedDevice::open(const std::string& name, int flags, OpenFile*& handle) {
    const bool forWriting = (flags & O_ACCMODE) != O_RDONLY;
    std::unique_lock state(stateMutex_);
    const Shown* shown = nullptr;
    if (const int result = lookUp(state, name, shown)) return result;
    if (forWriting && !writable(shown->deviceName)) return -EACCES;
    const int listedIndex = shown->listed;
    const std::shared_ptr<CachedFile> file = cachedFor(shown->deviceName);
    if (listedIndex >= 0 && !file->dirty) file->deviceSize = listing_[listedIndex].size;
    ++file->opens;
    int result = 0;
    if (forWriting && (flags & O_TRUNC)) {
        while (file->loading) loaded_.wait(state);
        result = openDescriptor(*file, true);
        if (result == 0) {
            file->dirty = true;
            ++file->generation;
        }
    } else {
        if (listedIndex >= 0) result = load(state, *file, listing_[listedIndex]);
        if (result == 0) result = openDescriptor(*file, false);
    }
    if (result != 0) {
        if (--file->opens == 0 && file->fd >= 0) {
            ::close(file->fd);
            file->fd = -1;
        }
        return result;
    }
    handle = new OpenFile{file, forWriting};
    return 0;
}

int MountedDevice::create(const std::string& name, OpenFile*& handle) {
    std::string deviceName;
    if (const int result = deviceNameFor(name, deviceName)) return result;
    if (!writable(deviceName)) return -EPERM;
    std::unique_lock state(stateMutex_);
    if (const int result = ensureListed(state, false)) return result;
    if (find(state, name) || nameTaken(deviceName, {})) return -EEXIST;
    const std::shared_ptr<CachedFile> file = cachedFor(deviceName);
    file->onDevice = false;
    if (const int result = openDescriptor(*file, true)) {
        files_.erase(deviceName);
        return result;
    }
    file->opens = 1;
    file->dirty = true;
    rebuildView();
    handle = new OpenFile{file, true};
    return 0;
}

int MountedDevice::read(OpenFile& handle, char* buffer, std::size_t size, off_t offset) {
    const ssize_t count = ::pread(handle.file->fd, buffer, size, offset);
    return count < 0 ? -errno : static_cast<int>(count);
}

int MountedDevice::write(OpenFile& handle, const char* buffer, std::size_t size, off_t offset) {
    if (!handle.writable) return -EBADF;
    const ssize_t count = ::pwrite(handle.file->fd, buffer, size, offset);
    if (count < 0) return -errno;
    std::lock_guard state(stateMutex_);
    handle.file->dirty = true;
    ++handle.file->generation;
    return static_cast<int>(count);
}

int MountedDevice::truncate(OpenFile& handle, off_t size) {
    if (!handle.writable) return -EBADF;
    if (::ftruncate(handle.file->fd, size) != 0) return -errno;
    std::lock_guard state(stateMutex_);
    handle.file->dirty = true;
    ++handle.file->generation;
    return 0;
}

int MountedDevice::truncate(const std::string& name, off_t size) {
    OpenFile* handle = nullptr;
    int result = open(name, size == 0 ? O_WRONLY | O_TRUNC : O_WRONLY, handle);
    if (result != 0) return result;
    if (size != 0) result = truncate(*handle, size);
    if (result == 0) result = flush(*handle);
    release(handle);
    return result;
}

int MountedDevice::flush(OpenFile& handle) {
    std::unique_lock state(stateMutex_);
    CachedFile& file = *handle.file;
    if (!file.dirty || file.detached) return 0;
    const std::uint64_t generation = file.generation;
    const std::uint32_t replaced = file.onDevice ? file.deviceSize : 0;
    std::string deviceName = file.deviceName;
    const std::string localPath = file.localPath;
    state.unlock();
    bool sent = false;
    return transact(
        "cannot write " + quoted(deviceName),
        [&] {
            {
                // Deleted while waiting for the device: not brought back;
                // renamed meanwhile: sent under the new name.
                std::lock_guard check(stateMutex_);
                if (file.detached) return;
                deviceName = file.deviceName;
            }
            device_.receiveFile(localPath, {}, 1, deviceName, replaced);
            sent = true;
        },
        [&] {
            if (!sent) return;
            if (file.generation == generation) file.dirty = false;
            file.onDevice = true;
            file.adoptListing = true;
            file.copiedSize = file.deviceSize = localSize(localPath);
            storeListed(deviceName, file.copiedSize);
        });
}

void MountedDevice::release(OpenFile* handle) {
    const std::unique_ptr<OpenFile> owned(handle);
    std::lock_guard state(stateMutex_);
    CachedFile& file = *handle->file;
    if (--file.opens > 0) return;
    if (file.fd >= 0) {
        ::close(file.fd);
        file.fd = -1;
    }
    if (file.detached) {
        ::unlink(file.localPath.c_str());
    } else if (file.dirty) {
        // What could not be sent is dropped: the device keeps its own file.
        file.dirty = false;
        file.loaded = false;
        ::unlink(file.localPath.c_str());
        if (!file.onDevice) {
            files_.erase(file.deviceName);
            rebuildView();
        }
    }
}

int MountedDevice::remove(const std::string& name) {
    std::unique_lock state(stateMutex_);
    const Shown* shown = nullptr;
    if (const int result = changeable(state, name, shown)) return result;
    const std::string deviceName = shown->deviceName;
    if (shown->listed < 0) {
        detach(deviceName);
        rebuildView();
        return 0;
    }
    state.unlock();
    return transact(
        "cannot delete " + quoted(deviceName), [&] { device_.deleteFile(deviceName); },
        [&] {
            std::erase_if(listing_, [&](const Listed& listed) { return listed.deviceName == deviceName; });
            detach(deviceName);
            rebuildView();
        });
}

int MountedDevice::rename(const std::string& from, const std::string& newName) {
    std::string to;
    if (const int result = deviceNameFor(newName, to)) return result;
    std::unique_lock state(stateMutex_);
    const Shown* source = nullptr;
    if (const int result = changeable(state, from, source)) return result;
    if (!writable(to)) return -EPERM;
    const std::string oldName = source->deviceName;
    if (nameTaken(to, oldName)) return -EEXIST;
    auto renameCopy = [this, &oldName, &to] {
        if (auto node = files_.extract(oldName)) {
            node.mapped()->deviceName = to;
            node.key() = to;
            files_.insert(std::move(node));
        }
    };
    if (source->listed < 0) {
        renameCopy();
        rebuildView();
        return 0;
    }
    state.unlock();
    return transact(
        "cannot rename " + quoted(oldName) + " to " + quoted(to), [&] { device_.renameFile(oldName, to); },
        [&] {
            for (Listed& listed : listing_)
                if (listed.deviceName == oldName) listed.deviceName = to;
            renameCopy();
            rebuildView();
        });
}

int MountedDevice::freeSpace(std::uint64_t& freeBytes, std::uint64_t& usedBytes) {
    std::uint32_t first = 0, second = 0;
    const int result = transact(
        "cannot read the free space", [&] { device_.sendDiskSpace(first, second); }, [] {});
    if (result != 0) return result;
    freeBytes = second;
    usedBytes = 0;
    std::lock_guard state(stateMutex_);
    for (const Listed& listed : listing_) usedBytes += listed.size;
    return 0;
}

int MountedDevice::receiveNew(const std::string& localPath, const std::string& deviceName) {
    {
        std::unique_lock state(stateMutex_);
        if (const int result = ensureListed(state, false)) return result;
        if (nameTaken(deviceName, {})) return -EEXIST;
    }
    return transact(
        "cannot write " + quoted(deviceName), [&] { device_.receiveFile(localPath, {}, 0, deviceName); },
        [&] { storeListed(deviceName, localSize(localPath)); });
}

int MountedDevice::moveTo(const std::string& name, MountedDevice& target, const std::string& newName) {
    std::string targetName;
    if (const int result = deviceNameFor(newName, targetName)) return result;
    if (!target.writable(targetName)) return -EPERM;
    {
        std::unique_lock state(stateMutex_);
        const Shown* shown = nullptr;
        if (const int result = changeable(state, name, shown)) return result;
    }
    OpenFile* handle = nullptr;
    if (const int result = open(name, O_RDONLY, handle)) return result;
    const int copied = target.receiveNew(handle->file->localPath, targetName);
    release(handle);
    return copied != 0 ? copied : remove(name);
}
