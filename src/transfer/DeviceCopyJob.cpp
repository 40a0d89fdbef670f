#include "transfer/DeviceCopyJob.h"

#include "devices/DeviceModels.h"
#include "link/LocalFile.h"
#include "link/NBException.h"
#include "link/Pause.h"
#include "protocol/LocalPathName.h"
#include "protocol/SLVFamilyDevice.h"
#include "transfer/BackgroundWork.h"
#include "transfer/FileNames.h"
#include "transfer/PortTurn.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace {

constexpr std::uint32_t settleAfterCancel = 1000;
constexpr std::uint32_t refreshPause = 500;

// A received file waiting to be sent.
struct TransferQueueEntry {
    std::string sourceName;
    std::string tempPath;
    std::uint32_t size = 0;
    bool overwrite = false;
};

std::string modelOf(const DeviceInfo& device) {
    const char* name = modelName(device.typeCode);
    return name ? name : "";
}

class DeviceCopyJob {
public:
    DeviceCopyJob(DeviceCopyRequest request, std::shared_ptr<TransferProgress> progress,
                  std::unique_ptr<TransferUser> user, std::unique_ptr<DeviceCopySource> source)
        : request_(std::move(request)),
          progress_(std::move(progress)),
          user_(std::move(user)),
          source_(std::move(source)),
          sourceDevice_(request_.source),
          targetDevice_(request_.target),
          move_(request_.move) {}

    void run() {
        if (!source_->starting(request_.move)) {
            source_->finished();
            progress_->destroy();
            return;
        }
        progress_->setAbortHandler([this] { cancel(); });
        progress_->setCurrentName(deviceNameForDisplay(request_.files.front().name));
        std::thread receiver([this] { receiveFiles(); });
        std::thread sender([this] { sendFiles(); });
        bool cancelled = false;
        {
            std::unique_lock<std::mutex> guard(lock_);
            jobDoneSignal_.wait(guard, [this] { return jobDone_; });
            cancelled = cancelled_;
        }
        if (cancelled) {
            // Both devices stop at their next package; give them the time to.
            pauseFor(settleAfterCancel);
        } else {
            source_->completed(moveConfirmed());
        }
        receiver.join();
        sender.join();
        source_->finished();
        progress_->setAbortHandler({});
        progress_->destroy();
        for (const std::string& path : takeTemporaries()) removeLocalFile(path);
        if (refreshView_) {
            pauseFor(refreshPause);
            source_->refreshTarget();
        }
    }

private:
    // Ends the job without confirming anything: Abort, Cancel, a failed send.
    void cancel() {
        {
            const std::lock_guard<std::mutex> guard(lock_);
            cancelled_ = true;
            jobDone_ = true;
        }
        itemReady_.notify_all();
        jobDoneSignal_.notify_all();
        sourceDevice_.cancelTransfer();
        targetDevice_.cancelTransfer();
    }

    bool cancelled() {
        const std::lock_guard<std::mutex> guard(lock_);
        return cancelled_;
    }

    // Only a move that copied every file lets the source delete them.
    bool moveConfirmed() {
        const std::lock_guard<std::mutex> guard(lock_);
        return move_ && receivedAll_ && !skippedOnSend_;
    }

    std::string makeTemporary() {
        std::string path = makeTemporaryFile();
        if (!path.empty()) {
            const std::lock_guard<std::mutex> guard(lock_);
            temporaries_.push_back(path);
        }
        return path;
    }

    void removeTemporary(const std::string& path) {
        removeLocalFile(path);
        const std::lock_guard<std::mutex> guard(lock_);
        std::erase(temporaries_, path);
    }

    std::vector<std::string> takeTemporaries() {
        const std::lock_guard<std::mutex> guard(lock_);
        return std::exchange(temporaries_, {});
    }

    bool onTarget(const std::string& name) const {
        return std::any_of(request_.targetFiles.begin(), request_.targetFiles.end(),
                           [&](const DeviceFileRecord& file) { return file.name == name; });
    }

