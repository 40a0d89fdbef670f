#include "namespace/DeviceProbe.h"

#include "link/NBException.h"
#include "link/PortOpener.h"
#include "protocol/ProtocolBytes.h"

bool probeDevice(int portNumber, std::uint32_t expectedType) noexcept {
    try {
        std::unique_ptr<SerialPort> port = openSerialPort(portNumber);
        port->purgeBuffers();
        port->writeByte(ProtocolBytes::IDENTIFY);
        if (port->readByte() != ProtocolBytes::IDENTIFY_ANSWER) {
            return false;
        }
        return port->readByte() == expectedType;
    } catch (const NBException&) {
        return false;
    } catch (...) {
        return false;
    }
}
