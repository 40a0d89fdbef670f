#include "protocol/SLVFamilyDevice.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "link/Pause.h"
#include "link/PortOpener.h"
#include "protocol/DeviceErrors.h"
#include "protocol/ProtocolBytes.h"

using namespace ProtocolBytes;
using namespace ProtocolExceptions;

namespace {
constexpr std::array<std::uint32_t, 8> acceptedTypeCodes{0x04, 0x05, 0x35, 0x36, 0x38, 0x72, 0x74, 0x78};
constexpr char releasePrefix[] = "SLVFamilyDevice::releasePort--";
constexpr std::uint32_t monitorPollMilliseconds = 250;
}  // namespace

SLVFamilyDevice::SLVFamilyDevice(DeviceInfo record) {
    if (std::find(acceptedTypeCodes.begin(), acceptedTypeCodes.end(), record.typeCode) == acceptedTypeCodes.end()) {
        throw MismatchingProtocol("SLVFamilyDevice::SLVFamilyDevice: Contructor called for illegal device.");
    }
    info = record;
    info.serial[DeviceInfo::serialSize - 1] = '\0';
}

SLVFamilyDevice::~SLVFamilyDevice() = default;

void SLVFamilyDevice::cancelTransfer() {
    continueTransfer = 0;
}

void SLVFamilyDevice::abandon() {
    abandoned = true;
    continueTransfer = 0;
}

void SLVFamilyDevice::stopMonitorMode() {
    std::lock_guard lock(monitorLock);
    monitorActive = 0;
}

bool SLVFamilyDevice::isBusy() {
    std::lock_guard lock(busyLock);
    return busy != 0;
}

void SLVFamilyDevice::readConfirmation(std::uint8_t expected, const char* prefix) {
    const std::uint8_t first = port->readByte();
    if (first == ACK) {
        if (port->readByte() == expected) return;
        throw WrongCommandConfirmed(std::string(prefix) + " Wrong command byte received.");
    }
    if (first == NAK) raiseDeviceError(port->readByte(), prefix);
    throw ErrorInProtocol(std::string(prefix) + " Missing ACK and NAK");
}

void SLVFamilyDevice::raiseDeviceError(std::uint8_t code, const char* prefix) {
    const DeviceError::Entry& error = DeviceError::entryFor(code);
    const std::string description = std::string(prefix) + error.text;
    switch (error.kind) {
        case DeviceError::Kind::OnDevice:
            throw ErrorOnDevice(description);
        case DeviceError::Kind::AlreadyExists:
            throw FileAlreadyExitsOnDevice(description);
        case DeviceError::Kind::Cancelled:
            throw TransmissionCanceledByUser(description);
        case DeviceError::Kind::NotFound:
            throw FileNotFoundOnDevice(description);
        case DeviceError::Kind::Protocol:
            break;
    }
    throw ErrorInProtocol(description);
}

void SLVFamilyDevice::acquirePort(const char* prefix) {
    {
        std::lock_guard lock(busyLock);
        if (busy) {
            throw MethodCollision(std::string(prefix) + "Port is blocked by other transfer transaction.");
        }
        if (abandoned)
            throw TransmissionCanceledByUser(std::string(prefix) + "Transmission canceled by user (PC side).");
        busy = 1;
    }
    auto clearBusy = [this] {
        std::lock_guard lock(busyLock);
        busy = 0;
    };

    PortMode mode = portMode.load();
    if (mode == MONITOR) {
        {
            std::lock_guard lock(portLock);
            portMode = PAUSE_REQUESTED;
        }
        // The loop answers between two reads; no upper limit. If it ends
        // meanwhile it closes its port (IDLE) and we open our own below.
        for (;;) {
            mode = portMode.load();
            if (mode == MONITOR_PAUSED) {
                std::lock_guard lock(portLock);
                if (portMode == MONITOR_PAUSED) {
                    portMode = mode = LENT;
                    break;
                }
                continue;
            }
            if (mode == IDLE) break;
            pauseFor(monitorPollMilliseconds);
        }
    }

    if (mode == IDLE) {
        if (info.portHeld != 0) {
            clearBusy();
            throw PortExceptions::UnableToOpenPort(std::string(prefix) + " Port is held by another program.");
        }
        portLock.enter();
        portMode = OWN_PORT;
        try {
            port = openSerialPort(static_cast<int>(info.portNumber));
        } catch (NBException e) {
            portMode = IDLE;
            portLock.leave();
            clearBusy();
            throw e;
        }
        portLock.leave();
    } else if (mode != LENT) {
        clearBusy();
        throw PortExceptions::UnableToOpenPort(std::string(prefix) + " Port mode is in illegal state. ");
    }

    try {
        port->writeByte(MONITOR_MODE);
        port->writeByte(MONITOR_OFF);
    } catch (NBException e) {
        // Nothing of the transaction has happened yet: give the port back
        // so the object is usable again.
        releasePort();
        throw e;
    }
    try {
        readConfirmation(MONITOR_OFF, prefix);
    } catch (NBException) {
        // Devices that are not in monitor mode may not answer the switch.
    }
}

void SLVFamilyDevice::releasePort() noexcept {
    {
        std::lock_guard lock(busyLock);
        busy = 0;
    }
    std::lock_guard lock(portLock);
    if (portMode == LENT && monitorActive) {
        try {
            port->writeByte(MONITOR_MODE);
            port->writeByte(MONITOR_ON);
            port->readByte();
            port->readByte();
        } catch (NBException) {
            // The monitor loop finds out on its next read.
        }
        portMode = MONITOR;
        return;
    }
    // Our own port, or a lent one whose monitor loop has stopped meanwhile.
    closeOwnPort();
}

void SLVFamilyDevice::closeOwnPort() {
    if (port) {
        try {
            port->writeByte(MONITOR_MODE);
            port->writeByte(MONITOR_OFF);
            readConfirmation(MONITOR_OFF_CONFIRMED_ON_RELEASE, releasePrefix);
        } catch (NBException) {
            // The port is closed all the same.
        }
        port.reset();
    }
    portMode = IDLE;
}

void checkDeviceFileName(const std::string& name, const char* prefix, bool isTarget) {
    if (name.size() <= PackageLimits::maxNameBytes) return;
    const std::string description = std::string(prefix) + "File name is longer than 65 bytes: " + name;
    if (isTarget) throw IllegalTargetFileName(description);
    throw IllegalSourceFileName(description);
}
