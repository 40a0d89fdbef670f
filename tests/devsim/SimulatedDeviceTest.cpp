// The simulator's own behaviour, driven byte by byte by a scripted PC: its
// answers, its storage, its space accounting and its bus. Its faults, monitor
// frames and braille tables are exercised through the real protocol by the
// protocol tests.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "ScriptedPc.h"
#include "TestFiles.h"
#include "devsim/SimulatedBus.h"

using namespace devsim;
namespace fs = std::filesystem;

namespace {

struct Fixture {
    explicit Fixture(DeviceConfig config = {}, std::unique_ptr<DeviceStorage> storage = nullptr)
        : device(std::make_shared<SimulatedDevice>(std::move(config), std::move(storage))),
          port(device, Milliseconds(100), "COM3"),
          pc(port) {}
    std::shared_ptr<SimulatedDevice> device;
    SimulatedPort port;
    ScriptedPc pc;
};

// Uploads `data` as `name` with `flag` in the PC's 78-byte packages; the
// last package is confirmed with `lastAnswer`.
void upload(ScriptedPc& pc, const std::string& name, const Bytes& data, std::uint8_t flag,
            const char* lastAnswer = "06 04") {
    std::vector<std::pair<Wire, Wire>> steps{{"03", "06 03"}, {uploadHeader(name, flag), "06 16"}};
    for (std::size_t offset = 0; offset < data.size(); offset += 78) {
        steps.push_back({"03", "06 03"});
        steps.push_back(
            {package(Bytes(data.begin() + offset, data.begin() + std::min(data.size(), offset + 78))), "06 16"});
    }
    steps.push_back({"04", lastAnswer});
    pc.transaction(steps);
}

}  // namespace

