// Discovery against simulated devices behind port numbers: which devices a
// scan keeps, in which order, and how they are named.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "devices/Discovery.h"
#include "devices/PortChanges.h"
#include "devsim/SimulatedBus.h"
#include "PauseLog.h"

namespace {
// Records as "port:type:version:serial:index".
std::string described(const std::vector<DeviceInfo>& records) {
    std::ostringstream text;
    for (const DeviceInfo& r : records)
        text << std::hex << r.portNumber << ":" << r.typeCode << ":" << r.protocolVersion << ":" << r.serial << ":"
             << r.index << " ";
    return text.str();
}
}  // namespace

TEST(Discovery, ScanKeepsUsableDevicesInPortOrderReportsOldFirmwareAndDropsOtherKindsUpToCom31) {
    PauseLog pauses;
    const struct {
        std::string attached;  // "port type version serial" per device
        std::string devices, firmwareTooOld;
    } scans[] = {
        {"7 74 3 CV4-0007 3 78 2 CV8-0003", "3:78:2:CV8-0003:0 7:74:3:CV4-0007:1 ", ""},
        {"2 72 0 MN2-0002 5 78 1 CV8-0005 9 90 0 OTHER", "5:78:1:CV8-0005:1 ", "2:72:0:MN2-0002:0 "},
        {"4 90 0 OTHER", "", ""},
        {"20 78 2 CV8-0032", "", ""},  // port 32: never looked at
    };
    for (const auto& scan : scans) {
        SCOPED_TRACE(scan.attached);
        devsim::SimulatedBus bus;
        std::istringstream in(scan.attached);
        for (unsigned port, type, version; in >> std::hex >> port >> type >> version;) {
            std::string serial;
            in >> serial;
            bus.attach(static_cast<int>(port),
                       {.typeCode = std::uint8_t(type), .serial = serial, .protocolVersion = std::uint16_t(version)});
        }
        const ScanResult result = scanDevices();
        EXPECT_EQ(described(result.devices), scan.devices);
        EXPECT_EQ(described(result.firmwareTooOld), scan.firmwareTooOld);
    }
    EXPECT_EQ(scannedPorts().back(), 31);
}

TEST(Discovery, ProbesReportOtherKindsAndNothingForASilentOrMissingPort) {
    PauseLog pauses;
    devsim::SimulatedBus bus;
    bus.attach(4, {.typeCode = 0x90, .serial = "OTHER"});
    bus.attach(6, {.typeCode = 0x78}).setFaults({.silenceAfterBytes = 0});
    bus.attach(12, {.typeCode = 0x05, .serial = "SLV-0012", .protocolVersion = 1});
    // Callers that need a usable device check: the probe itself reports any kind.
    EXPECT_EQ(described(probePorts({4})), "4:90:0:OTHER:0 ");
    EXPECT_FALSE(probePort(6).has_value());
    EXPECT_FALSE(probePort(8).has_value()) << "no port 8 at all";
    const auto found = probePort(12);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(described({*found}), "c:5:1:SLV-0012:0 ");
}

// A folder takes in only what the port watchers found since it last looked,
// the latest finding of each port, and keeps its devices in port order.
TEST(PortChanges, AFolderTakesTheLatestFindingOfEachPortSinceItLookedInPortOrder) {
    const auto device = [](unsigned port, unsigned type, const char* serial) {
        DeviceInfo found{};
        found.portNumber = port;
        found.typeCode = type;
        found.protocolVersion = 1;
        std::strncpy(found.serial, serial, sizeof found.serial - 1);
        return found;
    };
    PortChanges changes;
    changes.record(4, device(4, 0x72, "MN2-0004"));  // before the folder's scan
    const std::uint64_t scannedAt = changes.latest();
    changes.record(7, std::nullopt);                 // unplugged
    changes.record(5, device(5, 0x72, "MN2-0005"));  // plugged
    changes.record(3, device(3, 0x78, "CV8-9999"));  // another device on the same port
    changes.record(9, device(9, 0x74, "CV4-0009"));  // plugged and gone again
    changes.record(9, std::nullopt);
    const std::vector<DeviceInfo> scanned = {device(3, 0x78, "CV8-0003"), device(7, 0x74, "CV4-0007")};
    EXPECT_EQ(described(followPortChanges(scanned, changes.since(scannedAt))), "3:78:1:CV8-9999:0 5:72:1:MN2-0005:1 ");
    EXPECT_TRUE(changes.since(changes.latest()).empty());
}
