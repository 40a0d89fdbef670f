#include "devices/Discovery.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "link/NBException.h"
#include "link/PortOpener.h"
#include "protocol/Identification.h"

std::optional<DeviceInfo> probePort(int portNumber) {
    std::optional<DeviceInfo> found;
    try {
        std::unique_ptr<SerialPort> port = openSerialPort(portNumber);
        found = identifyDevice(*port, portNumber, true, false);
        // The port closes here, before we report, so it is free (or back with
        // its holder) as soon as the caller hears of the device.
    } catch (NBException) {
        return std::nullopt;
    }
    if (found) found->index = 0;
    return found;
}

namespace {
// Counts the probe threads that have started and not yet finished.
class RunningCount {
public:
    void started() {
        std::lock_guard lock(mutex_);
        ++count_;
    }
    void finished() {
        std::lock_guard lock(mutex_);
        --count_;
        changed_.notify_all();
    }
    // Looks at the count every 200 ms (or sooner, when a thread finishes)
    // until all threads are done; there is no overall limit, since every
    // probe ends by its port's own time-outs.
    void waitForAll() {
        std::unique_lock lock(mutex_);
        while (count_ != 0) changed_.wait_for(lock, std::chrono::milliseconds(200));
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

struct ProbeJob {
    int portNumber = 0;
    std::optional<DeviceInfo> found;
};
}  // namespace

std::vector<DeviceInfo> probePorts(const std::vector<int>& ports) {
    // The threads are joined once the count is zero rather than detached:
    // MinGW's thread library does not survive many detached threads ending
    // at once, and a joined thread is surely done with the count and its job.
    RunningCount running;
    std::vector<std::unique_ptr<ProbeJob>> jobs;
    std::vector<std::thread> threads;
    jobs.reserve(ports.size());
    threads.reserve(ports.size());
    for (int portNumber : ports) {
        auto job = std::make_unique<ProbeJob>();
        job->portNumber = portNumber;
        running.started();
        try {
            threads.emplace_back([job = job.get(), &running] {
                job->found = probePort(job->portNumber);
                running.finished();
            });
        } catch (const std::system_error&) {
            running.finished();  // a thread that cannot start found nothing
        }
        jobs.push_back(std::move(job));
    }
    running.waitForAll();
    for (std::thread& thread : threads) thread.join();

    std::vector<DeviceInfo> records;
    for (const auto& job : jobs) {
        if (!job->found) continue;
        DeviceInfo record = *job->found;
        record.index = static_cast<std::uint32_t>(records.size());
        records.push_back(record);
    }
    return records;
}

std::vector<int> scannedPorts() {
    std::vector<int> ports;
    for (int n = 1; n <= 31; ++n) ports.push_back(n);
    return ports;
}

bool isFileCapableModel(std::uint32_t typeCode) {
    return typeCode == 0x05 || typeCode == 0x72 || typeCode == 0x74 || typeCode == 0x78;
}

bool isUsableDevice(const DeviceInfo& device) {
    return isFileCapableModel(device.typeCode) && device.protocolVersion != 0;
}

ScanResult scanDevices(const std::vector<int>& ports) {
    ScanResult result;
    for (const DeviceInfo& record : probePorts(ports)) {
        if (isUsableDevice(record)) {
            result.devices.push_back(record);
        } else if (isFileCapableModel(record.typeCode)) {
            result.firmwareTooOld.push_back(record);
        }
    }
    return result;
}

std::vector<NamedDevice> listDevices(const std::vector<DeviceInfo>& devices, DeviceCatalogue& catalogue) {
    catalogue.loadCatalogue();
    std::vector<NamedDevice> named;
    named.reserve(devices.size());
    for (const DeviceInfo& device : devices)
        named.push_back({device, catalogue.nameDevice(device.serial, device.typeCode)});
    catalogue.saveIndexCounters();
    return named;
}
