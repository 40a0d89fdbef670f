// Discovery against simulated devices behind port numbers: which devices a
// scan keeps, in which order, and how they are named.
#include <gtest/gtest.h>

#include "devsim/SimulatedBus.h"
#include "devices/Discovery.h"
#include "link/Pause.h"

namespace {

devsim::DeviceConfig device(std::uint8_t typeCode, std::uint16_t version, const std::string& serial) {
    devsim::DeviceConfig config;
    config.typeCode = typeCode;
    config.protocolVersion = version;
    config.serial = serial;
    return config;
}

class DiscoveryTest : public ::testing::Test {
protected:
    ScopedPause noWaits{[](std::uint32_t) {}};
    devsim::SimulatedBus bus;
};

TEST_F(DiscoveryTest, ScanKeepsUsableDevicesInPortOrderWithTheirIdentity) {
    bus.attach(7, device(0x74, 3, "CV4-0007"));
    bus.attach(3, device(0x78, 2, "CV8-0003"));
    ScanResult scan = scanDevices();
    ASSERT_EQ(scan.devices.size(), 2u);
    EXPECT_EQ(scan.devices[0].portNumber, 3u);
    EXPECT_EQ(scan.devices[0].typeCode, 0x78u);
    EXPECT_EQ(scan.devices[0].protocolVersion, 2);
    EXPECT_STREQ(scan.devices[0].serial, "CV8-0003");
    EXPECT_EQ(scan.devices[0].index, 0u);
    EXPECT_EQ(scan.devices[1].portNumber, 7u);
    EXPECT_EQ(scan.devices[1].index, 1u);
    EXPECT_TRUE(scan.firmwareTooOld.empty());
}

TEST_F(DiscoveryTest, OldFirmwareIsReportedNotKeptAndOtherKindsAreDropped) {
    bus.attach(2, device(0x72, 0, "MN2-0002"));
    bus.attach(5, device(0x78, 1, "CV8-0005"));
    bus.attach(9, device(0x90, 0, "OTHER"));
    ScanResult scan = scanDevices();
    ASSERT_EQ(scan.devices.size(), 1u);
    EXPECT_EQ(scan.devices[0].portNumber, 5u);
    ASSERT_EQ(scan.firmwareTooOld.size(), 1u);
    EXPECT_EQ(scan.firmwareTooOld[0].portNumber, 2u);
    EXPECT_EQ(scan.firmwareTooOld[0].typeCode, 0x72u);
}

TEST_F(DiscoveryTest, OnlyADeviceOfAnotherKindLeavesNothing) {
    bus.attach(4, device(0x90, 0, "OTHER"));
    ScanResult scan = scanDevices();
    EXPECT_TRUE(scan.devices.empty());
    EXPECT_TRUE(scan.firmwareTooOld.empty());
    // The probe itself does report it: callers that need a usable device check.
    std::vector<DeviceInfo> found = probePorts({4}, true, false);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].typeCode, 0x90u);
}

TEST_F(DiscoveryTest, ScanNeverLooksBeyondCom31) {
    bus.attach(32, device(0x78, 2, "CV8-0032"));
    EXPECT_TRUE(scanDevices().devices.empty());
    EXPECT_EQ(scannedPorts().back(), 31);
}

TEST_F(DiscoveryTest, ProbeOfASilentPortWritesNoRecord) {
    devsim::SimulatedDevice& silent = bus.attach(6, device(0x78, 2, "CV8-0006"));
    devsim::Faults faults;
    faults.silenceAfterBytes = 0;
    silent.setFaults(faults);
    DeviceInfo record;
    record.typeCode = 0x55;
    EXPECT_EQ(probePort(record, 6, true, false), 0);
    EXPECT_EQ(record.typeCode, 0x55u) << "the out record stays untouched";
    EXPECT_EQ(probePort(record, 8, true, false), 0) << "no port 8 at all";
}

TEST_F(DiscoveryTest, ProbeOfOnePortGivesIndexZero) {
    bus.attach(12, device(0x05, 1, "SLV-0012"));
    DeviceInfo record;
    ASSERT_EQ(probePort(record, 12, true, false), 1);
    EXPECT_EQ(record.index, 0u);
    EXPECT_EQ(record.portNumber, 12u);
    EXPECT_EQ(record.typeCode, 0x05u);
}

}  // namespace
