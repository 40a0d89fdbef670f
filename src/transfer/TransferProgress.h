#pragma once
// The counters of one transfer and its progress display. The protocol
// reports progress through closures the transfer hands it (report,
// receiveReport, sendReport), each bound to its own transfer.
#include "protocol/TransferCallbacks.h"
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
    // A new transfer with its display.
    static std::shared_ptr<TransferProgress> create(TransferUser& user, TransferMode mode, std::uint32_t fileCount,
                                                    std::uint64_t fileBytes);
    ~TransferProgress();
    TransferProgress(const TransferProgress&) = delete;
    TransferProgress& operator=(const TransferProgress&) = delete;

    // Closes the display; safe to call more than once.
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

    // What the protocol reports to: a transfer between the PC and a device
    // (report), the receive and the send side of a device-to-device job.
    // Each is bound to this transfer, which must outlive the call it is
    // handed to.
    ProgressCallback report();
    ProgressCallback receiveReport();
    ProgressCallback sendReport();

private:
    TransferProgress(TransferMode mode, std::uint32_t fileCount, std::uint64_t fileBytes);
    enum class Side { Receive, Send };
    ProgressUpdate singleUpdate(std::uint32_t done, double percent, std::int32_t estimate);
    ProgressUpdate jobUpdate(Side side, std::uint32_t done, double percent);
    void show(const ProgressUpdate& update);

    const TransferMode mode_;

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
