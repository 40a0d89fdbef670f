#define FUSE_USE_VERSION 312
#include "FuseMount.h"

#include <fuse3/fuse.h>
#include <fuse3/fuse_lowlevel.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <shared_mutex>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "MountNames.h"

extern char** environ;

namespace fs = std::filesystem;

// What the mount serves, reached from libfuse's threads as the private data.
struct MountedFolders {
    std::string mountPoint;
    std::string cacheFolder;
    MountSettings settings;
    // Devices come and go while libfuse's threads serve; an open file keeps
    // its device alive.
    mutable std::shared_mutex devicesMutex;
    std::vector<std::shared_ptr<MountedDevice>> devices;
    std::vector<std::string> folderNames;  // one per device, unless deviceAtRoot
    unsigned devicesMade = 0;
    bool deviceAtRoot = false;
    std::time_t mountedAt = 0;
    fuse* session = nullptr;
    bool mounted = false;

    std::shared_ptr<MountedDevice> makeDevice(const DeviceInfo& info) {
        const std::string folder = cacheFolder + "/" + std::to_string(++devicesMade);
        std::error_code error;
        std::filesystem::create_directory(folder, error);
        return std::make_shared<MountedDevice>(info, folder, settings);
    }
    std::vector<std::shared_ptr<MountedDevice>> snapshot() const {
        std::shared_lock lock(devicesMutex);
        return devices;
    }
};

