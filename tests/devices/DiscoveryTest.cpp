// Discovery against simulated devices behind port numbers: which devices a
// scan keeps, in which order, and how they are named.
#include <gtest/gtest.h>

#include <sstream>

#include "devices/Discovery.h"
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
