// Braille tables and the monitor loop against the simulated device; every
// transaction and its faults are FaultMatrixTest's.
#include <array>
#include <filesystem>

#include "ProtocolTestSupport.h"
#include "devsim/SimulatedBus.h"

namespace {
class SimulatorTest : public ::testing::Test {
protected:
    PauseLog pauses;
    devsim::SimulatedBus bus;
    devsim::SimulatedDevice& simulated = bus.attach(3, {.typeCode = 0x72, .protocolVersion = 1, .freeSpace = 100000});
    SLVFamilyDevice device{minnowRecord()};
};
}  // namespace

// What the fault matrix leaves out: a table's name and flags as the device
// stores them.
TEST_F(SimulatorTest, TablesKeepTheirNameAndFlags) {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    device.receiveBrailleTable(table, "NORDIC", 4, true);
    const auto loaded = simulated.brailleTable(4);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->name == "NORDIC" && loaded->backwardSearch) << loaded->name;
    EXPECT_EQ(loaded->table, devsim::Bytes(table.begin(), table.end()));
}

TEST_F(SimulatorTest, MonitorLoopReportsTheDevicesLines) {
    for (const auto kind : {devsim::MonitorFrameKind::A, devsim::MonitorFrameKind::B}) {
        auto& monitored = bus.attach(5, {.typeCode = 0x72,
                                         .monitorKind = kind,
                                         .monitorLines = {{"FIRST LINE", 1}, {"SECOND", 2}},
                                         .monitorDelay = devsim::Milliseconds(50)});
        DeviceInfo info = minnowRecord();
        info.portNumber = 5;
        SLVFamilyDevice watched(info);
        Log lines;
        watched.startMonitorMode([&](const DeviceInfo*, const char* line, std::int32_t number, std::int32_t) {
            lines.push_back(std::string(line) + "@" + std::to_string(number));
            if (lines.size() == 2) watched.stopMonitorMode();
        });
        EXPECT_EQ(lines, (Log{"FIRST LINE@1", "SECOND@2"}));
        EXPECT_EQ(watched.currentPortMode(), IDLE);
        if (kind == devsim::MonitorFrameKind::A) {
            EXPECT_EQ(monitored.monitorHandshakeReplies(), 1u);
        }
    }
}
