#pragma once
// Files from one device to another: a receive thread downloads each file
// of the source into a temporary file and queues it, a send thread uploads
// what is queued to the target, and a master thread waits for the end and
// tells the source how it went. A move is confirmed to the source only when
// every file arrived on the target.
#include "protocol/DeviceInfo.h"
#include "transfer/PcTransfers.h"
#include "transfer/TransferProgress.h"
#include "transfer/TransferUser.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One file of the source, as its data object describes it.
struct TransferListEntry {
    std::string name;
    std::uint32_t size = 0;
};

// What the job tells the source of the files and the target's view; all on
// the job's master thread, in this order.
class DeviceCopySource {
public:
    virtual ~DeviceCopySource() = default;
    // Before the workers start; false when the source cannot be reached,
    // and nothing is transferred.
    virtual bool starting(bool move) { return true; }
    // The job ran to its end (it was not cancelled). `moved` is true only
    // when a move copied every file: the source may delete them now.
    virtual void completed(bool moved) {}
    // After the workers ended: give back what starting took.
    virtual void finished() {}
    // Something was sent: the target's view should show it.
    virtual void refreshTarget() {}
};

struct DeviceCopyRequest {
    DeviceInfo source;
    DeviceInfo target;
    std::vector<TransferListEntry> files;
    std::vector<DeviceFileRecord> targetFiles;  // the target's listing when the job began
    bool move = false;
};

// Starts the job on threads of its own (see BackgroundWork.h) and returns.
// `progress` is the job's progress (device to device), made with `user`.
// False, with nothing started, for a job without files or with a device
// that is not of the family.
bool startDeviceCopyJob(DeviceCopyRequest request, std::shared_ptr<TransferProgress> progress,
                        std::unique_ptr<TransferUser> user, std::unique_ptr<DeviceCopySource> source);