namespace {

MountedFolders& served() {
    return *static_cast<MountedFolders*>(fuse_get_context()->private_data);
}

// No exception may cross into libfuse's C code.
template <typename Call>
int guarded(Call&& call) noexcept {
    try {
        return call();
    } catch (...) {
        return -EIO;
    }
}

// What a path names in the folder.
struct Place {
    enum Kind { Root, Folder, File, Missing } kind = Missing;
    std::shared_ptr<MountedDevice> device;
    std::string name;
};

Place resolve(const char* path) {
    const MountedFolders& mount = served();
    std::shared_lock lock(mount.devicesMutex);
    std::string_view rest(path);
    if (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    if (rest.empty()) return {Place::Root, mount.deviceAtRoot ? mount.devices.front() : nullptr, {}};
    if (mount.deviceAtRoot) {
        if (rest.find('/') != std::string_view::npos) return {};
        return {Place::File, mount.devices.front(), std::string(rest)};
    }
    const std::size_t slash = rest.find('/');
    const std::string_view folder = rest.substr(0, slash);
    for (std::size_t i = 0; i < mount.folderNames.size(); ++i) {
        if (mount.folderNames[i] != folder) continue;
        if (slash == std::string_view::npos) return {Place::Folder, mount.devices[i], {}};
        const std::string_view name = rest.substr(slash + 1);
        if (name.empty() || name.find('/') != std::string_view::npos) return {};
        return {Place::File, mount.devices[i], std::string(name)};
    }
    return {};
}

// An open file and the device it belongs to.
struct Opened {
    std::shared_ptr<MountedDevice> device;
    MountedDevice::OpenFile* file;
};

// libfuse keeps a handle as a number.
Opened& opened(fuse_file_info* info) {
    return *reinterpret_cast<Opened*>(info->fh);  // NOLINT(performance-no-int-to-ptr)
}

void folderAttributes(struct stat* attributes, bool readOnly) {
    *attributes = {};
    attributes->st_mode = S_IFDIR | (readOnly ? 0555 : 0755);
    attributes->st_nlink = 2;
    attributes->st_uid = ::getuid();
    attributes->st_gid = ::getgid();
    attributes->st_mtim.tv_sec = served().mountedAt;
    attributes->st_atim = attributes->st_ctim = attributes->st_mtim;
}

void* initialize(fuse_conn_info*, fuse_config* config) {
    // Unlinked open files are really deleted, never renamed to hidden names
    // on the device; sizes and names come back from the device quickly.
    config->hard_remove = 1;
    config->use_ino = 0;
    config->entry_timeout = 1;
    config->attr_timeout = 1;
    config->negative_timeout = 0;
    config->kernel_cache = 0;
    return fuse_get_context()->private_data;
}

int getAttributes(const char* path, struct stat* attributes, fuse_file_info* info) {
    // An open file whose folder went with its device is not missing: it failed.
    if (info && opened(info).device->left()) return -EIO;
    return guarded([&] {
        const Place place = resolve(path);
        switch (place.kind) {
            case Place::Root:
                folderAttributes(attributes, !served().deviceAtRoot);
                return 0;
            case Place::Folder:
                folderAttributes(attributes, false);
                return 0;
            case Place::File:
                return place.device->attributes(place.name, *attributes);
            default:
                return -ENOENT;
        }
    });
}

int readFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
    return guarded([&] {
        const Place place = resolve(path);
        if (place.kind == Place::File) return -ENOTDIR;
        if (place.kind == Place::Missing) return -ENOENT;
        const auto none = fuse_fill_dir_flags{};
        fill(buffer, ".", nullptr, 0, none);
        fill(buffer, "..", nullptr, 0, none);
        if (!place.device) {
            std::shared_lock lock(served().devicesMutex);
            for (const std::string& name : served().folderNames) fill(buffer, name.c_str(), nullptr, 0, none);
            return 0;
        }
        std::vector<MountedDevice::Entry> entries;
        if (const int result = place.device->list(entries)) return result;
        for (const MountedDevice::Entry& entry : entries) fill(buffer, entry.name.c_str(), &entry.attributes, 0, none);
        return 0;
    });
}

// Opens or creates the file `path` names; `onFolder` answers for a path that names none.
template <typename Open>
int openPlace(const char* path, fuse_file_info* info, int onFolder, int onMissing, Open&& open) {
    return guarded([&] {
        const Place place = resolve(path);
        if (place.kind != Place::File) return place.kind == Place::Missing ? onMissing : onFolder;
        MountedDevice::OpenFile* file = nullptr;
        if (const int result = open(*place.device, place.name, file)) return result;
        info->fh = reinterpret_cast<std::uint64_t>(new Opened{place.device, file});
        return 0;
    });
}

int openFile(const char* path, fuse_file_info* info) {
    return openPlace(path, info, -EISDIR, -ENOENT, [info](MountedDevice& device, const std::string& name, auto& file) {
        return device.open(name, info->flags, file);
    });
}

int createFile(const char* path, mode_t, fuse_file_info* info) {
    // Outside a device folder only the root is left, which holds no files.
    return openPlace(path, info, -EEXIST, -EACCES, [](MountedDevice& device, const std::string& name, auto& file) {
        return device.create(name, file);
    });
}

template <typename Call>
int withOpened(fuse_file_info* info, Call&& call) {
    return guarded([&] {
        // Nothing on a device that left can be trusted, not even a copy read before.
        if (opened(info).device->left()) return -EIO;
        return call(*opened(info).device, *opened(info).file);
    });
}

int readFile(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    return withOpened(info, [&](MountedDevice& device, auto& file) { return device.read(file, buffer, size, offset); });
}

int writeFile(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    return withOpened(info,
                      [&](MountedDevice& device, auto& file) { return device.write(file, buffer, size, offset); });
}

int flushFile(const char*, fuse_file_info* info) {
    // Closing what was only read succeeds even once the device left; what
    // was written fails then, as it cannot reach the device.
    return guarded([info] { return opened(info).device->flush(*opened(info).file); });
}

int syncFile(const char*, int, fuse_file_info* info) {
    return flushFile(nullptr, info);
}

int releaseFile(const char*, fuse_file_info* info) {
    const std::unique_ptr<Opened> handle(&opened(info));
    return guarded([&] {
        handle->device->release(handle->file);
        return 0;
    });
}

// Runs `call` on the file `path` names.
template <typename Call>
int onFile(const char* path, Call&& call) {
    return guarded([&] {
        const Place place = resolve(path);
        if (place.kind != Place::File) return place.kind == Place::Missing ? -ENOENT : -EISDIR;
        return call(*place.device, place.name);
    });
}

int truncateFile(const char* path, off_t size, fuse_file_info* info) {
    if (info) return withOpened(info, [&](MountedDevice& device, auto& file) { return device.truncate(file, size); });
    return onFile(path, [&](MountedDevice& device, const std::string& name) { return device.truncate(name, size); });
}

int removeFile(const char* path) {
    return onFile(path, [](MountedDevice& device, const std::string& name) { return device.remove(name); });
}

int renameFile(const char* from, const char* to, unsigned int flags) {
    if (flags & RENAME_EXCHANGE) return -EINVAL;
    return guarded([&] {
        const Place source = resolve(from);
        const Place target = resolve(to);
        if (source.kind == Place::Missing) return -ENOENT;
        if (source.kind != Place::File || target.kind == Place::Root || target.kind == Place::Folder) return -EPERM;
        if (target.kind == Place::Missing) return -EACCES;
        if (source.device == target.device) return source.device->rename(source.name, target.name);
        return source.device->moveTo(source.name, *target.device, target.name);
    });
}

int touchFile(const char* path, const timespec*, fuse_file_info* info) {
    // The device stamps its files itself; asking for another time is not an error.
    struct stat ignored {};
    return getAttributes(path, &ignored, info);
}

int freeSpace(const char* path, struct statvfs* space) {
    return guarded([&] {
        const Place place = resolve(path);
        if (place.kind == Place::Missing) return -ENOENT;
        const std::vector<std::shared_ptr<MountedDevice>> devices =
            place.device ? std::vector{place.device} : served().snapshot();
        std::uint64_t freeBytes = 0, usedBytes = 0;
        for (const auto& device : devices) {
            std::uint64_t deviceFree = 0, deviceUsed = 0;
            if (const int result = device->freeSpace(deviceFree, deviceUsed)) return result;
            freeBytes += deviceFree;
            usedBytes += deviceUsed;
        }
        *space = {};
        space->f_bsize = 4096;
        space->f_frsize = 1;  // sizes in bytes, as the device counts them
        space->f_blocks = freeBytes + usedBytes;
        space->f_bfree = space->f_bavail = freeBytes;
        space->f_namemax = longestDeviceName;
        return 0;
    });
}

int refuseFolder(const char*, mode_t) {
    return -EPERM;  // a device keeps its files in one flat list
}

int removeFolder(const char* path) {
    const Place place = resolve(path);
    return place.kind == Place::Missing ? -ENOENT : place.kind == Place::File ? -ENOTDIR : -EPERM;
}

int refuseLink(const char*, const char*) {
    return -EPERM;
}

int refuseNode(const char*, mode_t, dev_t) {
    return -EPERM;
}

int refuseMode(const char*, mode_t, fuse_file_info*) {
    return -EPERM;
}

int refuseOwner(const char*, uid_t, gid_t, fuse_file_info*) {
    return -EPERM;
}

fuse_operations operations() {
    fuse_operations ops{};
    ops.init = initialize;
    ops.getattr = getAttributes;
    ops.readdir = readFolder;
    ops.open = openFile;
    ops.create = createFile;
    ops.read = readFile;
    ops.write = writeFile;
    ops.flush = flushFile;
    ops.fsync = syncFile;
    ops.release = releaseFile;
    ops.truncate = truncateFile;
    ops.unlink = removeFile;
    ops.rename = renameFile;
    ops.utimens = touchFile;
    ops.statfs = freeSpace;
    ops.mkdir = refuseFolder;
    ops.rmdir = removeFolder;
    ops.symlink = refuseLink;
    ops.link = refuseLink;
    ops.mknod = refuseNode;
    ops.chmod = refuseMode;
    ops.chown = refuseOwner;
    return ops;
}

std::string makeCacheFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/nimbrel-mount-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a private folder in " + pattern.substr(0, pattern.rfind('/')));
    return pattern;
}

}  // namespace

