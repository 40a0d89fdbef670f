#include "DeviceWatch.h"

#include <algorithm>
#include <cstdio>

#include "Interrupt.h"
#include "Messages.h"
#include "Ports.h"
#include "devices/DeviceModels.h"
#include "protocol/PrintableText.h"

DeviceWatch::DeviceWatch(const GlobalOptions& options)
    : options_(options), watcher_(portFolder()), devices_(scanAndName(options, false)) {}

bool DeviceWatch::next(std::vector<NamedDevice>& arrived, std::vector<NamedDevice>& left) {
    arrived.clear();
    left.clear();
    while (arrived.empty() && left.empty()) {
        const std::vector<PortChange> changes = watcher_.next();
        if (changes.empty()) return false;
        for (const PortChange& change : changes) {
            const std::optional<int> port = portFromText(change.path);
            if (!port) continue;
            const auto there = std::find_if(devices_.begin(), devices_.end(), [&](const NamedDevice& device) {
                return device.info.portNumber == static_cast<std::uint32_t>(*port);
            });
            if (!change.present && there != devices_.end()) {
                left.push_back(*there);
                devices_.erase(there);
            } else if (change.present && there == devices_.end()) {
                for (const NamedDevice& device : scanAndName(options_, false, {*port})) {
                    arrived.push_back(device);
                    devices_.push_back(device);
                }
            }
        }
    }
    return true;
}

int runScanWatch(const GlobalOptions& options) {
    try {
        DeviceWatch watch(options);
        const InterruptAction stop([&watch] { watch.stop(); });
        const auto tell = [](const NamedDevice& device, bool arrived) {
            const std::string name = printable(device.name);
            const std::string port = portLabel(static_cast<int>(device.info.portNumber));
            if (arrived) {
                const char* model = modelName(device.info.typeCode);
                std::printf("%s connected on %s (%s, serial %s).\n", name.c_str(), port.c_str(), model ? model : "?",
                            printable(device.info.serial).c_str());
            } else {
                std::printf("%s disconnected from %s.\n", name.c_str(), port.c_str());
            }
            std::fflush(stdout);
        };
        std::printf("Watching %s for devices; Ctrl+C stops.\n", printable(watch.folder()).c_str());
        for (const NamedDevice& device : watch.devices()) tell(device, true);
        std::fflush(stdout);
        std::vector<NamedDevice> arrived, left;
        while (watch.next(arrived, left)) {
            for (const NamedDevice& device : left) tell(device, false);
            for (const NamedDevice& device : arrived) tell(device, true);
        }
        return ExitCode::Success;
    } catch (const std::runtime_error& error) {
        reportProblem(std::string(error.what()) + ".");
        return ExitCode::Failure;
    }
}
