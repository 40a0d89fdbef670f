// Every transaction against the simulated device, and what each injected
// fault turns into: the right code and text, the port given back, the
// object usable again, local files deleted or left alone as they should be.
#include <array>
#include <filesystem>

#include "ProtocolTestSupport.h"
#include "devsim/SimulatedBus.h"
#include "protocol/Identification.h"

namespace {
constexpr int simulatedPort = 3;

class SimulatorTest : public ::testing::Test {
protected:
    SimulatorTest()
        : simulated(bus.attach(simulatedPort, {.typeCode = 0x72, .serial = "MN2-000417-XYZ",
                                               .protocolVersion = 1, .freeSpace = 100000,
                                               .stepTimeout = devsim::Milliseconds(500)})) {}

    // The object is idle and a new transaction runs on it.
    void expectUsableAfterwards(SLVFamilyDevice& device) {
        EXPECT_FALSE(device.isBusy()) << "the device object stayed busy";
        EXPECT_EQ(device.currentPortMode(), IDLE) << "the port was not given back";
        simulated.clearFaults();
        std::uint32_t first = 0, second = 0;
        const auto error = errorOf([&] { device.sendDiskSpace(first, second); });
        EXPECT_FALSE(error) << "the next transaction failed: " << (error ? error->description : "");
        EXPECT_EQ(second, simulated.freeSpace());
    }

    std::optional<NBException> download(SLVFamilyDevice& device, const std::string& name,
                                        const std::string& local) {
        return errorOf([&] { device.sendFile(name, local, 1000, nullptr); });
    }

    PauseLog pauses;
    devsim::SimulatedBus bus;
    devsim::SimulatedDevice& simulated;
    ScratchDirectory scratch;
};

Bytes fileContent(std::size_t size) { return countingBytes(size, 7); }
}  // namespace

TEST_F(SimulatorTest, IdentificationReadsTypeVersionAndSerial) {
    const auto port = bus.open(simulatedPort);
    const auto record = identifyDevice(*port, simulatedPort, true, false);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->typeCode, 0x72u);
    EXPECT_EQ(record->protocolVersion, 1);
    EXPECT_STREQ(record->serial, "MN2-000417-X");
    EXPECT_EQ(record->portNumber, 3u);
}

TEST_F(SimulatorTest, FileListAndDiskSpaceShowTheDevicesFiles) {
    simulated.putFile("NOTES.TXT", fileContent(300), {2005, 6, 7, 8, 9, 10});
    simulated.putFile("BOOK.BRL", fileContent(4000), {1999, 12, 31, 23, 59, 58});
    SLVFamilyDevice device(minnowRecord());
    const auto entries = device.sendFileList(200);
    ASSERT_EQ(entries.size(), 2u);
    for (const FileListEntry& entry : entries) {
        if (std::string(entry.name) == "NOTES.TXT") {
            EXPECT_EQ(entry.size, 300u);
            EXPECT_EQ(entry.year, 5);
            EXPECT_EQ(entry.month, 6);
            EXPECT_EQ(entry.second, 10);
        } else {
            EXPECT_STREQ(entry.name, "BOOK.BRL");
            EXPECT_EQ(entry.size, 4000u);
            EXPECT_EQ(entry.year, 99);
        }
    }
    std::uint32_t first = 0, second = 0;
    device.sendDiskSpace(first, second);
    EXPECT_EQ(second, 100000u);
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, DownloadUploadRenameDeleteAndBrailleTableRoundTrip) {
    const Bytes content = fileContent(1234);
    simulated.putFile("SOURCE.TXT", content);
    SLVFamilyDevice device(minnowRecord());

    const std::string local = scratch.path("copy.txt");
    device.sendFile("SOURCE.TXT", local, 1234, nullptr);
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(content));

    device.receiveFile(local, nullptr, 0x00, "COPY.TXT");
    EXPECT_EQ(simulated.fileData("COPY.TXT"), std::optional<devsim::Bytes>(content));
    EXPECT_EQ(simulated.freeSpace(), 100000u - 1234u);

    device.renameFile("COPY.TXT", "MOVED.TXT");
    EXPECT_FALSE(simulated.hasFile("COPY.TXT"));
    EXPECT_TRUE(simulated.hasFile("MOVED.TXT"));
    device.deleteFile("MOVED.TXT");
    EXPECT_FALSE(simulated.hasFile("MOVED.TXT"));

    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    device.receiveBrailleTable(table, "NORDIC", 4, true);
    const auto loaded = simulated.brailleTable(4);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->name, "NORDIC");
    EXPECT_TRUE(loaded->backwardSearch);
    EXPECT_EQ(loaded->table, devsim::Bytes(table.begin(), table.end()));
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, UploadOverAnExistingFileNeedsTheReplaceFlag) {
    simulated.putFile("SAME.TXT", std::string("old"));
    const std::string local = scratch.path("SAME.TXT");
    ScratchDirectory::write(local, bytesOf("new text"));
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] { device.receiveFile(local, nullptr, 0x00); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 18);
    EXPECT_STREQ(error->description, "SLVFamilyDevice::receiveFile--");
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(bytesOf("new text")));
    device.receiveFile(local, nullptr, 0x01);
    EXPECT_EQ(simulated.fileData("SAME.TXT"), std::optional<devsim::Bytes>(bytesOf("new text")));
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, NakCodesBecomeTheirExceptions) {
    simulated.putFile("A.TXT", std::string("data"));
    const std::string local = scratch.path("a.txt");
    SLVFamilyDevice device(minnowRecord());
    const struct {
        std::uint8_t code;
        std::uint8_t confirming;
        std::function<void()> operation;
        std::int32_t expectedCode;
        std::string description;
    } cases[] = {
        {24, 0x16, [&] { device.sendFile("A.TXT", local, 4, nullptr); }, 19,
         "SLVFamilyDevice::sendFile--File not found on device."},
        {21, 0x23, [&] { device.deleteFile("A.TXT"); }, 23, "SLVFamilyDevice::deleteFile-- Editor is open."},
        {16, 0x22, [&] { device.renameFile("A.TXT", "B.TXT"); }, 23,
         "SLVFamilyDevice::renameFile--Cannot rename requested file."},
        {17, 0x25, [&] { std::uint32_t a, b; device.sendDiskSpace(a, b); }, 23,
         "SLVFamilyDevice::sendDiskSpace--Cannot retrieve disk info."},
        {22, 0x20, [&] { device.sendFileList(200); }, 15, "SLVFamilyDevice::sendFileList--Buffer overflow."},
    };
    for (const auto& testCase : cases) {
        simulated.setFaults({.nak = devsim::Faults::Nak{.at = 1, .code = testCase.code,
                                                         .confirming = testCase.confirming}});
        const auto error = errorOf(testCase.operation);
        ASSERT_TRUE(error) << testCase.description;
        EXPECT_EQ(error->code, testCase.expectedCode) << testCase.description;
        EXPECT_EQ(std::string(error->description), testCase.description);
        EXPECT_FALSE(std::filesystem::exists(local)) << "a failed download left its partial file";
        expectUsableAfterwards(device);
    }
    EXPECT_TRUE(simulated.hasFile("A.TXT"));
}

