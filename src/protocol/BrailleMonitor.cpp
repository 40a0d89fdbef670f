// Braille tables and monitor mode: a table load is an upload with a fixed
// size and a slot flag; the monitor loop shares the object's port with the
// transactions through the port modes.
#include <atomic>
#include <mutex>

#include "link/Pause.h"
#include "link/PortOpener.h"
#include "protocol/MonitorDecoder.h"
#include "protocol/ProtocolBytes.h"
#include "protocol/SLVFamilyDevice.h"

using namespace ProtocolBytes;
using namespace ProtocolExceptions;

namespace {
constexpr char tablePrefix[] = "SLVFamilyDevice::receiveBrailleTable -- ";
constexpr std::uint32_t tableSize = 256;
constexpr std::uint8_t tableSlotFlag = 0x80;
constexpr std::uint8_t backwardSearchFlag = 0x40;
constexpr std::uint32_t readRetryMilliseconds = 200;
// While a transaction has the port the loop only re-reads the flags; this
// keeps it from spinning.
constexpr std::uint32_t lentPollMilliseconds = 50;

// At most one monitor loop in the process.
std::atomic<bool> monitorRunning{false};
}  // namespace

void SLVFamilyDevice::receiveBrailleTable(std::span<const std::uint8_t, 256> table, const std::string& tableName,
                                          std::uint32_t slot, bool backwardSearch) {
    if (slot < 1 || slot > 9) {
        throw InvalidArgument(std::string(tablePrefix) + "Slotnumber for braille table transmission is out of range.");
    }
    std::uint8_t flag = static_cast<std::uint8_t>(tableSlotFlag + (slot & 0x0F));
    if (backwardSearch) {
        if (info.protocolVersion == 0) {
            throw WrongProtocolVersion(std::string(tablePrefix) +
                                       "Backward search in braille tables is not implemented in "
                                       "the target device's firmware version");
        }
        flag += backwardSearchFlag;
    }
    if (tableName.size() > PackageLimits::maxTargetName) {
        throw IllegalTargetFileName(std::string(tablePrefix) + "TargetFilename too long.");
    }
    runTransaction(tablePrefix, [&] {
        port->purgeBuffers();
        sendCommand(RECEIVE_DATA_BLOCK, tablePrefix);
        sendUploadHeader(tableName, flag, tablePrefix);
        for (std::uint32_t sent = 0; sent < tableSize;) {
            const std::uint32_t count = std::min(tableSize - sent, PackageLimits::maxPcPayload);
            sendDataPackage(table.data() + sent, count, tablePrefix);
            sent += count;
        }
        sendEndOfFile(tablePrefix);
    });
}

void SLVFamilyDevice::startMonitorMode(const MonitorCallback& callback) {
    {
        std::lock_guard lock(monitorLock);
        if (monitorRunning) return;
        monitorActive = 1;
        monitorRunning = true;
    }
    auto endRun = [this] {
        std::lock_guard lock(monitorLock);
        monitorRunning = false;
    };

    portLock.enter();
    if (portMode == IDLE) {
        portMode = MONITOR;
        try {
            port = openSerialPort(static_cast<int>(info.portNumber));
        } catch (NBException e) {
            portMode = IDLE;
            monitorActive = 0;
            portLock.leave();
            if (callback) {
                callback(&info, e.typeName, 0, 1);
                callback(&info, e.description, 0, 1);
            }
            endRun();
            return;
        }
    } else if (portMode != MONITOR) {
        // A transaction holds the port: its releasePort hands it over.
        portMode = LENT;
    }
    portLock.leave();

    MonitorDecoder decoder(info, callback);
    bool started = false;
    try {
        while (monitorActive) {
            const PortMode mode = portMode.load();
            if (mode == PAUSE_REQUESTED) {
                std::lock_guard lock(portLock);
                portMode = MONITOR_PAUSED;
                continue;
            }
            if (mode != MONITOR) {
                pauseFor(lentPollMilliseconds);
                continue;
            }
            if (!started) {
                std::lock_guard lock(portLock);
                try {
                    const std::uint8_t startFrame[] = {
                        MONITOR_START_FRAME, static_cast<std::uint8_t>(info.typeCode & 0xFF), 0x01, 0x07, SYNC};
                    port->writeBuffer(startFrame, sizeof startFrame);
                    port->writeByte(MONITOR_MODE);
                    port->writeByte(MONITOR_ON);
                    port->purgeBuffers();
                } catch (PortExceptions::PortException) {
                    pauseFor(readRetryMilliseconds);
                }
                started = true;
                continue;
            }
            try {
                decoder.handleNext(*port);
            } catch (PortExceptions::CannotReadFromPort) {
                pauseFor(readRetryMilliseconds);
            }
        }
        std::lock_guard lock(portLock);
        if (started && portMode == MONITOR) {
            port->writeByte(MONITOR_LF);
            port->writeByte(MONITOR_MODE);
            port->writeByte(MONITOR_OFF);
            port->purgeBuffers();
        }
    } catch (NBException) {
        // Ends the loop; the port is closed below.
    }

    {
        std::lock_guard lock(portLock);
        const PortMode mode = portMode.load();
        // A transaction waiting for the port (or about to take it) opens
        // its own once the loop's port is gone; one that already borrowed
        // it closes it in its releasePort.
        if (mode == MONITOR || mode == PAUSE_REQUESTED || mode == MONITOR_PAUSED) {
            port.reset();
            portMode = IDLE;
        }
    }
    endRun();
}
