#pragma once
// The device's side of the protocol on one line, written as the device runs
// it: wait for a command byte, then walk through that transaction's steps.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "DeviceLine.h"
#include "SimulatedDevice.h"

namespace devsim {

class DeviceSession {
public:
    DeviceSession(SimulatedDevice& device, DeviceLine& line);
    // Returns when the line closes.
    void run();

private:
    // Ends the running transaction; a byte that belongs to the next
    // command (the PC gave up and moved on) is handled as that command.
    struct Abort {
        std::optional<std::uint8_t> pending;
    };
    // The device went silent for good in the middle of a write.
    struct Silenced {};

    using Check = std::function<std::uint8_t()>;

    void dispatch(std::uint8_t first);
    void command(std::uint8_t byte);

    std::uint8_t nextStep();
    std::uint8_t nextInPackage();
    Bytes readPackageBody(std::size_t count);
    std::uint16_t readLength();
    void awaitConfirmation(std::uint8_t confirmed);

    void send(const Bytes& bytes);
    void sendSync();
    // ACK `confirmed`, or NAK with an armed fault's code or the refusal the
    // check returns (which then ends the transaction).
    void confirm(std::uint8_t confirmed, const Check& check = {});
    std::string readNamePackage(std::uint8_t command, std::uint8_t missingCommand,
                                const std::function<std::uint8_t(const std::string&)>& check);
    bool sendDataPackage(const std::uint8_t* data, std::size_t count, bool download);

    void answerOtherKindQuery();
    void answerVersionQuery();
    void answerSerialQuery();
    void switchMonitorMode();
    void sendFileList();
    void sendDiskSpace();
    void sendFile();
    void receiveFile();
    void deleteFile();
    void renameFile();
    bool monitorOutputDue() const;
    void sendMonitorOutput();

    SimulatedDevice& device_;
    std::optional<PacedLine> pacedLine_;
    DeviceLine& line_;
    bool portTaken_ = false;
    bool monitorOn_ = false;
    bool monitorFramed_ = false;
    std::chrono::steady_clock::time_point monitorReadyAt_{};
    std::chrono::steady_clock::time_point lastByteAt_ = std::chrono::steady_clock::now();
};

}  // namespace devsim