TEST_F(SimulatorTest, DeviceCancelDuringADownloadDeletesThePartialFile) {
    simulated.putFile("LONG.TXT", fileContent(1000));
    simulated.setFaults({.cancelDownloadAt = 3});
    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("long.txt");
    const auto error = download(device, "LONG.TXT", local);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 30);
    EXPECT_STREQ(error->description, "SLVFamilyDevice::sendFile--Transmission canceled by user (device side).");
    EXPECT_FALSE(std::filesystem::exists(local));
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, PcCancelStopsDownloadAndUploadAtTheNextPackage) {
    simulated.putFile("LONG.TXT", fileContent(1000));
    SLVFamilyDevice device(minnowRecord());
    auto cancelAfterFirstPackage = [&device](const DeviceInfo*, std::uint32_t, std::uint32_t done, double,
                                             std::int32_t) {
        if (done > 0) device.cancelTransfer();
    };
    const std::string local = scratch.path("long.txt");
    const auto downloadError = errorOf([&] { device.sendFile("LONG.TXT", local, 1000, cancelAfterFirstPackage); });
    ASSERT_TRUE(downloadError);
    EXPECT_EQ(downloadError->code, 30);
    EXPECT_STREQ(downloadError->description, "SLVFamilyDevice::sendFile--Transmission canceled by user (PC side).");
    EXPECT_FALSE(std::filesystem::exists(local));
    expectUsableAfterwards(device);

    ScratchDirectory::write(local, fileContent(1000));
    const auto uploadError = errorOf([&] { device.receiveFile(local, cancelAfterFirstPackage, 0x00, "UP.TXT"); });
    ASSERT_TRUE(uploadError);
    EXPECT_EQ(uploadError->code, 30);
    EXPECT_FALSE(simulated.hasFile("UP.TXT")) << "a cancelled upload was stored";
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(fileContent(1000)));
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, SilenceMidTransferRaisesTheReadErrorAndReleasesThePort) {
    simulated.putFile("LONG.TXT", fileContent(1000));
    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("silent.txt");
    // Two packages take the device 6 + 2 * 84 = 174 bytes; silence inside
    // the third one leaves it short.
    const struct {
        std::uint64_t after;
        std::int32_t code;
    } cases[] = {{0, 12}, {1, 12}, {5, 12}, {174, 12}, {200, 15}};
    for (const auto& testCase : cases) {
        simulated.setFaults({.silenceAfterBytes = testCase.after});
        const auto error = download(device, "LONG.TXT", local);
        ASSERT_TRUE(error) << "silence after " << testCase.after << " bytes";
        EXPECT_EQ(error->code, testCase.code) << "silence after " << testCase.after << " bytes: " << error->description;
        EXPECT_FALSE(std::filesystem::exists(local));
        expectUsableAfterwards(device);
    }
    const std::string upload = scratch.path("up.txt");
    ScratchDirectory::write(upload, fileContent(500));
    simulated.setFaults({.silenceAfterBytes = 40});
    const auto error = errorOf([&] { device.receiveFile(upload, nullptr, 0x00); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 12);
    EXPECT_EQ(hexOf(ScratchDirectory::read(upload)), hexOf(fileContent(500)));
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, ShortPackageRaisesThePageFrameError) {
    simulated.putFile("LONG.TXT", fileContent(1000));
    SLVFamilyDevice device(minnowRecord());
    simulated.setFaults({.shortPackage = devsim::Faults::ShortPackage{.at = 2, .delivered = 10}});
    const std::string local = scratch.path("short.txt");
    const auto error = download(device, "LONG.TXT", local);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 15);
    EXPECT_STREQ(error->description, "SLVFamilyDevice::sendFile--Wrong number of data bytes(page frame error).");
    EXPECT_FALSE(std::filesystem::exists(local));
    expectUsableAfterwards(device);

    simulated.setFaults({.shortPackage = devsim::Faults::ShortPackage{.at = 1, .delivered = 3}});
    const auto listError = errorOf([&] { device.sendFileList(200); });
    ASSERT_TRUE(listError);
    EXPECT_STREQ(listError->description,
                 "SLVFamilyDevice::sendFileList--Wrong number of data bytes(page frame error).");
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, WrongByteForSyncIsNamedByTheStepThatMissedIt) {
    simulated.putFile("LONG.TXT", fileContent(1000));
    SLVFamilyDevice device(minnowRecord());
    simulated.setFaults({.wrongSync = devsim::Faults::WrongSync{.at = 1, .byte = 0x17}});
    const auto spaceError = errorOf([&] { std::uint32_t a, b; device.sendDiskSpace(a, b); });
    ASSERT_TRUE(spaceError);
    EXPECT_STREQ(spaceError->description, "SLVFamilyDevice::sendDiskSpace--Missing SYNC in transaction GET_DISK_SPACE.");
    expectUsableAfterwards(device);

    // The first SYNC of a download confirms the name; the second closes package 1.
    const std::string local = scratch.path("sync.txt");
    simulated.setFaults({.wrongSync = devsim::Faults::WrongSync{.at = 2, .byte = 0x17}});
    const auto packageError = download(device, "LONG.TXT", local);
    ASSERT_TRUE(packageError);
    EXPECT_EQ(packageError->code, 15);
    EXPECT_STREQ(packageError->description, "SLVFamilyDevice::sendFile--Missing SYNC.");
    EXPECT_FALSE(std::filesystem::exists(local));
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, UploadLargerThanTheFreeSpaceIsRefusedBeforeThePortIsTaken) {
    simulated.setFreeSpace(99);
    const std::string local = scratch.path("big.txt");
    ScratchDirectory::write(local, fileContent(100));
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] { device.receiveFile(local, nullptr, 0x00); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 25);
    EXPECT_FALSE(simulated.hasFile("big.txt"));
    expectUsableAfterwards(device);
}

TEST_F(SimulatorTest, MonitorLoopReportsTheDevicesLines) {
    for (const auto kind : {devsim::MonitorFrameKind::A, devsim::MonitorFrameKind::B}) {
        auto& monitored = bus.attach(5, {.typeCode = 0x72, .monitorKind = kind,
                                         .monitorLines = {{"FIRST LINE", 1}, {"SECOND", 2}},
                                         .monitorDelay = devsim::Milliseconds(50)});
        DeviceInfo info = minnowRecord();
        info.portNumber = 5;
        SLVFamilyDevice device(info);
        std::vector<std::string> lines;
        device.startMonitorMode([&](const DeviceInfo*, const char* line, std::int32_t number, std::int32_t) {
            lines.push_back(std::string(line) + "@" + std::to_string(number));
            if (lines.size() == 2) device.stopMonitorMode();
        });
        EXPECT_EQ(lines, (std::vector<std::string>{"FIRST LINE@1", "SECOND@2"}));
        EXPECT_EQ(device.currentPortMode(), IDLE);
        if (kind == devsim::MonitorFrameKind::A) {
            EXPECT_EQ(monitored.monitorHandshakeReplies(), 1u);
        }
    }
}