    void receiveFiles() {
        bool yesToAll = false;
        bool all = true;
        for (const TransferListEntry& entry : request_.files) {
            if (cancelled()) {
                all = false;
                break;
            }
            bool overwrite = false;
            {
                const std::lock_guard<std::mutex> guard(lock_);
                yesToAll = yesToAll_;
            }
            if (!yesToAll && onTarget(entry.name)) {
                const OverwriteAnswer answer = user_->askOverwrite(deviceNameForDisplay(entry.name));
                if (answer == OverwriteAnswer::Cancel) {
                    all = false;
                    cancel();
                    break;
                }
                if (answer == OverwriteAnswer::Yes || answer == OverwriteAnswer::YesToAll) {
                    overwrite = true;
                    const std::lock_guard<std::mutex> guard(lock_);
                    yesToAll_ = yesToAll_ || answer == OverwriteAnswer::YesToAll;
                } else {
                    // A skipped file stays on the source: a move becomes a copy.
                    all = false;
                    progress_->skipFile(entry.size, true);
                    continue;
                }
            }
            const std::string temporary = makeTemporary();
            progress_->setReceiveName(deviceNameForDisplay(entry.name));
            std::optional<std::int32_t> failure;
            if (temporary.empty()) {
                failure = 0;
            } else {
                try {
                    const PortTurn turn(request_.source.portNumber);
                    if (!cancelled())
                        sourceDevice_.sendFile(entry.name, temporary, entry.size,
                                               [this, report = progress_->receiveReport()](auto... figures) {
                                                   report(figures...);
                                                   if (cancelled()) sourceDevice_.cancelTransfer();
                                               });
                } catch (const NBException& error) {
                    failure = error.code;
                }
            }
            if (failure || cancelled()) {
                all = false;
                if (!temporary.empty()) removeTemporary(temporary);
                if (failure && *failure != ErrorCode::Cancelled && !cancelled()) {
                    user_->tell({TransferNotice::ReceiveFailed, deviceNameForDisplay(entry.name),
                                 modelOf(request_.source), static_cast<int>(request_.source.portNumber)});
                }
                const std::lock_guard<std::mutex> guard(lock_);
                receiveFailed_ = true;
                break;
            }
            progress_->fileFinished(entry.size);
            {
                const std::lock_guard<std::mutex> guard(lock_);
                ready_.push_back({entry.name, temporary, entry.size, overwrite});
            }
            itemReady_.notify_all();
        }
        {
            const std::lock_guard<std::mutex> guard(lock_);
            receivedAll_ = all;
            receiveDone_ = true;
        }
        itemReady_.notify_all();
    }

    // The next received file, or none once the receiving has ended and the
    // queue is empty (or the job stopped).
    std::optional<TransferQueueEntry> nextToSend() {
        std::unique_lock<std::mutex> guard(lock_);
        itemReady_.wait(guard, [this] { return cancelled_ || receiveFailed_ || !ready_.empty() || receiveDone_; });
        if (cancelled_ || receiveFailed_ || ready_.empty()) return std::nullopt;
        TransferQueueEntry entry = std::move(ready_.front());
        ready_.pop_front();
        return entry;
    }

