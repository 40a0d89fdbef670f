// The simulator's own behaviour, driven byte by byte by a scripted PC: its
// answers, its storage, its space accounting and its bus. Its faults, monitor
// frames and braille tables are exercised through the real protocol by the
// protocol tests.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "WireText.h"
#include "link/NBException.h"
#include "TestFiles.h"
#include "devsim/SimulatedBus.h"

using namespace devsim;
namespace fs = std::filesystem;

namespace {
// Length (low byte first), the bytes, SYNC: the shape of every package.
std::string package(const Bytes& inner) {
    return hexOf(lengthBytes(inner.size()) + inner + Bytes{0x16});
}

// The PC's side of a wire exchange: plays wire text, sending the PC's bytes
// and checking that exactly the device's bytes come back ("quiet": nothing).
class ScriptedPc {
public:
    explicit ScriptedPc(SerialPort& port) : port_(port) {}

    void send(const Bytes& bytes) { port_.writeBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())); }
    // Whatever arrives up to `count` bytes, until the port times out.
    Bytes receive(std::size_t count) {
        Bytes got(count);
        std::size_t have = 0;
        try {
            while (have < count) have += port_.readBuffer(got.data() + have, static_cast<std::uint32_t>(count - have));
        } catch (const NBException&) {
        }
        got.resize(have);
        return got;
    }
    void play(const std::string& wire) {
        for (const auto& [fromPc, bytes] : parseWire(wire)) {
            if (fromPc) {
                send(bytes);
            } else {
                EXPECT_EQ(hexOf(receive(std::max<std::size_t>(bytes.size(), 1))), hexOf(bytes)) << wire;
            }
        }
    }
    // Receives packages until END_OF_FILE; returns their joined payload and
    // their sizes.
    Bytes receiveData(std::vector<std::size_t>& sizes) {
        Bytes all;
        for (Bytes next = receive(1); next == Bytes{0x03}; next = receive(1)) {
            send({0x06, 0x03});
            const Bytes length = receive(2);
            const Bytes payload = receive(length.size() == 2 ? length[0] | (length[1] << 8) : 0);
            EXPECT_EQ(hexOf(receive(1)), "16") << "SYNC after the package";
            send({0x06, 0x16});
            sizes.push_back(payload.size());
            all = all + payload;
        }
        return all;
    }

private:
    SerialPort& port_;
};

struct Fixture {
    explicit Fixture(DeviceConfig config = {}, std::unique_ptr<DeviceStorage> storage = nullptr)
        : device(std::make_shared<SimulatedDevice>(std::move(config), std::move(storage))),
          port(device, Milliseconds(100), "COM3"),
          pc(port) {}
    std::shared_ptr<SimulatedDevice> device;
    SimulatedPort port;
    ScriptedPc pc;
};

// An upload's header, answered with `answer`, and one package of data.
std::string header(const std::string& name, std::uint8_t flag, const std::string& answer = "06 16") {
    return "take cmd:03 > " + package(Bytes{0x1C} + bytesOf(name) + Bytes{0x05, flag, 0x0F}) + " < " + answer;
}
std::string dataPackage(const Bytes& data) {
    return " cmd:03 > " + package(data) + " < 06 16";
}
// A whole upload in the PC's 78-byte packages, the end confirmed with `lastAnswer`.
std::string upload(const std::string& name, const Bytes& data, std::uint8_t flag, const char* lastAnswer = "06 04") {
    std::string wire = header(name, flag);
    for (std::size_t at = 0; at < data.size(); at += 78)
        wire += dataPackage(Bytes(data.begin() + at, data.begin() + std::min(data.size(), at + 78)));
    return wire + " > 04 < " + lastAnswer + " give";
}
const Bytes pattern = countingBytes(0x010203, 3, 7);
Bytes patternOf(std::size_t size) {
    return Bytes(pattern.begin(), pattern.begin() + size);
}
}  // namespace

