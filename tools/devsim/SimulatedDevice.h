#pragma once
// One simulated device of the family: its identity, its files, its free
// space, its braille table slots and its armed faults. `serve` plays the
// device's side of the serial protocol on a line until the line closes;
// tests inspect the outcome through the accessors, from any thread.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "DeviceConfig.h"
#include "DeviceLine.h"
#include "DeviceStorage.h"

namespace devsim {

struct BrailleTable {
    std::string name;
    bool backwardSearch = false;
    Bytes table;  // 256 bytes
};

class SimulatedDevice {
public:
    // Without a storage the device keeps its files in memory.
    explicit SimulatedDevice(DeviceConfig config = {}, std::unique_ptr<DeviceStorage> storage = nullptr);
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    // Plays the device on `line` until the line raises LineClosed. Several
    // lines may be served at once; they share files, space and faults.
    void serve(DeviceLine& line);

    const DeviceConfig& config() const { return config_; }
    // Lines being served now: 0 once every port to the device is closed.
    unsigned servedLines() const;

    // Files as the device would list them, and their contents.
    std::vector<StoredFile> files() const;
    std::optional<Bytes> fileData(const std::string& name) const;
    bool hasFile(const std::string& name) const;
    // Seeds a file without touching the free space.
    void putFile(const std::string& name, const Bytes& data, const FileTime& time = currentFileTime());
    void putFile(const std::string& name, const std::string& text, const FileTime& time = currentFileTime());

    std::uint32_t freeSpace() const;
    void setFreeSpace(std::uint32_t bytes);

    // The table loaded into slot 1 to 9, if any.
    std::optional<BrailleTable> brailleTable(unsigned slot) const;

    // Arms faults and restarts their counters; an empty set clears them
    // (and ends a silence).
    void setFaults(const Faults& faults);
    void clearFaults() { setFaults(Faults{}); }
    bool isSilent() const;

    // Queues a monitor line; it is sent while monitor mode is on.
    void queueMonitorLine(const std::string& text, std::uint8_t number);
    // How many 0x34 answers to the kind A handshake the PC gave.
    unsigned monitorHandshakeReplies() const;

    // One line per finished transaction ("sent file list (5 files)",
    // "received FOO.TXT (1234 bytes)"), also passed to the observer if set.
    std::vector<std::string> events() const;
    void setEventObserver(std::function<void(const std::string&)> observer);
    void record(const std::string& event);

private:
    friend class DeviceSession;

    // Fault decisions, each counting one event.
    std::optional<std::uint8_t> nakForConfirmation(std::uint8_t confirmed);
    bool cancelForDownloadPackage();
    std::optional<std::uint16_t> shortenDataPackage();
    std::uint8_t syncByte();
    bool endlessList() const;
    std::uint32_t extraDownloadBytes() const;
    // How many of `count` bytes may still be written before silence begins;
    // fewer than `count` starts the silence.
    std::size_t allowedBytes(std::size_t count);

    // Storage operations of the transactions; each returns 0 or the device
    // error code that refuses it.
    std::uint8_t checkUpload(const std::string& name, std::uint8_t flag, std::uint32_t& room) const;
    std::uint8_t storeUpload(const std::string& name, const Bytes& data);
    std::uint8_t storeBrailleTable(unsigned slot, BrailleTable table);
    std::uint8_t deleteFile(const std::string& name);
    std::uint8_t renameFile(const std::string& from, const std::string& to);
    std::uint32_t diskSize() const;

    std::optional<MonitorLine> takeMonitorLine();
    void countHandshakeReply();

    mutable std::mutex mutex_;
    const DeviceConfig config_;
    std::unique_ptr<DeviceStorage> storage_;
    std::uint32_t freeSpace_;
    std::array<std::optional<BrailleTable>, 10> tables_;
    std::deque<MonitorLine> monitorQueue_;
    unsigned handshakeReplies_ = 0;
    unsigned servedLines_ = 0;
    std::vector<std::string> events_;
    std::function<void(const std::string&)> observer_;

    Faults faults_;
    unsigned confirmations_ = 0;
    unsigned downloadPackages_ = 0;
    unsigned dataPackages_ = 0;
    unsigned syncs_ = 0;
    std::uint64_t bytesWritten_ = 0;
    bool silent_ = false;
};

}  // namespace devsim