    void sendFiles() {
        std::uint32_t sent = 0;
        while (auto entry = nextToSend()) {
            progress_->setSendBusy(true);
            const bool goOn = sendOne(*entry, sent);
            progress_->setSendBusy(false);
            removeTemporary(entry->tempPath);
            if (!goOn) break;
        }
        // Files received before a failure of the receiving are not sent; the
        // receiving may still queue one meanwhile, so the queue is taken whole.
        std::deque<TransferQueueEntry> left;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            left.swap(ready_);
        }
        for (const TransferQueueEntry& entry : left) removeTemporary(entry.tempPath);
        {
            const std::lock_guard<std::mutex> guard(lock_);
            if (sent == 0) refreshView_ = false;
            if (cancelled_) return;
            jobDone_ = true;
        }
        jobDoneSignal_.notify_all();
    }

    // Sends one received file; false when the job stops.
    bool sendOne(const TransferQueueEntry& entry, std::uint32_t& sent) {
        const std::string targetName = lastPathComponent(entry.sourceName, '\\').value_or(entry.sourceName);
        progress_->setCurrentName(deviceNameForDisplay(targetName));
        bool overwrite = entry.overwrite;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            overwrite = overwrite || yesToAll_;
        }
        for (;;) {
            const PortTurn turn(request_.target.portNumber);
            if (cancelled()) return false;
            std::optional<std::int32_t> failure;
            try {
                targetDevice_.receiveFile(
                    entry.tempPath,
                    [this, report = progress_->sendReport()](auto... figures) {
                        report(figures...);
                        if (cancelled()) targetDevice_.cancelTransfer();
                    },
                    overwrite ? 1 : 0, targetName, replacedSize(targetName));
            } catch (const NBException& error) {
                failure = error.code;
            }
            if (!failure) {
                // A cancel before the first byte ends the upload without a word.
                if (cancelled()) return false;
                ++sent;
                progress_->fileFinished(entry.size);
                progress_->fillFileBar();
                return true;
            }
            switch (*failure) {
                case ErrorCode::Cancelled:
                    // Also a cancel on the target device ends the job, which would wait for ever otherwise.
                    cancel();
                    return false;
                case ErrorCode::FileAlreadyExists:
                    switch (user_->askOverwrite(deviceNameForDisplay(targetName))) {
                        case OverwriteAnswer::Yes:
                            overwrite = true;
                            continue;
                        case OverwriteAnswer::YesToAll: {
                            overwrite = true;
                            const std::lock_guard<std::mutex> guard(lock_);
                            yesToAll_ = true;
                            continue;
                        }
                        case OverwriteAnswer::Cancel:
                            cancel();
                            return false;
                        default: {
                            progress_->skipFile(entry.size, false);
                            const std::lock_guard<std::mutex> guard(lock_);
                            skippedOnSend_ = true;
                            return true;
                        }
                    }
                default:
                    cancel();
                    user_->tell({TransferNotice::SendFailed, deviceNameForDisplay(targetName), modelOf(request_.target),
                                 static_cast<int>(request_.target.portNumber)});
                    return false;
            }
        }
    }

    // The size of the target's file of that name, which a replacing upload frees.
    std::uint32_t replacedSize(const std::string& name) const {
        for (const DeviceFileRecord& file : request_.targetFiles)
            if (sameDeviceName(file.name, name)) return file.size;
        return 0;
    }

    const DeviceCopyRequest request_;
    const std::shared_ptr<TransferProgress> progress_;
    const std::unique_ptr<TransferUser> user_;
    const std::unique_ptr<DeviceCopySource> source_;
    SLVFamilyDevice sourceDevice_;
    SLVFamilyDevice targetDevice_;

    std::mutex lock_;
    std::condition_variable itemReady_;
    std::condition_variable jobDoneSignal_;
    std::deque<TransferQueueEntry> ready_;
    std::vector<std::string> temporaries_;
    bool move_;
    bool yesToAll_ = false;
    bool receiveDone_ = false;
    bool receiveFailed_ = false;
    bool receivedAll_ = false;
    bool skippedOnSend_ = false;
    bool cancelled_ = false;
    bool jobDone_ = false;
    bool refreshView_ = true;
};

}  // namespace

bool startDeviceCopyJob(DeviceCopyRequest request, std::shared_ptr<TransferProgress> progress,
                        std::unique_ptr<TransferUser> user, std::unique_ptr<DeviceCopySource> source) {
    if (request.files.empty() || !progress || !user || !source) return false;
    std::shared_ptr<DeviceCopyJob> job;
    try {
        job = std::make_shared<DeviceCopyJob>(std::move(request), std::move(progress), std::move(user),
                                              std::move(source));
    } catch (const NBException&) {
        return false;
    }
    runInBackground([job] { job->run(); });
    return true;
}