TEST(SimulatedDevice, AnswersIdentificationAndPortSwitchesAsConfigured) {
    Bytes serialBlock = bytesOf("INFOICV4-12345678");  // the first 12 characters, then terminators
    serialBlock.resize(45, 0);
    const struct {
        const char* what;
        DeviceConfig config;
        std::vector<std::pair<Wire, Wire>> steps;
    } cases[] = {
        {"a Corvia 40",
         {.typeCode = 0x74, .serial = "CV4-123456789XYZ", .protocolVersion = 0x0102},
         {{"FF", "FE 74"}, {"0C", "06 0C 01 02 16"}, {"06 16", ""}, {"AE", "4F"}, {bytesOf("INFO N"), serialBlock}}},
        {"version 0 leaves the version query unanswered", {.protocolVersion = 0}, {{"0C", ""}, {"FF", "FE 78"}}},
        {"another kind answers its 8-byte serial",
         {.typeCode = 0x90, .serial = "OTHER-1234"},
         {{"FF", "FE 90"}, {"05 05", bytesOf("OTHER-12")}}},
        {"taking confirms 0, giving back 2, monitor mode 1",
         {},
         {{"0B 00", "06 00"}, {"0B 00", "06 02"}, {"0B 00", "06 00"}, {"0B 00", "06 02"}, {"0B 01", "06 01"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(c.config);
        for (const auto& [request, answer] : c.steps) f.pc.exchange(request, answer);
    }
}

TEST(SimulatedDevice, FileListAndDownloadComeInPackagesOfTheConfiguredSize) {
    Fixture f({.packageSize = 16});
    f.device->putFile("AB.TXT", patternOf(0x010203), FileTime{2005, 6, 7, 8, 9, 10});
    f.device->putFile("LETTER.BRF", patternOf(256), FileTime{1999, 12, 31, 23, 59, 58});
    f.pc.exchange("0B 00", "06 00");
    f.pc.exchange("20", "06 20");
    std::vector<std::size_t> sizes;
    EXPECT_EQ(hex(f.pc.receiveData(&sizes)),
              hex(Bytes{0x1C, 6} + bytesOf("AB.TXT") + Wire("00 00 05 06 07 08 09 0A 00 01 02 03 1C 0A") +
                  bytesOf("LETTER.BRF") + Wire("00 00 63 0C 1F 17 3B 3A 00 00 01 00")));
    EXPECT_EQ(sizes, (std::vector<std::size_t>{16, 16, 12}));
    EXPECT_EQ(f.device->events().back(), "sent file list (2 files)");

    Fixture plain;
    plain.device->putFile("DATA.BIN", patternOf(100));
    plain.pc.exchange("0B 00", "06 00");
    plain.pc.exchange("21", "06 21");
    plain.pc.exchange(namePackage(0x21, "DATA.BIN"), "06 16");
    sizes.clear();
    EXPECT_EQ(plain.pc.receiveData(&sizes), patternOf(100)) << "then END_OF_FILE";
    EXPECT_EQ(sizes, (std::vector<std::size_t>{80, 20})) << "80 bytes a package unless configured";
    EXPECT_EQ(plain.device->events().back(), "sent DATA.BIN (100 bytes)");
}

TEST(SimulatedDevice, UploadsConsumeDeletesFreeAndUploadsBeyondTheFreeSpaceAreRefused) {
    Fixture f({.freeSpace = 150});
    upload(f.pc, "A.TXT", patternOf(100), 0x00);
    EXPECT_EQ(f.device->fileData("A.TXT"), patternOf(100));
    f.pc.transaction({{"25", "06 25 00 00 00 96 00 00 00 32 16"}, {"06 16", ""}});

    f.pc.transaction({{"03", "06 03"},
                      {uploadHeader("BIG.TXT", 0x00), "06 16"},
                      {"03", "06 03"},
                      {package(patternOf(78)), "15 0E"}});
    EXPECT_FALSE(f.device->hasFile("BIG.TXT"));
    EXPECT_EQ(f.device->freeSpace(), 50u) << "a refused upload takes no space";

    upload(f.pc, "A.TXT", patternOf(40), 0x01);
    EXPECT_EQ(f.device->freeSpace(), 110u) << "replacing gives the old file's space back";
    f.pc.transaction({{"23", "06 23"}, {namePackage(0x23, "A.TXT"), "06 16"}});
    EXPECT_EQ(f.device->freeSpace(), 150u);
    EXPECT_FALSE(f.device->hasFile("A.TXT"));
}

TEST(SimulatedDevice, ExistingNamesMissingFilesAndCancelledUploadsAreRefusedAsTheDeviceDoes) {
    Fixture f;
    f.device->putFile("KEEP.TXT", "keep");
    f.device->putFile("OTHER.TXT", "other");
    // Flag 0 does not replace (NAK 19); deleting or renaming a missing file: 24.
    f.pc.transaction({{"03", "06 03"}, {uploadHeader("KEEP.TXT", 0x00), "15 13"}});
    f.pc.transaction({{"23", "06 23"}, {namePackage(0x23, "GONE.TXT"), "15 18"}});
    f.pc.transaction({{"22", "06 22"}, {namePackage(0x22, "GONE.TXT"), "15 18"}});
    f.pc.transaction({{"22", "06 22"},
                      {namePackage(0x22, "KEEP.TXT"), "06 16"},
                      {"22", "06 22"},
                      {namePackage(0x22, "OTHER.TXT"), "15 13"}});
    // The PC cancels an upload: ACK 0x43 and the partial file is dropped.
    f.pc.transaction({{"03", "06 03"},
                      {uploadHeader("PART.TXT", 0x00), "06 16"},
                      {"03", "06 03"},
                      {package(patternOf(78)), "06 16"},
                      {"43", "06 43"}});
    EXPECT_FALSE(f.device->hasFile("PART.TXT"));
    EXPECT_EQ(f.device->fileData("KEEP.TXT"), bytesOf("keep"));
    EXPECT_EQ(f.device->files().size(), 2u);
    EXPECT_EQ(f.device->events().back(), "upload of PART.TXT cancelled by the PC");
}

TEST(SimulatedDevice, DirectoryStorageHoldsTheDeviceFilesAndRefusesNamesThatLeaveIt) {
    TempDir root;
    const fs::path directory = root.file("device");
    fs::create_directories(directory);
    std::ofstream(directory / "README.TXT") << "from disk";
    {
        Fixture f({.freeSpace = 5000}, std::make_unique<DirectoryStorage>(directory));
        ASSERT_EQ(f.device->files().size(), 1u);
        EXPECT_EQ(f.device->files()[0].name, "README.TXT");
        EXPECT_EQ(f.device->files()[0].size, 9u);
        upload(f.pc, "NEW.TXT", patternOf(200), 0x00);
        f.pc.transaction({{"22", "06 22"},
                          {namePackage(0x22, "README.TXT"), "06 16"},
                          {"22", "06 22"},
                          {namePackage(0x22, "OLD.TXT"), "06 16"}});
        upload(f.pc, "../ESCAPE.TXT", bytesOf("x"), 0x00, "15 0E");  // refused when it is to be stored
        EXPECT_EQ(f.device->freeSpace(), 4800u);
    }
    EXPECT_EQ(readFileBytes((directory / "NEW.TXT").string()), patternOf(200));
    EXPECT_TRUE(fs::exists(directory / "OLD.TXT"));
    EXPECT_FALSE(fs::exists(directory / "README.TXT"));
    EXPECT_FALSE(fs::exists(root.file("ESCAPE.TXT")));
}

TEST(SimulatedDevice, PacedTransfersTakeAtLeastTheirWireTime) {
    Fixture f({.pacing = true});
    f.device->putFile("A.TXT", patternOf(800));
    f.pc.exchange("0B 00", "06 00");
    const auto start = std::chrono::steady_clock::now();
    f.pc.exchange("21", "06 21");
    f.pc.exchange(namePackage(0x21, "A.TXT"), "06 16");
    EXPECT_EQ(f.pc.receiveData(), patternOf(800));
    // 4 confirmation bytes, 10 packages of 1 + 2 + 80 + 1 bytes and END_OF_FILE, 11/19200 s each.
    EXPECT_GE(std::chrono::steady_clock::now() - start, PacedLine::byteTime * (4 + 10 * 84 + 1));
}

TEST(SimulatedBus, NumbersWithoutDeviceFailLikeMissingPortsEachOpenIsFreshAndSilenceLastsAcrossOpens) {
    SimulatedBus bus;
    SimulatedDevice& first = bus.attach(3, {.typeCode = 0x72});
    bus.attach(7, {.typeCode = 0x05});
    EXPECT_THROW(openSerialPort(4), PortExceptions::ErrorOnInitialization);
    for (int open = 0; open < 2; ++open) {  // a new open is a new session: taking is confirmed with 0 again
        auto port = openSerialPort(3);
        ScriptedPc(*port).exchange("FF", "FE 72");
        ScriptedPc(*port).exchange("0B 00", "06 00");
    }
    ScriptedPc(*openSerialPort(7)).exchange("FF", "FE 05");

    first.setFaults({.silenceAfterBytes = 3});
    ScriptedPc(*openSerialPort(3)).exchange("FF FF", "FE 72 FE");  // three bytes, then silence
    ScriptedPc(*openSerialPort(3)).exchange("FF", "");
    EXPECT_TRUE(first.isSilent());
    first.clearFaults();
    ScriptedPc(*openSerialPort(3)).exchange("FF", "FE 72");

    bus.detach(3);
    EXPECT_THROW(openSerialPort(3), PortExceptions::ErrorOnInitialization);
    EXPECT_EQ(first.config().typeCode, 0x72) << "an unplugged device stays inspectable";
}
