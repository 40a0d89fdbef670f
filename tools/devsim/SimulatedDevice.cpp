#include "SimulatedDevice.h"

#include <algorithm>

#include "DeviceSession.h"
#include "WireBytes.h"

namespace devsim {

SimulatedDevice::SimulatedDevice(DeviceConfig config, std::unique_ptr<DeviceStorage> storage)
    : config_(std::move(config)),
      storage_(storage ? std::move(storage) : std::make_unique<MemoryStorage>()),
      freeSpace_(config_.freeSpace),
      monitorQueue_(config_.monitorLines.begin(), config_.monitorLines.end()) {}

void SimulatedDevice::serve(DeviceLine& line) {
    struct Served {
        SimulatedDevice& device;
        explicit Served(SimulatedDevice& d) : device(d) { count(+1); }
        ~Served() { count(-1); }
        void count(int step) {
            std::lock_guard lock(device.mutex_);
            device.servedLines_ += step;
        }
    } served(*this);
    DeviceSession(*this, line).run();
}

unsigned SimulatedDevice::servedLines() const {
    std::lock_guard lock(mutex_);
    return servedLines_;
}

std::vector<StoredFile> SimulatedDevice::files() const {
    std::lock_guard lock(mutex_);
    return storage_->list();
}

std::optional<Bytes> SimulatedDevice::fileData(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return storage_->read(name);
}

bool SimulatedDevice::hasFile(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return storage_->find(name).has_value();
}

void SimulatedDevice::putFile(const std::string& name, const Bytes& data, const FileTime& time) {
    std::lock_guard lock(mutex_);
    if (auto* memory = dynamic_cast<MemoryStorage*>(storage_.get()))
        memory->put(name, data, time);
    else
        storage_->write(name, data);
}

void SimulatedDevice::putFile(const std::string& name, const std::string& text, const FileTime& time) {
    putFile(name, Bytes(text.begin(), text.end()), time);
}

std::uint32_t SimulatedDevice::freeSpace() const {
    std::lock_guard lock(mutex_);
    return freeSpace_;
}

void SimulatedDevice::setFreeSpace(std::uint32_t bytes) {
    std::lock_guard lock(mutex_);
    freeSpace_ = bytes;
}

std::optional<BrailleTable> SimulatedDevice::brailleTable(unsigned slot) const {
    std::lock_guard lock(mutex_);
    if (slot >= tables_.size()) return std::nullopt;
    return tables_[slot];
}

void SimulatedDevice::setFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    confirmations_ = downloadPackages_ = dataPackages_ = syncs_ = 0;
    bytesWritten_ = 0;
    silent_ = false;
}

bool SimulatedDevice::isSilent() const {
    std::lock_guard lock(mutex_);
    return silent_;
}

void SimulatedDevice::queueMonitorLine(const std::string& text, std::uint8_t number) {
    std::lock_guard lock(mutex_);
    monitorQueue_.push_back({text, number});
}

unsigned SimulatedDevice::monitorHandshakeReplies() const {
    std::lock_guard lock(mutex_);
    return handshakeReplies_;
}

std::vector<std::string> SimulatedDevice::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

