// Every transaction against the simulated device and the monitor loop; the
// faults are FaultMatrixTest's.
#include <array>
#include <filesystem>

#include "ProtocolTestSupport.h"
#include "devsim/SimulatedBus.h"

namespace {
constexpr int simulatedPort = 3;

class SimulatorTest : public ::testing::Test {
protected:
    SimulatorTest()
        : simulated(bus.attach(simulatedPort, {.typeCode = 0x72,
                                               .serial = "MN2-000417-XYZ",
                                               .protocolVersion = 1,
                                               .freeSpace = 100000,
                                               .stepTimeout = devsim::Milliseconds(500)})) {}

    // The object is idle and a new transaction runs on it.
    void expectUsableAfterwards() {
        EXPECT_FALSE(device.isBusy()) << "the device object stayed busy";
        EXPECT_EQ(device.currentPortMode(), IDLE) << "the port was not given back";
        simulated.clearFaults();
        std::uint32_t first = 0, second = 0;
        const auto error = errorOf([&] { device.sendDiskSpace(first, second); });
        EXPECT_FALSE(error) << "the next transaction failed: " << (error ? error->description : "");
        EXPECT_EQ(second, simulated.freeSpace());
    }

    PauseLog pauses;
    devsim::SimulatedBus bus;
    devsim::SimulatedDevice& simulated;
    ScratchDirectory scratch;
    SLVFamilyDevice device{minnowRecord()};
};

Bytes fileContent(std::size_t size) {
    return countingBytes(size, 7);
}
}  // namespace

TEST_F(SimulatorTest, DownloadUploadReplaceRenameDeleteAndBrailleTableRoundTrip) {
    const Bytes content = fileContent(1234);
    simulated.putFile("SOURCE.TXT", content);

    const std::string local = scratch.path("copy.txt");
    device.sendFile("SOURCE.TXT", local, 1234, nullptr);
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(content));

    device.receiveFile(local, nullptr, 0x00, "COPY.TXT");
    EXPECT_EQ(simulated.fileData("COPY.TXT"), std::optional<devsim::Bytes>(content));
    EXPECT_EQ(simulated.freeSpace(), 100000u - 1234u);
    ScratchDirectory::write(local, bytesOf("new text"));
    expectError([&] { device.receiveFile(local, nullptr, 0x00, "COPY.TXT"); }, 18, "SLVFamilyDevice::receiveFile--");
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(bytesOf("new text"))) << "the user's file was changed";
    device.receiveFile(local, nullptr, 0x01, "COPY.TXT");
    EXPECT_EQ(simulated.fileData("COPY.TXT"), std::optional<devsim::Bytes>(bytesOf("new text"))) << "not replaced";

    device.renameFile("COPY.TXT", "MOVED.TXT");
    EXPECT_TRUE(!simulated.hasFile("COPY.TXT") && simulated.hasFile("MOVED.TXT")) << "not renamed";
    device.deleteFile("MOVED.TXT");
    EXPECT_FALSE(simulated.hasFile("MOVED.TXT"));

    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    device.receiveBrailleTable(table, "NORDIC", 4, true);
    const auto loaded = simulated.brailleTable(4);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->name == "NORDIC" && loaded->backwardSearch) << loaded->name;
    EXPECT_EQ(loaded->table, devsim::Bytes(table.begin(), table.end()));
    expectUsableAfterwards();
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
