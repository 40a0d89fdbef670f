// The simulator's own behaviour: its answers byte for byte, its storage,
// its space accounting and its faults, driven by a scripted PC.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "ScriptedPc.h"
#include "devsim/SimulatedBus.h"
#include "link/NBException.h"

using namespace devsim;
namespace fs = std::filesystem;

namespace {

Bytes patternOf(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

struct Fixture {
    explicit Fixture(DeviceConfig config = {}, std::unique_ptr<DeviceStorage> storage = nullptr)
        : device(std::make_shared<SimulatedDevice>(std::move(config), std::move(storage))),
          port(device, Milliseconds(100), "COM3"),
          pc(port) {}
    std::shared_ptr<SimulatedDevice> device;
    SimulatedPort port;
    ScriptedPc pc;
};

// Uploads `data` as `name` with `flag` and the PC's 78-byte packages.
void upload(ScriptedPc& pc, const std::string& name, const Bytes& data, std::uint8_t flag) {
    pc.takePort();
    pc.exchange({0x03}, {0x06, 0x03});
    pc.exchange(uploadHeader(name, flag), {0x06, 0x16});
    for (std::size_t offset = 0; offset < data.size(); offset += 78) {
        pc.exchange({0x03}, {0x06, 0x03});
        const Bytes part(data.begin() + offset, data.begin() + std::min(data.size(), offset + 78));
        pc.exchange(dataPackage(part), {0x06, 0x16});
    }
    pc.exchange({0x04}, {0x06, 0x04});
    pc.givePortBack();
}

}  // namespace

TEST(SimulatedDeviceIdentification, AnswersTypeVersionAndSerialAsConfigured) {
    Fixture f({.typeCode = 0x74, .serial = "CV4-123456789XYZ", .protocolVersion = 0x0102});
    f.pc.exchange({0xFF}, {0xFE, 0x74});
    f.pc.exchange({0x0C}, {0x06, 0x0C, 0x01, 0x02, 0x16});
    f.pc.send({0x06, 0x16});
    f.pc.exchange({0xAE}, {0x4F});
    Bytes block = bytesOf("CV4-12345678");  // the first 12 characters, then terminators
    block.resize(40, 0);
    f.pc.exchange(bytesOf("INFO N"), bytesOf("INFOI") + block);
}

TEST(SimulatedDeviceIdentification, VersionZeroLeavesTheVersionQueryUnanswered) {
    Fixture f({.protocolVersion = 0});
    f.pc.send({0x0C});
    EXPECT_THROW(f.port.readByte(), PortExceptions::CannotReadFromPort);
    f.pc.exchange({0xFF}, {0xFE, 0x78});  // and it still answers afterwards
}

TEST(SimulatedDeviceIdentification, OtherKindAnswersItsEightByteSerial) {
    Fixture f({.typeCode = 0x90, .serial = "OTHER-1234"});
    f.pc.exchange({0xFF}, {0xFE, 0x90});
    f.pc.exchange({0x05, 0x05}, bytesOf("OTHER-12"));
}

TEST(SimulatedDevicePortSwitches, TakingConfirmsZeroGivingBackConfirmsTwoAndMonitorOnTwoBytes) {
    Fixture f;
    f.pc.exchange({0x0B, 0x00}, {0x06, 0x00});
    f.pc.exchange({0x0B, 0x00}, {0x06, 0x02});
    f.pc.exchange({0x0B, 0x00}, {0x06, 0x00});
    f.pc.exchange({0x0B, 0x00}, {0x06, 0x02});
    f.pc.exchange({0x0B, 0x01}, {0x06, 0x01});
}

TEST(SimulatedDeviceFileList, RecordsSplitAcrossPackagesOfTheConfiguredSize) {
    Fixture f({.packageSize = 16});
    f.device->putFile("AB.TXT", patternOf(0x010203), FileTime{2005, 6, 7, 8, 9, 10});
    f.device->putFile("LETTER.BRF", patternOf(256), FileTime{1999, 12, 31, 23, 59, 58});
    f.pc.takePort();
    f.pc.exchange({0x20}, {0x06, 0x20});
    std::vector<std::size_t> sizes;
    const Bytes list = f.pc.receiveData(&sizes);
    f.pc.givePortBack();

    const Bytes expected = Bytes{0x1C, 6} + bytesOf("AB.TXT") +
                           Bytes{0x00, 0x00, 0x05, 6, 7, 8, 9, 10, 0x00, 0x01, 0x02, 0x03, 0x1C, 10} +
                           bytesOf("LETTER.BRF") + Bytes{0x00, 0x00, 99, 12, 31, 23, 59, 58, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(hex(list), hex(expected));
    EXPECT_EQ(sizes, (std::vector<std::size_t>{16, 16, 12}));
    EXPECT_EQ(f.device->events().back(), "sent file list (2 files)");
}

TEST(SimulatedDeviceSpace, UploadsConsumeAndDeletesFreeTheReportedSpace) {
    Fixture f({.freeSpace = 1000});
    upload(f.pc, "A.TXT", patternOf(100), 0x00);
    EXPECT_EQ(f.device->freeSpace(), 900u);
    EXPECT_EQ(f.device->fileData("A.TXT"), patternOf(100));

    f.pc.takePort();
    f.pc.exchange({0x25}, {0x06, 0x25, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x03, 0x84, 0x16});
    f.pc.send({0x06, 0x16});
    f.pc.givePortBack();

    upload(f.pc, "A.TXT", patternOf(40), 0x01);  // replacing gives the old file's space back
    EXPECT_EQ(f.device->freeSpace(), 960u);

    f.pc.takePort();
    f.pc.exchange({0x23}, {0x06, 0x23});
    f.pc.exchange(namePackage(0x23, "A.TXT") + Bytes{0x16}, {0x06, 0x16});
    f.pc.givePortBack();
    EXPECT_EQ(f.device->freeSpace(), 1000u);
    EXPECT_FALSE(f.device->hasFile("A.TXT"));
}

TEST(SimulatedDeviceSpace, UploadBeyondTheFreeSpaceIsRefusedAndNothingStored) {
    Fixture f({.freeSpace = 100});
    f.pc.takePort();
    f.pc.exchange({0x03}, {0x06, 0x03});
    f.pc.exchange(uploadHeader("BIG.TXT", 0x00), {0x06, 0x16});
    f.pc.exchange({0x03}, {0x06, 0x03});
    f.pc.exchange(dataPackage(patternOf(78)), {0x06, 0x16});
    f.pc.exchange({0x03}, {0x06, 0x03});
    f.pc.exchange(dataPackage(patternOf(78)), {0x15, 14});
    f.pc.givePortBack();
    EXPECT_FALSE(f.device->hasFile("BIG.TXT"));
    EXPECT_EQ(f.device->freeSpace(), 100u);
}

TEST(SimulatedDeviceFiles, ExistingNamesMissingFilesAndCancelledUploadsAreRefusedAsTheDeviceDoes) {
    Fixture f;
    f.device->putFile("KEEP.TXT", "keep");
    f.device->putFile("OTHER.TXT", "other");

    // Flag 0 does not replace an existing file.
    f.pc.takePort();
    f.pc.exchange({0x03}, {0x06, 0x03});
    f.pc.exchange(uploadHeader("KEEP.TXT", 0x00), {0x15, 19});
    f.pc.givePortBack();

    // Deleting or renaming a missing file: 24; renaming onto an existing one: 19.
    f.pc.takePort();
    f.pc.exchange({0x23}, {0x06, 0x23});
    f.pc.exchange(namePackage(0x23, "GONE.TXT") + Bytes{0x16}, {0x15, 24});
    f.pc.givePortBack();
    f.pc.takePort();
    f.pc.exchange({0x22}, {0x06, 0x22});
    f.pc.exchange(namePackage(0x22, "GONE.TXT") + Bytes{0x16}, {0x15, 24});
    f.pc.givePortBack();
    f.pc.takePort();
    f.pc.exchange({0x22}, {0x06, 0x22});
    f.pc.exchange(namePackage(0x22, "KEEP.TXT") + Bytes{0x16}, {0x06, 0x16});
    f.pc.exchange({0x22}, {0x06, 0x22});
    f.pc.exchange(namePackage(0x22, "OTHER.TXT") + Bytes{0x16}, {0x15, 19});
    f.pc.givePortBack();

    // The PC cancels an upload: ACK 0x43 and the partial file is dropped.
    f.pc.takePort();
    f.pc.exchange({0x03}, {0x06, 0x03});
    f.pc.exchange(uploadHeader("PART.TXT", 0x00), {0x06, 0x16});
    f.pc.exchange({0x03}, {0x06, 0x03});
    f.pc.exchange(dataPackage(patternOf(78)), {0x06, 0x16});
    f.pc.exchange({0x43}, {0x06, 0x43});
    f.pc.givePortBack();

    EXPECT_FALSE(f.device->hasFile("PART.TXT"));
    EXPECT_EQ(f.device->fileData("KEEP.TXT"), bytesOf("keep"));
    EXPECT_EQ(f.device->files().size(), 2u);
    EXPECT_EQ(f.device->events().back(), "upload of PART.TXT cancelled by the PC");
}

TEST(SimulatedDeviceFiles, DownloadFollowsTheWirePictureAndEndsWithEndOfFile) {
    Fixture f;
    f.device->putFile("DATA.BIN", patternOf(100));
    f.pc.takePort();
    f.pc.exchange({0x21}, {0x06, 0x21});
    f.pc.exchange(namePackage(0x21, "DATA.BIN") + Bytes{0x16}, {0x06, 0x16});
    std::vector<std::size_t> sizes;
    EXPECT_EQ(f.pc.receiveData(&sizes), patternOf(100));
    EXPECT_EQ(sizes, (std::vector<std::size_t>{80, 20}));
    f.pc.givePortBack();
    EXPECT_EQ(f.device->events().back(), "sent DATA.BIN (100 bytes)");
}

TEST(SimulatedDeviceBrailleTables, TableLandsInItsSlotWithTheBackwardFlag) {
    Fixture f;
    const Bytes table = patternOf(256);
    upload(f.pc, "GERMAN", table, 0xC9);
    const auto loaded = f.device->brailleTable(9);
    ASSERT_TRUE(loaded.has_value()) << "no table in slot 9";
    EXPECT_EQ(loaded->name, "GERMAN");
    EXPECT_TRUE(loaded->backwardSearch);
    EXPECT_EQ(loaded->table, table);
    EXPECT_TRUE(f.device->files().empty()) << "a table is no file";
}

TEST(SimulatedDeviceMonitor, KindAFramesLinesAndCountsHandshakeReplies) {
    Fixture f({.monitorLines = {{"HELLO", 3}}, .monitorDelay = Milliseconds(0)});
    f.pc.exchange(Bytes{0x79, 0x78, 0x01, 0x07, 0x16, 0x0B, 0x01}, {0x06, 0x01});
    EXPECT_EQ(hex(f.pc.receive(2)), "FE 37");
    f.pc.send({0x34});
    EXPECT_EQ(hex(f.pc.receive(9)), hex(bytesOf("HELLO") + Bytes{0xFE, 0x47, 0x03, 0x00}));
    // A transaction borrows the port and hands it back with monitor mode on.
    f.pc.exchange({0x0B, 0x00}, {0x06, 0x00});
    f.device->queueMonitorLine("WORLD", 4);
    f.pc.exchange({0x0B, 0x01}, {0x06, 0x01});
    EXPECT_EQ(hex(f.pc.receive(9)), hex(bytesOf("WORLD") + Bytes{0xFE, 0x47, 0x04, 0x00}))
        << "no second handshake after a lent port";
    EXPECT_EQ(f.device->monitorHandshakeReplies(), 1u);
}

TEST(SimulatedDeviceMonitor, KindBFramesLinesWithNumbersFromOffset0x28) {
    Fixture f({.monitorKind = MonitorFrameKind::B, .monitorLines = {{"ABC", 1}}, .monitorDelay = Milliseconds(0)});
    f.pc.exchange({0x0B, 0x01}, {0x06, 0x01});
    EXPECT_EQ(hex(f.pc.receive(9)), "02 00 0D 02 29 41 42 43 0D");
}

TEST(SimulatedDeviceStorage, DirectoryHoldsTheDeviceFilesAndRefusesNamesThatLeaveIt) {
    const fs::path root = fs::temp_directory_path() / ("devsim-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(root);
    const fs::path directory = root / "device";
    fs::create_directories(directory);
    std::ofstream(directory / "README.TXT") << "from disk";

    {
        Fixture f({.freeSpace = 5000}, std::make_unique<DirectoryStorage>(directory));
        ASSERT_EQ(f.device->files().size(), 1u);
        EXPECT_EQ(f.device->files()[0].name, "README.TXT");
        EXPECT_EQ(f.device->files()[0].size, 9u);

        upload(f.pc, "NEW.TXT", patternOf(200), 0x00);
        f.pc.takePort();
        f.pc.exchange({0x22}, {0x06, 0x22});
        f.pc.exchange(namePackage(0x22, "README.TXT") + Bytes{0x16}, {0x06, 0x16});
        f.pc.exchange({0x22}, {0x06, 0x22});
        f.pc.exchange(namePackage(0x22, "OLD.TXT") + Bytes{0x16}, {0x06, 0x16});
        f.pc.givePortBack();

        // A name with a path in it never reaches outside the directory.
        f.pc.takePort();
        f.pc.exchange({0x03}, {0x06, 0x03});
        f.pc.exchange(uploadHeader("../ESCAPE.TXT", 0x00), {0x06, 0x16});
        f.pc.exchange({0x03}, {0x06, 0x03});
        f.pc.exchange(dataPackage(bytesOf("x")), {0x06, 0x16});
        f.pc.exchange({0x04}, {0x15, 14});
        f.pc.givePortBack();
        EXPECT_EQ(f.device->freeSpace(), 4800u);
    }

    {
        std::ifstream stored(directory / "NEW.TXT", std::ios::binary);
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(stored), {}), patternOf(200));
    }
    EXPECT_TRUE(fs::exists(directory / "OLD.TXT"));
    EXPECT_FALSE(fs::exists(directory / "README.TXT"));
    EXPECT_FALSE(fs::exists(root / "ESCAPE.TXT"));
    fs::remove_all(root);
}

TEST(SimulatedDeviceFaults, NakReplacesTheChosenConfirmation) {
    Fixture f;
    f.device->putFile("A.TXT", "a");
    f.device->setFaults({.nak = Faults::Nak{.at = 2, .code = 21, .confirming = 0x16}});
    f.pc.takePort();
    f.pc.exchange({0x23}, {0x06, 0x23});
    f.pc.exchange(namePackage(0x23, "NONE") + Bytes{0x16}, {0x15, 24});  // first SYNC confirmation: a real refusal
    f.pc.givePortBack();
    f.pc.takePort();
    f.pc.exchange({0x23}, {0x06, 0x23});
    f.pc.exchange(namePackage(0x23, "A.TXT") + Bytes{0x16}, {0x15, 21});
    f.pc.givePortBack();
    EXPECT_TRUE(f.device->hasFile("A.TXT")) << "a refused delete deletes nothing";
    EXPECT_EQ(f.device->events().back(), "refused with NAK 21 where 0x16 was to be confirmed");
    f.pc.takePort();
    f.pc.exchange({0x23}, {0x06, 0x23});
    f.pc.exchange(namePackage(0x23, "A.TXT") + Bytes{0x16}, {0x06, 0x16});  // the fault fired once
    f.pc.givePortBack();
}

TEST(SimulatedDeviceFaults, DeviceCancelsTheChosenDownloadPackage) {
    Fixture f({.packageSize = 10});
    f.device->putFile("A.TXT", patternOf(30));
    f.device->setFaults({.cancelDownloadAt = 2});
    f.pc.takePort();
    f.pc.exchange({0x21}, {0x06, 0x21});
    f.pc.exchange(namePackage(0x21, "A.TXT") + Bytes{0x16}, {0x06, 0x16});
    f.pc.exchange({}, Bytes{0x03});
    f.pc.exchange({0x06, 0x03}, Bytes{0x0A, 0x00} + patternOf(10) + Bytes{0x16});
    f.pc.exchange({0x06, 0x16}, {0x43});
    f.pc.send({0x06, 0x43});
    f.pc.givePortBack();
    EXPECT_EQ(f.device->events().back(), "cancelled sending A.TXT");
}

TEST(SimulatedDeviceFaults, ShortPackageAndWrongSyncAreSentAsAsked) {
    Fixture f;
    f.device->putFile("A.TXT", patternOf(10));
    f.device->setFaults({.shortPackage = Faults::ShortPackage{.at = 1, .delivered = 6}});
    f.pc.takePort();
    f.pc.exchange({0x21}, {0x06, 0x21});
    f.pc.exchange(namePackage(0x21, "A.TXT") + Bytes{0x16}, {0x06, 0x16});
    f.pc.exchange({}, Bytes{0x03});
    f.pc.exchange({0x06, 0x03}, Bytes{0x0A, 0x00} + Bytes(patternOf(6)));
    EXPECT_TRUE(f.pc.receive(1).empty()) << "nothing after the short package";
    f.pc.givePortBack();  // the PC gives up; the device answers its switch

    f.device->setFaults({.wrongSync = Faults::WrongSync{.at = 1, .byte = 0x99}});
    f.pc.takePort();
    f.pc.exchange({0x25}, {0x06, 0x25, 0x00, 0x3D, 0x09, 0x0A, 0x00, 0x3D, 0x09, 0x00, 0x99});
    f.pc.givePortBack();
}

TEST(SimulatedDeviceFaults, SilenceAfterTheChosenByteLastsAcrossPortsUntilFaultsAreSetAgain) {
    auto device = std::make_shared<SimulatedDevice>();
    device->setFaults({.silenceAfterBytes = 3});
    {
        SimulatedPort port(device);
        ScriptedPc pc(port);
        pc.exchange({0xFF}, {0xFE, 0x78});
        pc.send({0xFF});
        EXPECT_EQ(hex(pc.receive(2)), "FE") << "one byte more, then silence";
    }
    {
        SimulatedPort port(device);
        ScriptedPc pc(port);
        pc.send({0xFF});
        EXPECT_THROW(port.readByte(), PortExceptions::CannotReadFromPort);
        EXPECT_TRUE(device->isSilent());
        device->clearFaults();
        pc.exchange({0xFF}, {0xFE, 0x78});
    }
}

TEST(SimulatedDevicePacing, TransfersTakeAtLeastTheirWireTime) {
    Fixture f({.packageSize = 80, .pacing = true});
    f.device->putFile("A.TXT", patternOf(800));
    f.pc.takePort();
    const auto start = std::chrono::steady_clock::now();
    f.pc.exchange({0x21}, {0x06, 0x21});
    f.pc.exchange(namePackage(0x21, "A.TXT") + Bytes{0x16}, {0x06, 0x16});
    EXPECT_EQ(f.pc.receiveData(), patternOf(800));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // 4 confirmation bytes, 10 packages of 1 + 2 + 80 + 1 bytes and END_OF_FILE, 11/19200 s each.
    const auto wireTime = PacedLine::byteTime * (4 + 10 * 84 + 1);
    EXPECT_GE(elapsed, wireTime);
    f.pc.givePortBack();
}

TEST(SimulatedBusOpening, NumbersWithoutDeviceFailLikeMissingPortsAndEachOpenIsFresh) {
    SimulatedBus bus;
    SimulatedDevice& first = bus.attach(3, {.typeCode = 0x72});
    bus.attach(7, {.typeCode = 0x05});
    EXPECT_THROW(openSerialPort(4), PortExceptions::ErrorOnInitialization);

    auto port = openSerialPort(3);
    ScriptedPc(*port).exchange({0xFF}, {0xFE, 0x72});
    ScriptedPc(*port).exchange({0x0B, 0x00}, {0x06, 0x00});
    port.reset();
    // A new open is a new session: taking the port is confirmed with 0x00 again.
    port = openSerialPort(3);
    ScriptedPc(*port).exchange({0x0B, 0x00}, {0x06, 0x00});
    ScriptedPc(*openSerialPort(7)).exchange({0xFF}, {0xFE, 0x05});
    EXPECT_EQ(&bus.device(3), &first);

    bus.detach(3);
    EXPECT_THROW(openSerialPort(3), PortExceptions::ErrorOnInitialization);
    EXPECT_EQ(first.config().typeCode, 0x72) << "an unplugged device stays inspectable";
}