void SimulatedDevice::setEventObserver(std::function<void(const std::string&)> observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

std::optional<std::uint8_t> SimulatedDevice::nakForConfirmation(std::uint8_t confirmed) {
    std::lock_guard lock(mutex_);
    if (!faults_.nak || (faults_.nak->confirming && *faults_.nak->confirming != confirmed)) return std::nullopt;
    if (++confirmations_ != faults_.nak->at) return std::nullopt;
    const std::uint8_t code = faults_.nak->code;
    faults_.nak.reset();
    return code;
}

bool SimulatedDevice::cancelForDownloadPackage() {
    std::lock_guard lock(mutex_);
    if (!faults_.cancelDownloadAt || ++downloadPackages_ != *faults_.cancelDownloadAt) return false;
    faults_.cancelDownloadAt.reset();
    return true;
}

std::optional<std::uint16_t> SimulatedDevice::shortenDataPackage() {
    std::lock_guard lock(mutex_);
    if (!faults_.shortPackage || ++dataPackages_ != faults_.shortPackage->at) return std::nullopt;
    const std::uint16_t delivered = faults_.shortPackage->delivered;
    faults_.shortPackage.reset();
    return delivered;
}

std::uint8_t SimulatedDevice::syncByte() {
    std::lock_guard lock(mutex_);
    if (!faults_.wrongSync || ++syncs_ != faults_.wrongSync->at) return wire::SYNC;
    const std::uint8_t byte = faults_.wrongSync->byte;
    faults_.wrongSync.reset();
    return byte;
}

bool SimulatedDevice::endlessList() const {
    std::lock_guard lock(mutex_);
    return faults_.endlessList;
}

std::uint32_t SimulatedDevice::extraDownloadBytes() const {
    std::lock_guard lock(mutex_);
    return faults_.extraBytes;
}

std::size_t SimulatedDevice::allowedBytes(std::size_t count) {
    std::lock_guard lock(mutex_);
    if (silent_) return 0;
    std::size_t allowed = count;
    if (faults_.silenceAfterBytes) {
        const std::uint64_t left = *faults_.silenceAfterBytes - std::min(bytesWritten_, *faults_.silenceAfterBytes);
        allowed = static_cast<std::size_t>(std::min<std::uint64_t>(count, left));
    }
    bytesWritten_ += allowed;
    if (allowed < count) silent_ = true;
    return allowed;
}

std::uint8_t SimulatedDevice::checkUpload(const std::string& name, std::uint8_t flag, std::uint32_t& room) const {
    std::lock_guard lock(mutex_);
    const auto existing = storage_->find(name);
    if (existing && flag == wire::FLAG_KEEP_EXISTING) return refusal::FileAlreadyExists;
    // A replaced file gives its space back once the new one is stored.
    room = freeSpace_ + (existing ? existing->size : 0);
    return 0;
}

std::uint8_t SimulatedDevice::storeUpload(const std::string& name, const Bytes& data) {
    std::lock_guard lock(mutex_);
    const auto existing = storage_->find(name);
    const std::uint64_t room = std::uint64_t(freeSpace_) + (existing ? existing->size : 0);
    if (data.size() > room || !storage_->write(name, data)) return refusal::CannotWriteToFile;
    freeSpace_ = static_cast<std::uint32_t>(room - data.size());
    return 0;
}

std::uint8_t SimulatedDevice::storeBrailleTable(unsigned slot, BrailleTable table) {
    std::lock_guard lock(mutex_);
    tables_.at(slot) = std::move(table);
    return 0;
}

std::uint8_t SimulatedDevice::deleteFile(const std::string& name) {
    std::lock_guard lock(mutex_);
    const auto existing = storage_->find(name);
    if (!existing) return refusal::FileNotFound;
    if (!storage_->remove(name)) return refusal::CannotDeleteFile;
    freeSpace_ += existing->size;
    return 0;
}

std::uint8_t SimulatedDevice::renameFile(const std::string& from, const std::string& to) {
    std::lock_guard lock(mutex_);
    if (!storage_->find(from)) return refusal::FileNotFound;
    if (storage_->find(to)) return refusal::FileAlreadyExists;
    return storage_->rename(from, to) ? 0 : refusal::CannotRenameFile;
}

std::uint32_t SimulatedDevice::diskSize() const {
    std::lock_guard lock(mutex_);
    std::uint64_t size = freeSpace_;
    for (const StoredFile& file : storage_->list()) size += file.size;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
}

void SimulatedDevice::record(const std::string& event) {
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
        observer = observer_;
    }
    if (observer) observer(event);
}

std::optional<MonitorLine> SimulatedDevice::takeMonitorLine() {
    std::lock_guard lock(mutex_);
    if (monitorQueue_.empty()) return std::nullopt;
    MonitorLine line = std::move(monitorQueue_.front());
    monitorQueue_.pop_front();
    return line;
}

void SimulatedDevice::countHandshakeReply() {
    std::lock_guard lock(mutex_);
    ++handshakeReplies_;
}

}  // namespace devsim
