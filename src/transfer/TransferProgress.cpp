#include "transfer/TransferProgress.h"

#include "protocol/LocalPathName.h"
#include "protocol/SLVFamilyDevice.h"

#include <algorithm>

namespace {

constexpr std::uint64_t blockBytes = 80;
constexpr std::uint64_t millisecondsPerBlock = 50;

std::string namePart(const std::string& name) {
    return lastPathComponent(name, localPathSeparator).value_or(std::string());
}

int barValue(double percent) {
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

std::uint64_t saturatingMinus(std::uint64_t from, std::uint64_t amount) {
    return from > amount ? from - amount : 0;
}

}  // namespace

std::uint32_t percentOf(std::uint64_t done, std::uint64_t total) {
    if (total == 0) return 100;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(done, total) * 100 / total);
}

std::uint64_t remainingMilliseconds(std::uint64_t total, std::uint64_t done, std::uint64_t extraBlocks) {
    return (saturatingMinus(total, done) / blockBytes + extraBlocks) * millisecondsPerBlock;
}

TransferProgress::TransferProgress(TransferMode mode, std::uint32_t fileCount, std::uint64_t fileBytes)
    : mode_(mode),
      fileCount_(fileCount),
      totalBytes_(mode == TransferMode::DeviceToDevice ? 2 * fileBytes : fileBytes) {}

std::shared_ptr<TransferProgress> TransferProgress::create(TransferUser& user, TransferMode mode,
                                                           std::uint32_t fileCount, std::uint64_t fileBytes) {
    std::shared_ptr<TransferProgress> progress(new TransferProgress(mode, fileCount, fileBytes));
    progress->display_ = user.makeProgressDisplay(*progress);
    return progress;
}

TransferProgress::~TransferProgress() {
    destroy();
}

void TransferProgress::destroy() {
    if (display_) display_->close();
}

void TransferProgress::setCurrentName(const std::string& name) {
    const std::lock_guard<std::mutex> guard(lock_);
    currentName_ = name;
}

void TransferProgress::setReceiveName(const std::string& name) {
    const std::lock_guard<std::mutex> guard(lock_);
    receiveName_ = name;
}

void TransferProgress::setDevice(SLVFamilyDevice* device) {
    const std::lock_guard<std::mutex> guard(deviceLock_);
    device_ = device;
    // An Abort that came between two files stops the next one as it starts.
    if (device_ && aborted_) device_->cancelTransfer();
}

void TransferProgress::setSendBusy(bool busy) {
    const std::lock_guard<std::mutex> guard(lock_);
    sendBusy_ = busy;
}

void TransferProgress::fileFinished(std::uint64_t bytes) {
    bool allDone = false;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        bytesDone_ += bytes;
        ++filesFinished_;
        allDone = filesFinished_ == fileCount_ && mode_ != TransferMode::DeviceToDevice;
        receivedBytes_ = sentBytes_ = 0;
    }
    if (allDone && display_) display_->close();
}

void TransferProgress::skipFile(std::uint64_t bytes, bool bothSides) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (fileCount_ > 0) --fileCount_;
    totalBytes_ = saturatingMinus(totalBytes_, bothSides ? 2 * bytes : bytes);
}

void TransferProgress::fillFileBar() {
    if (display_) display_->fillFileBar();
}

void TransferProgress::bringToFront() {
    if (display_) display_->bringToFront();
}

void TransferProgress::abort() {
    {
        const std::lock_guard<std::mutex> guard(deviceLock_);
        aborted_ = true;
        if (device_) device_->cancelTransfer();
    }
    {
        // Held while the handler runs, so its owner can wait for it to return.
        const std::lock_guard<std::mutex> guard(handlerLock_);
        if (abortHandler_) abortHandler_();
    }
    if (display_) display_->close();
}

bool TransferProgress::aborted() const {
    const std::lock_guard<std::mutex> guard(deviceLock_);
    return aborted_;
}

