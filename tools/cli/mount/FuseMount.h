#pragma once
// The devices as a folder on Linux, served through FUSE 3: the root holds
// one folder per device, named by its remembered name, or one device's
// files directly. libfuse's threads serve it until it is unmounted.
#include <memory>
#include <string>
#include <vector>

#include "MountedDevice.h"
#include "devices/Discovery.h"

struct MountedFolders;

struct MountRequest {
    std::string mountPoint;  // an existing folder
    std::vector<NamedDevice> devices;
    bool deviceAtRoot = false;  // the first device's files at the root
    MountSettings settings;
};

class FuseMount {
public:
    // Mounts; raises std::runtime_error saying why it cannot.
    explicit FuseMount(const MountRequest& request);
    // Unmounts if still mounted and removes the private copies.
    ~FuseMount();
    FuseMount(const FuseMount&) = delete;
    FuseMount& operator=(const FuseMount&) = delete;

    // Leaves the terminal: the calling process ends once the mount serves
    // in a background process of its own.
    void runInBackground();
    // Serves until the folder is unmounted; false when serving failed.
    bool serve();
    // From any thread: unmounts as "fusermount3 -u -z" does, which ends
    // serve() once no file in the folder is open any more; a transfer that
    // runs is ended at its next package.
    void requestUnmount();

    // From any thread, with the devices connected now: a folder appears for
    // each one that arrived and goes with each one that left, whose open
    // files answer EIO from then on. Not for a device shown at the root.
    void showDevices(const std::vector<NamedDevice>& devices);

    const std::string& mountPoint() const;

private:
    std::unique_ptr<MountedFolders> served_;
};
