#pragma once
// A serial port whose far end is a simulated device running on its own
// thread, joined by two in-memory byte queues. Reads follow the real port's
// rules: whatever arrived by the read time-out, at least one byte, or
// CannotReadFromPort. Destroying the port ends the device's session.
#include <memory>
#include <string>
#include <thread>

#include "DeviceLine.h"
#include "SimulatedDevice.h"
#include "link/SerialPort.h"

namespace devsim {

class MemoryLine;

class SimulatedPort : public SerialPort {
public:
    static constexpr Milliseconds defaultReadTimeout{100};

    // `name` appears in error descriptions, e.g. "COM3".
    explicit SimulatedPort(std::shared_ptr<SimulatedDevice> device, Milliseconds readTimeout = defaultReadTimeout,
                           std::string name = "SIM");
    ~SimulatedPort() override;

    // Waits until the device has written all it means to write (it waits for
    // the PC again), then discards what the PC has not read yet.
    void purgeBuffers() override;
    void writeBuffer(const std::uint8_t* bytes, std::uint32_t count) override;
    std::uint32_t readBuffer(std::uint8_t* bytes, std::uint32_t count) override;
    std::uint8_t readByte() override;
    void writeByte(std::uint8_t byte) override;

    SimulatedDevice& device() { return *device_; }

private:
    std::uint32_t receive(std::uint8_t* bytes, std::uint32_t count);

    std::shared_ptr<SimulatedDevice> device_;
    Milliseconds readTimeout_;
    std::string name_;
    std::unique_ptr<MemoryLine> line_;
    std::thread deviceThread_;
};

}  // namespace devsim