FuseMount::FuseMount(const MountRequest& request) : served_(std::make_unique<MountedFolders>()) {
    std::error_code error;
    if (!fs::is_directory(request.mountPoint, error))
        throw std::runtime_error("cannot mount at " + request.mountPoint + ": it is not a folder");
    served_->mountPoint = fs::absolute(request.mountPoint).lexically_normal().string();
    if (served_->mountPoint.size() > 1 && served_->mountPoint.back() == '/') served_->mountPoint.pop_back();
    served_->deviceAtRoot = request.deviceAtRoot;
    served_->mountedAt = std::time(nullptr);
    served_->cacheFolder = makeCacheFolder();
    served_->settings = request.settings;
    std::vector<std::string> names;
    for (const NamedDevice& device : request.devices) {
        served_->devices.push_back(served_->makeDevice(device.info));
        names.push_back(device.name);
    }
    if (!request.deviceAtRoot) served_->folderNames = shownNames(names);

    const char* arguments[] = {"nimbrel", "-o", "fsname=nimbrel,subtype=nimbrel,default_permissions"};
    fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(arguments));
    const fuse_operations ops = operations();
    served_->session = fuse_new(&args, &ops, sizeof ops, served_.get());
    fuse_opt_free_args(&args);
    if (!served_->session || fuse_mount(served_->session, served_->mountPoint.c_str()) != 0) {
        if (served_->session) fuse_destroy(served_->session);
        fs::remove_all(served_->cacheFolder, error);
        throw std::runtime_error("cannot mount at " + served_->mountPoint +
                                 ": FUSE is not available (it needs /dev/fuse and fusermount3 from Debian's fuse3)");
    }
    served_->mounted = true;
}

