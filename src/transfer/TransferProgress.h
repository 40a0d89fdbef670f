#pragma once
// The counters of one transfer and its progress display. The protocol
// reports progress through three plain callbacks that find the transfer by
// the serial text of the reporting device; a process-wide list holds every
// live transfer for them. The list is locked, and a callback keeps the
// object it found alive until it is done with it, so a transfer may end
// while another thread reports.
#include "protocol/DeviceInfo.h"
#include "transfer/TransferUser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class SLVFamilyDevice;

enum class TransferMode : std::uint32_t {
    PcAndDevice = 1,     // one device and the PC, either way
    DeviceToDevice = 2,  // every byte is received once and sent once
};

class TransferProgress {
public:
    // Registers a new transfer and shows its display; returns once the
    // display had time to come up (it waits 500 ms twice).
    static std::shared_ptr<TransferProgress> create(TransferUser& user, const DeviceInfo& target, TransferMode mode,
                                                    std::uint32_t fileCount, std::uint64_t fileBytes,
                                                    const DeviceInfo* source = nullptr);
    ~TransferProgress();
    TransferProgress(const TransferProgress&) = delete;
    TransferProgress& operator=(const TransferProgress&) = delete;

    // Takes this transfer off the list and closes its display. Callbacks
    // find it no more; safe to call more than once.
    void destroy();

    void setCurrentName(const std::string& name);
    void setReceiveName(const std::string& name);
    // The device object that Abort cancels; null between files. The object
    // must stay alive until it is replaced here.
    void setDevice(SLVFamilyDevice* device);
    void setSendBusy(bool busy);

    // One file is done; in a transfer between the PC and a device the
    // display closes after the last one.
    void fileFinished(std::uint64_t bytes);
    // A file that will not be transferred: its bytes leave the total (twice
    // when it is skipped before it was received).
    void skipFile(std::uint64_t bytes, bool bothSides);
    void fillFileBar();
    void bringToFront();

    // Abort (the display's button or Escape): cancels the running device
    // transfer, tells the owner of the transfer, and closes the display.
    void abort();
    bool aborted() const;
    // Called by abort(), on the display's thread. Replacing the handler
    // waits for a running call of the old one to return.
    void setAbortHandler(std::function<void()> handler);

    TransferMode mode() const { return mode_; }
    const ProgressDisplay* display() const { return display_.get(); }
    std::uint32_t fileCount() const;
    std::uint64_t totalBytes() const;
    std::uint64_t bytesDone() const;

    // The three protocol callbacks (ProgressCallback).
    static void singleTransferProgress(const DeviceInfo* device, std::uint32_t size, std::uint32_t done, double percent,
                                       std::int32_t estimate);
    static void receiveSideProgress(const DeviceInfo* device, std::uint32_t size, std::uint32_t done, double percent,
                                    std::int32_t estimate);
    static void sendSideProgress(const DeviceInfo* device, std::uint32_t size, std::uint32_t done, double percent,
                                 std::int32_t estimate);

private:
    TransferProgress(const DeviceInfo& target, TransferMode mode, std::uint32_t fileCount, std::uint64_t fileBytes,
                     const DeviceInfo* source);
    enum class Side { Receive, Send };
    ProgressUpdate singleUpdate(std::uint32_t done, double percent, std::int32_t estimate);
    ProgressUpdate jobUpdate(Side side, std::uint32_t done, double percent);
    void show(const ProgressUpdate& update);
    static std::shared_ptr<TransferProgress> find(const DeviceInfo* device, bool bySource);

    const TransferMode mode_;
    const DeviceInfo target_;
    const DeviceInfo source_;

    mutable std::mutex lock_;  // counters and names
    std::uint32_t fileCount_;
    std::uint64_t totalBytes_;
    std::uint64_t bytesDone_ = 0;
    std::uint32_t filesFinished_ = 0;
    std::uint64_t receivedBytes_ = 0;
    std::uint64_t sentBytes_ = 0;
    bool sendBusy_ = false;
    std::string currentName_;
    std::string receiveName_;

    mutable std::mutex deviceLock_;  // device, abort state
    SLVFamilyDevice* device_ = nullptr;
    bool aborted_ = false;

    std::mutex handlerLock_;
    std::function<void()> abortHandler_;

    std::unique_ptr<ProgressDisplay> display_;
};

// A transfer's progress for one scope: destroyed on every way out.
class ProgressScope {
public:
    explicit ProgressScope(std::shared_ptr<TransferProgress> progress) : progress_(std::move(progress)) {}
    ~ProgressScope() {
        if (progress_) progress_->destroy();
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    TransferProgress* operator->() const { return progress_.get(); }
    TransferProgress& operator*() const { return *progress_; }

private:
    std::shared_ptr<TransferProgress> progress_;
};

// Percent of `done` in `total` (100 for an empty total), and the estimate
// of what is left at 50 ms per 80-byte block plus `extraBlocks` blocks, in
// milliseconds; 64-bit, never below zero.
std::uint32_t percentOf(std::uint64_t done, std::uint64_t total);
std::uint64_t remainingMilliseconds(std::uint64_t total, std::uint64_t done, std::uint64_t extraBlocks);