TEST(SimulatedDevice, AnswersIdentificationAndPortSwitchesAsConfigured) {
    const struct {
        const char* what;
        DeviceConfig config;
        std::string wire;
    } cases[] = {
        {"a Corvia 40 sends the first 12 characters of its serial, then terminators",
         {.typeCode = 0x74, .serial = "CV4-123456789XYZ", .protocolVersion = 0x0102},
         "> FF < FE 74 > 0C < 06 0C 01 02 16 > 06 16 < quiet > AE < 4F > 'INFO N' < 'INFOICV4-12345678' " +
             hexOf(Bytes(28, 0))},
        {"version 0 leaves the version query unanswered", {.protocolVersion = 0}, "> 0C < quiet > FF < FE 78"},
        {"another kind answers its 8-byte serial",
         {.typeCode = 0x90, .serial = "OTHER-1234"},
         "> FF < FE 90 > 05 05 < 'OTHER-12'"},
        {"taking confirms 0, giving back 2, monitor mode 1", {}, "take give take give > 0B 01 < 06 01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture(c.config).pc.play(c.wire);
    }
}

TEST(SimulatedDevice, FileListAndDownloadComeInPackagesOfTheConfiguredSize) {
    Fixture f({.packageSize = 16});
    f.device->putFile("AB.TXT", patternOf(0x010203), FileTime{2005, 6, 7, 8, 9, 10});
    f.device->putFile("LETTER.BRF", patternOf(256), FileTime{1999, 12, 31, 23, 59, 58});
    f.pc.play("take cmd:20");
    std::vector<std::size_t> sizes;
    EXPECT_EQ(hexOf(f.pc.receiveData(sizes)),
              "1C 06 " + hexOf(bytesOf("AB.TXT")) + " 00 00 05 06 07 08 09 0A 00 01 02 03 1C 0A " +
                  hexOf(bytesOf("LETTER.BRF")) + " 00 00 63 0C 1F 17 3B 3A 00 00 01 00");
    EXPECT_EQ(sizes, (std::vector<std::size_t>{16, 16, 12}));
    EXPECT_EQ(f.device->events().back(), "sent file list (2 files)");

    Fixture plain;
    plain.device->putFile("DATA.BIN", patternOf(100));
    plain.pc.play("take cmd:21 name:21:DATA.BIN");
    sizes.clear();
    EXPECT_EQ(plain.pc.receiveData(sizes), patternOf(100)) << "then END_OF_FILE";
    EXPECT_EQ(sizes, (std::vector<std::size_t>{80, 20})) << "80 bytes a package unless configured";
    EXPECT_EQ(plain.device->events().back(), "sent DATA.BIN (100 bytes)");
}

TEST(SimulatedDevice, UploadsConsumeDeletesFreeAndUploadsBeyondTheFreeSpaceAreRefused) {
    Fixture f({.freeSpace = 150});
    f.pc.play(upload("A.TXT", patternOf(100), 0x00));
    EXPECT_EQ(f.device->fileData("A.TXT"), patternOf(100));
    f.pc.play("take > 25 < 06 25 00 00 00 96 00 00 00 32 16 > 06 16 < quiet give");
    f.pc.play(header("BIG.TXT", 0x00) + " cmd:03 > " + package(patternOf(78)) + " < 15 0E give");
    EXPECT_FALSE(f.device->hasFile("BIG.TXT"));
    EXPECT_EQ(f.device->freeSpace(), 50u) << "a refused upload takes no space";
    f.pc.play(upload("A.TXT", patternOf(40), 0x01));
    EXPECT_EQ(f.device->freeSpace(), 110u) << "replacing gives the old file's space back";
    EXPECT_EQ(f.device->fileData("A.TXT"), patternOf(40)) << "not replaced";
    f.pc.play("take cmd:23 name:23:A.TXT give");
    EXPECT_EQ(f.device->freeSpace(), 150u);
    EXPECT_FALSE(f.device->hasFile("A.TXT"));
}

TEST(SimulatedDevice, ExistingNamesMissingFilesCancelledUploadsAndNamesLeavingItsFolderAreRefused) {
    Fixture f;
    f.device->putFile("KEEP.TXT", "keep");
    f.device->putFile("OTHER.TXT", "other");
    // Flag 0 does not replace (NAK 19); deleting or renaming a missing file: 24.
    f.pc.play(header("KEEP.TXT", 0x00, "15 13") + " give");
    f.pc.play("take cmd:23 > 09 00 'GONE.TXT' 23 16 < 15 18 give take cmd:22 > 09 00 'GONE.TXT' 22 16 < 15 18 give");
    f.pc.play("take cmd:22 name:22:KEEP.TXT cmd:22 > 0A 00 'OTHER.TXT' 22 16 < 15 13 give");
    // The PC cancels an upload: ACK 0x43 and the partial file is dropped.
    f.pc.play(header("PART.TXT", 0x00) + dataPackage(patternOf(78)) + " > 43 < 06 43 give");
    EXPECT_FALSE(f.device->hasFile("PART.TXT"));
    EXPECT_EQ(f.device->fileData("KEEP.TXT"), bytesOf("keep"));
    EXPECT_EQ(f.device->files().size(), 2u);
    EXPECT_EQ(f.device->events().back(), "upload of PART.TXT cancelled by the PC");

    // A folder's storage refuses a name that leaves it when the file is to be
    // stored; what it holds otherwise the cli and mount tests see.
    TempDir root;
    fs::create_directories(root.file("device"));
    Fixture inFolder({}, std::make_unique<DirectoryStorage>(root.file("device")));
    inFolder.pc.play(upload("../ESCAPE.TXT", bytesOf("x"), 0x00, "15 0E"));
    EXPECT_FALSE(fs::exists(root.file("ESCAPE.TXT")));
    EXPECT_TRUE(inFolder.device->files().empty());
}

TEST(SimulatedDevice, PacedTransfersTakeAtLeastTheirWireTime) {
    Fixture f({.pacing = true});
    f.device->putFile("A.TXT", patternOf(800));
    f.pc.play("take");
    const auto start = std::chrono::steady_clock::now();
    f.pc.play("cmd:21 name:21:A.TXT");
    std::vector<std::size_t> sizes;
    EXPECT_EQ(f.pc.receiveData(sizes), patternOf(800));
    // 4 confirmation bytes, 10 packages of 1 + 2 + 80 + 1 bytes and END_OF_FILE, 11/19200 s each.
    EXPECT_GE(std::chrono::steady_clock::now() - start, PacedLine::byteTime * (4 + 10 * 84 + 1));
}

TEST(SimulatedBus, NumbersWithoutDeviceFailLikeMissingPortsEachOpenIsFreshAndSilenceLastsAcrossOpens) {
    SimulatedBus bus;
    SimulatedDevice& first = bus.attach(3, {.typeCode = 0x72});
    bus.attach(7, {.typeCode = 0x05});
    EXPECT_THROW(openSerialPort(4), PortExceptions::ErrorOnInitialization);
    // A new open is a new session: taking is confirmed with 0 again.
    for (int open = 0; open < 2; ++open) ScriptedPc(*openSerialPort(3)).play("> FF < FE 72 take");
    ScriptedPc(*openSerialPort(7)).play("> FF < FE 05");
    first.setFaults({.silenceAfterBytes = 3});
    ScriptedPc(*openSerialPort(3)).play("> FF FF < FE 72 FE");  // three bytes, then silence
    ScriptedPc(*openSerialPort(3)).play("> FF < quiet");
    EXPECT_TRUE(first.isSilent());
    first.clearFaults();
    ScriptedPc(*openSerialPort(3)).play("> FF < FE 72");
    bus.detach(3);
    EXPECT_THROW(openSerialPort(3), PortExceptions::ErrorOnInitialization);
    EXPECT_EQ(first.config().typeCode, 0x72) << "an unplugged device stays inspectable";
}