void TransferProgress::setAbortHandler(std::function<void()> handler) {
    const std::lock_guard<std::mutex> guard(handlerLock_);
    abortHandler_ = std::move(handler);
}

std::uint32_t TransferProgress::fileCount() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return fileCount_;
}

std::uint64_t TransferProgress::totalBytes() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return totalBytes_;
}

std::uint64_t TransferProgress::bytesDone() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return bytesDone_;
}

void TransferProgress::show(const ProgressUpdate& update) {
    {
        // A transfer only starts taking cancels once it runs: one aborted
        // just before it began is cancelled again at its first report.
        const std::lock_guard<std::mutex> guard(deviceLock_);
        if (aborted_ && device_) device_->cancelTransfer();
    }
    if (display_) display_->show(update);
}

ProgressUpdate TransferProgress::singleUpdate(std::uint32_t done, double percent, std::int32_t estimate) {
    const std::lock_guard<std::mutex> guard(lock_);
    ProgressUpdate update;
    update.name = namePart(currentName_);
    update.fileBar = barValue(percent);
    {
        const std::lock_guard<std::mutex> deviceGuard(deviceLock_);
        update.abortEnabled = device_ != nullptr;
    }
    const bool pcTransfer = mode_ == TransferMode::PcAndDevice;
    if (fileCount_ == 1) {
        update.totalBar = update.fileBar;
        update.caption = pcTransfer ? ProgressUpdate::Caption::FileOfOne : ProgressUpdate::Caption::DeviceToDevice;
        update.percent = update.fileBar;
        update.captionName = update.name;
        update.remainingSeconds = static_cast<std::uint32_t>(std::max(estimate, 0) / 1000);
    } else {
        const std::uint64_t finished = bytesDone_ + done;
        update.totalBar = static_cast<int>(percentOf(finished, totalBytes_));
        update.caption = pcTransfer ? ProgressUpdate::Caption::FilesOfMany : ProgressUpdate::Caption::DeviceToDevice;
        update.percent = update.totalBar;
        update.remainingSeconds = static_cast<std::uint32_t>(remainingMilliseconds(totalBytes_, finished, 2) / 1000);
    }
    return update;
}

ProgressUpdate TransferProgress::jobUpdate(Side side, std::uint32_t done, double percent) {
    const std::lock_guard<std::mutex> guard(lock_);
    (side == Side::Receive ? receivedBytes_ : sentBytes_) = done;
    ProgressUpdate update;
    update.name = namePart(side == Side::Receive && !sendBusy_ ? receiveName_ : currentName_);
    const std::uint64_t finished = bytesDone_ + receivedBytes_ + sentBytes_;
    update.caption = ProgressUpdate::Caption::DeviceToDevice;
    update.percent = static_cast<int>(percentOf(finished, totalBytes_));
    update.totalBar = update.percent;
    if (fileCount_ == 1) {
        update.fileBar = update.percent;
    } else if (side == Side::Receive) {
        // The first half of the file bar is the receiving, the second the sending.
        update.fileBar = static_cast<int>(barValue(percent) * 0.5);
        update.setFileBar = !sendBusy_;
    } else {
        update.fileBar = static_cast<int>(barValue(percent) * 0.5 + 50.0);
    }
    update.remainingSeconds = static_cast<std::uint32_t>(remainingMilliseconds(totalBytes_, finished, 4) / 1000);
    return update;
}

ProgressCallback TransferProgress::report() {
    return [this](const DeviceInfo*, std::uint32_t, std::uint32_t done, double percent, std::int32_t estimate) {
        show(singleUpdate(done, percent, estimate));
    };
}

ProgressCallback TransferProgress::receiveReport() {
    return [this](const DeviceInfo*, std::uint32_t, std::uint32_t done, double percent, std::int32_t) {
        show(jobUpdate(Side::Receive, done, percent));
    };
}

ProgressCallback TransferProgress::sendReport() {
    return [this](const DeviceInfo*, std::uint32_t, std::uint32_t done, double percent, std::int32_t) {
        show(jobUpdate(Side::Send, done, percent));
    };
}
