// Every transaction against the simulated device, and what each injected
// fault turns into: the right code and text, the port given back, the
// object usable again, local files deleted or left alone as they should be.
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

TEST_F(SimulatorTest, EachInjectedFaultRaisesItsErrorAndLeavesTheObjectUsable) {
    using devsim::Faults;
    simulated.putFile("LONG.TXT", fileContent(1000));
    const std::string local = scratch.path("long.txt"), upload = scratch.path("up.txt");
    std::uint32_t a, b;
    const std::function<void()> download = [&] { device.sendFile("LONG.TXT", local, 1000, nullptr); },
                                list = [&] { device.sendFileList(200); },
                                diskSpace = [&] { device.sendDiskSpace(a, b); };
    const struct {
        Faults faults;
        std::function<void()> operation;
        std::int32_t code;
        const char* text;
    } cases[] = {
        {{.nak = Faults::Nak{.at = 1, .code = 24, .confirming = 0x16}},
         [&] { device.sendFile("LONG.TXT", local, 4, nullptr); },
         19,
         "SLVFamilyDevice::sendFile--File not found on device."},
        {{.nak = Faults::Nak{.at = 1, .code = 21, .confirming = 0x23}},
         [&] { device.deleteFile("LONG.TXT"); },
         23,
         "SLVFamilyDevice::deleteFile-- Editor is open."},
        {{.nak = Faults::Nak{.at = 1, .code = 16, .confirming = 0x22}},
         [&] { device.renameFile("LONG.TXT", "B.TXT"); },
         23,
         "SLVFamilyDevice::renameFile--Cannot rename requested file."},
        {{.nak = Faults::Nak{.at = 1, .code = 17, .confirming = 0x25}},
         diskSpace,
         23,
         "SLVFamilyDevice::sendDiskSpace--Cannot retrieve disk info."},
        {{.nak = Faults::Nak{.at = 1, .code = 22, .confirming = 0x20}},
         list,
         15,
         "SLVFamilyDevice::sendFileList--Buffer overflow."},
        {{.cancelDownloadAt = 3},
         download,
         30,
         "SLVFamilyDevice::sendFile--Transmission canceled by user (device side)."},
        // Two packages take the device 6 + 2 * 84 = 174 bytes; silence inside
        // the third one leaves it short.
        {{.silenceAfterBytes = 0}, download, 12, ""},
        {{.silenceAfterBytes = 1}, download, 12, ""},
        {{.silenceAfterBytes = 5}, download, 12, ""},
        {{.silenceAfterBytes = 174}, download, 12, ""},
        {{.silenceAfterBytes = 200}, download, 15, ""},
        {{.silenceAfterBytes = 40}, [&] { device.receiveFile(upload, nullptr, 0x00); }, 12, ""},
        {{.shortPackage = Faults::ShortPackage{.at = 2, .delivered = 10}},
         download,
         15,
         "SLVFamilyDevice::sendFile--Wrong number of data bytes(page frame error)."},
        {{.shortPackage = Faults::ShortPackage{.at = 1, .delivered = 3}},
         list,
         15,
         "SLVFamilyDevice::sendFileList--Wrong number of data bytes(page frame error)."},
        {{.wrongSync = Faults::WrongSync{.at = 1, .byte = 0x17}},
         diskSpace,
         15,
         "SLVFamilyDevice::sendDiskSpace--Missing SYNC in transaction GET_DISK_SPACE."},
        // The first SYNC of a download confirms the name; the second closes package 1.
        {{.wrongSync = Faults::WrongSync{.at = 2, .byte = 0x17}},
         download,
         15,
         "SLVFamilyDevice::sendFile--Missing SYNC."},
    };
    ScratchDirectory::write(upload, fileContent(500));
    for (const auto& testCase : cases) {
        SCOPED_TRACE("row " + std::to_string(&testCase - cases) + " " + testCase.text);
        simulated.setFaults(testCase.faults);
        expectError(testCase.operation, testCase.code, testCase.text);
        EXPECT_FALSE(std::filesystem::exists(local)) << "a failed download left its partial file";
        EXPECT_EQ(hexOf(ScratchDirectory::read(upload)), hexOf(fileContent(500))) << "the user's file was changed";
        expectUsableAfterwards();
    }
    EXPECT_TRUE(simulated.hasFile("LONG.TXT"));
    EXPECT_FALSE(simulated.hasFile("up.txt")) << "a failed upload was stored";
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
