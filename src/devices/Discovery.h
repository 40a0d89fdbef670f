#pragma once
// Finds the devices of the family on the serial ports. Used by the shell
// folder and by the command-line tool alike: ports in, device records out.
#include <optional>
#include <string>
#include <vector>

#include "devices/DeviceCatalogue.h"
#include "protocol/DeviceInfo.h"

// Opens `portNumber`, identifies the device there (serial text included)
// and closes the port again: its record (index 0), or none when nothing of
// the family answered. Never raises.
std::optional<DeviceInfo> probePort(int portNumber);

// Probes all `ports` at once, one thread per port, and returns the records in
// the order of `ports`, indexed 0, 1, 2...
std::vector<DeviceInfo> probePorts(const std::vector<int>& ports);

// The COM ports a scan looks at: 1 to 31.
std::vector<int> scannedPorts();

// A file-capable model: Solvane, Minnow, Corvia 40, Corvia 80.
bool isFileCapableModel(std::uint32_t typeCode);
// A device the shell lists: a file-capable model with firmware that answers
// the protocol version query.
bool isUsableDevice(const DeviceInfo& device);

struct ScanResult {
    std::vector<DeviceInfo> devices;         // usable devices, in port order
    std::vector<DeviceInfo> firmwareTooOld;  // file-capable models that must be upgraded
};

// Probes `ports` and sorts what answered: usable devices are kept, models
// whose firmware is too old are listed for the caller to tell the user
// about, devices of other kinds are dropped.
ScanResult scanDevices(const std::vector<int>& ports = scannedPorts());

struct NamedDevice {
    DeviceInfo info;
    std::string name;  // display name from the catalogue
};

// Gives every device its remembered display name, in list order, and saves
// the catalogue's counters.
std::vector<NamedDevice> listDevices(const std::vector<DeviceInfo>& devices, DeviceCatalogue& catalogue);
