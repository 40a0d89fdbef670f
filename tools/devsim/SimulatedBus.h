#pragma once
// Simulated devices behind port numbers. While a bus lives, every port
// opened by number (transactions, probes, monitor loops) goes to it: each
// open gives a fresh SimulatedPort to the device on that number, and a
// number without a device fails like a missing port.
//
//   devsim::SimulatedBus bus;
//   auto& corvia = bus.attach(3, {.typeCode = 0x78, .serial = "CV8-0001"});
//   corvia.putFile("NOTES.TXT", "hello");
//   ... run the PC side on port 3 ...
//   EXPECT_EQ(corvia.fileData("COPY.TXT"), ...);
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "DeviceConfig.h"
#include "SimulatedDevice.h"
#include "SimulatedPort.h"
#include "link/PortOpener.h"

namespace devsim {

class SimulatedBus {
public:
    explicit SimulatedBus(Milliseconds readTimeout = SimulatedPort::defaultReadTimeout);
    SimulatedBus(const SimulatedBus&) = delete;
    SimulatedBus& operator=(const SimulatedBus&) = delete;

    // Puts a device behind `portNumber` (replacing any there); without a
    // storage it keeps its files in memory.
    SimulatedDevice& attach(int portNumber, DeviceConfig config = {}, std::unique_ptr<DeviceStorage> storage = nullptr);
    // Unplugs the device: later opens of the number fail; open ports keep
    // it, and references to it stay valid while the bus lives.
    void detach(int portNumber);
    // The device behind `portNumber`; raises std::out_of_range when none.
    SimulatedDevice& device(int portNumber);

    // What the installed port opener does. Raises
    // PortExceptions::ErrorOnInitialization for a number without a device.
    std::unique_ptr<SerialPort> open(int portNumber);

    void setReadTimeout(Milliseconds readTimeout);

private:
    mutable std::mutex mutex_;
    std::map<int, std::shared_ptr<SimulatedDevice>> devices_;
    std::vector<std::shared_ptr<SimulatedDevice>> unplugged_;
    Milliseconds readTimeout_;
    ScopedPortOpener opener_;  // last, so it is installed once the rest exists
};

}  // namespace devsim
