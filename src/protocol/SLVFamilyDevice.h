#pragma once
// One device of the Korvel family on one COM port, and the transactions it
// offers. A device object lives for one operation (or one transfer job);
// each transaction takes the port, runs its exchanges and gives the port
// back on every way out, so the object is idle again afterwards.
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "link/NBException.h"
#include "link/SerialPort.h"
#include "protocol/DeviceInfo.h"
#include "protocol/FileListEntry.h"
#include "protocol/PortMode.h"
#include "protocol/ProtocolBytes.h"
#include "protocol/TransferCallbacks.h"
#include "protocol/WinCriticalSection.h"

class SLVFamilyDevice final {
public:
    // Raises MismatchingProtocol for a type code outside the family.
    explicit SLVFamilyDevice(DeviceInfo info);
    ~SLVFamilyDevice();
    SLVFamilyDevice(const SLVFamilyDevice&) = delete;
    SLVFamilyDevice& operator=(const SLVFamilyDevice&) = delete;

    // Asks the running download or upload to stop at the next package.
    // Safe from any thread; does not wait.
    virtual void cancelTransfer();
    // Loads a 256-byte braille table into slot 1..9.
    virtual void receiveBrailleTable(std::span<const std::uint8_t, 256> table, const std::string& tableName,
                                     std::uint32_t slot, bool backwardSearch);
    // Runs the monitor loop on the calling thread until stopMonitorMode;
    // never raises. At most one loop runs in the whole process.
    virtual void startMonitorMode(const MonitorCallback& callback);
    virtual void stopMonitorMode();
    // Gives the object up for good (the program is going away): a running
    // file list or transfer ends at its next package as cancelled by the
    // user, and no other transaction starts. Safe from any thread.
    void abandon();

    // The device's files, at most `maximum` of them, in the device's order.
    std::vector<FileListEntry> sendFileList(std::uint32_t maximum);
    // `second` is the free space in bytes; nobody uses `first`.
    void sendDiskSpace(std::uint32_t& first, std::uint32_t& second);
    // Download: the device sends `deviceFileName` into the local file
    // `localPath`, which is replaced only once the whole file is there.
    // `expectedSize`, the size the device listed, scales the progress and
    // bounds the transfer: more data is a protocol error. A failed transfer
    // leaves `localPath` as it was.
    void sendFile(const std::string& deviceFileName, const std::string& localPath, std::uint32_t expectedSize,
                  const ProgressCallback& progress);
    // Upload: the device receives the local file. `flag` 0 refuses to
    // replace an existing file, 1 replaces it. An empty `targetName`
    // takes the local file's own name (cut to 64 characters). With flag 1,
    // `replacedBytes` (the size of the file being replaced) counts as free
    // space in the check before the upload.
    void receiveFile(const std::string& localPath, const ProgressCallback& progress, std::uint8_t flag,
                     const std::string& targetName = {}, std::uint32_t replacedBytes = 0);
    // Both need protocol version 1 or higher.
    void deleteFile(const std::string& deviceFileName);
    void renameFile(const std::string& oldName, const std::string& newName);

    const DeviceInfo& deviceInfo() const { return info; }
    PortMode currentPortMode() const { return portMode.load(); }
    bool isBusy();

private:
    // Framing shared by every transaction.
    void readConfirmation(std::uint8_t expected, const char* prefix);
    [[noreturn]] void raiseDeviceError(std::uint8_t code, const char* prefix);
    void acquirePort(const char* prefix);
    void releasePort() noexcept;
    void closeOwnPort();

    // Takes the port, runs `exchanges`, gives the port back on every way
    // out. On failure `cleanUp` runs first, then the caught value leaves
    // as the root class, code and texts intact.
    template <typename Exchanges, typename CleanUp>
    void runTransaction(const char* prefix, Exchanges&& exchanges, CleanUp&& cleanUp);
    template <typename Exchanges>
    void runTransaction(const char* prefix, Exchanges&& exchanges) {
        runTransaction(prefix, std::forward<Exchanges>(exchanges), [] {});
    }

    // One helper per package shape.
    void sendCommand(std::uint8_t command, const char* prefix);
    void sendNamePackage(const std::string& name, std::uint8_t command, const char* prefix);
    void sendUploadHeader(const std::string& name, std::uint8_t flag, const char* prefix);
    void sendDataPackage(const std::uint8_t* payload, std::uint32_t count, const char* prefix);
    void sendEndOfFile(const char* prefix);
    // A device package after its RECEIVE_DATA_BLOCK: answers it, reads the
    // length and payload; returns the payload length. A package longer than
    // `room` is refused before its payload is read. The closing SYNC is
    // read by receivePackageEnd, so a download can store the payload first.
    std::uint32_t receivePackagePayload(std::uint8_t* buffer, const char* prefix,
                                        std::uint32_t room = PackageLimits::maxDevicePayload);
    void receivePackageEnd(const char* prefix);
    // Answers a device package with NAK and the PC's cancel code and raises
    // TransmissionCanceledByUser.
    [[noreturn]] void refuseAsCancelled(const char* prefix);
    // Answers a device package with NAK and raises ErrorInProtocol with
    // `detail`: the device sends more than the PC takes.
    [[noreturn]] void refusePackage(const char* prefix, const char* detail);

    DeviceInfo info;
    WinCriticalSection portLock;
    WinCriticalSection monitorLock;
    WinCriticalSection busyLock;
    std::atomic<std::int32_t> continueTransfer;
    std::atomic<bool> abandoned{false};
    std::atomic<std::int32_t> monitorActive{0};
    std::unique_ptr<SerialPort> port;
    std::atomic<PortMode> portMode{IDLE};
    std::int32_t busy = 0;
};

template <typename Exchanges, typename CleanUp>
void SLVFamilyDevice::runTransaction(const char* prefix, Exchanges&& exchanges, CleanUp&& cleanUp) {
    acquirePort(prefix);
    try {
        exchanges();
    } catch (NBException e) {  // by value: what leaves is the root class
        cleanUp();
        releasePort();
        throw e;
    } catch (...) {
        cleanUp();
        releasePort();
        throw;
    }
    releasePort();
}

// Device names go into 68-byte packages; longer ones are refused before
// the port is touched.
void checkDeviceFileName(const std::string& name, const char* prefix, bool isTarget);