FuseMount::~FuseMount() {
    if (served_->mounted) fuse_unmount(served_->session);
    fuse_destroy(served_->session);
    served_->devices.clear();
    std::error_code error;
    fs::remove_all(served_->cacheFolder, error);
}

void FuseMount::runInBackground() {
    fuse_daemonize(0);
}

bool FuseMount::serve() {
    // Once the folder is unmounted, libfuse waits for the requests still
    // running; a device that keeps one busy is told to give up, so the
    // mount ends promptly however it was unmounted.
    std::mutex stopMutex;
    std::condition_variable stopped;
    bool done = false;
    std::thread watcher([&] {
        std::unique_lock lock(stopMutex);
        fuse_session* session = fuse_get_session(served_->session);
        while (!done && !fuse_session_exited(session)) stopped.wait_for(lock, std::chrono::milliseconds(100));
        for (const auto& device : served_->snapshot()) device->abandon();
    });
    fuse_loop_config* config = fuse_loop_cfg_create();
    const int result = fuse_loop_mt(served_->session, config);
    fuse_loop_cfg_destroy(config);
    {
        std::lock_guard lock(stopMutex);
        done = true;
    }
    stopped.notify_all();
    watcher.join();
    fuse_unmount(served_->session);
    served_->mounted = false;
    return result == 0;
}

void FuseMount::requestUnmount() {
    const char* argv[] = {"fusermount3", "-u", "-z", served_->mountPoint.c_str(), nullptr};
    pid_t child = 0;
    if (::posix_spawnp(&child, "fusermount3", nullptr, nullptr, const_cast<char**>(argv), environ) == 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    // A file being read keeps the folder in use until its transfer ends.
    for (const auto& device : served_->snapshot()) device->abandon();
}

void FuseMount::showDevices(const std::vector<NamedDevice>& devices) {
    std::vector<std::string> changed{""};
    {
        std::unique_lock lock(served_->devicesMutex);
        std::vector<std::shared_ptr<MountedDevice>> kept;
        std::vector<std::string> names;
        for (const NamedDevice& device : devices) {
            const auto same = std::find_if(served_->devices.begin(), served_->devices.end(), [&](const auto& shown) {
                return shown->deviceInfo().portNumber == device.info.portNumber &&
                       std::strcmp(shown->deviceInfo().serial, device.info.serial) == 0;
            });
            kept.push_back(same != served_->devices.end() ? *same : served_->makeDevice(device.info));
            names.push_back(device.name);
        }
        for (std::size_t i = 0; i < served_->devices.size(); ++i) {
            if (std::find(kept.begin(), kept.end(), served_->devices[i]) != kept.end()) continue;
            served_->devices[i]->leave();
            changed.push_back(served_->folderNames[i]);
        }
        served_->devices = std::move(kept);
        served_->folderNames = shownNames(names);
    }
    // The kernel forgets what it knew of the root and of the folders gone;
    // a path it never looked at is not an error.
    for (const std::string& name : changed) fuse_invalidate_path(served_->session, ("/" + name).c_str());
}

const std::string& FuseMount::mountPoint() const {
    return served_->mountPoint;
}
