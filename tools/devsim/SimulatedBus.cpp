#include "SimulatedBus.h"

#include <stdexcept>
#include <string>

#include "link/NBException.h"

namespace devsim {

SimulatedBus::SimulatedBus(Milliseconds readTimeout)
    : readTimeout_(readTimeout), opener_([this](int portNumber) { return open(portNumber); }) {}

SimulatedDevice& SimulatedBus::attach(int portNumber, DeviceConfig config, std::unique_ptr<DeviceStorage> storage) {
    auto device = std::make_shared<SimulatedDevice>(std::move(config), std::move(storage));
    std::lock_guard lock(mutex_);
    auto& slot = devices_[portNumber];
    if (slot) unplugged_.push_back(std::move(slot));
    slot = device;
    return *device;
}

void SimulatedBus::detach(int portNumber) {
    std::lock_guard lock(mutex_);
    const auto it = devices_.find(portNumber);
    if (it == devices_.end()) return;
    unplugged_.push_back(std::move(it->second));
    devices_.erase(it);
}

SimulatedDevice& SimulatedBus::device(int portNumber) {
    std::lock_guard lock(mutex_);
    return *devices_.at(portNumber);
}

std::unique_ptr<SerialPort> SimulatedBus::open(int portNumber) {
    const std::string name = "\\\\.\\COM" + std::to_string(portNumber);
    std::shared_ptr<SimulatedDevice> device;
    Milliseconds readTimeout;
    {
        std::lock_guard lock(mutex_);
        const auto it = devices_.find(portNumber);
        if (it != devices_.end()) device = it->second;
        readTimeout = readTimeout_;
    }
    // The same failure as a port number that exists but has nothing behind it.
    if (!device)
        throw PortExceptions::ErrorOnInitialization("SimulatedBus::open --  Error while reading Settings for Port \"" +
                                                    name + "\" ");
    return std::make_unique<SimulatedPort>(std::move(device), readTimeout, name);
}

void SimulatedBus::setReadTimeout(Milliseconds readTimeout) {
    std::lock_guard lock(mutex_);
    readTimeout_ = readTimeout;
}

}  // namespace devsim
