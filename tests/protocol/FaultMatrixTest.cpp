// Every transaction against every fault the simulated device can show: the
// code and text that come out, the port closed and the object idle, no
// partial local file, the user's file and the device's files as they were,
// and the same transaction going through on the same object once the fault
// is gone. A refused or missing answer to the port switches is passed over.
#include <array>
#include <filesystem>

#include "ProtocolTestSupport.h"
#include "devsim/SimulatedBus.h"
#include "protocol/DeviceErrors.h"

namespace {
using devsim::Faults;

const std::string spacePrefix = "SLVFamilyDevice::sendDiskSpace--",
                  timeOut =
                      "SimulatedPort::readByte -- Error while reading from port \"\\\\.\\COM3\". No Byte arrived.";
constexpr devsim::Milliseconds shortWait{250}, longWait{2000};
// Two device packages (80 + 20 bytes) or two PC packages (78 + 22).
const Bytes content = countingBytes(100, 7);

// A fresh device, object and scratch directory for each cell.
struct Cell {
    Cell() {
        simulated.putFile("LONG.TXT", content);
        ScratchDirectory::write(upload, content);
    }
    ProgressCallback cancelling() {
        return [this](const DeviceInfo*, std::uint32_t, std::uint32_t done, double, std::int32_t) {
            if (cancel && done) device.cancelTransfer();
        };
    }

    PauseLog pauses;
    devsim::SimulatedBus bus;
    devsim::SimulatedDevice& simulated = bus.attach(3, {.typeCode = 0x72, .protocolVersion = 1, .freeSpace = 100000});
    ScratchDirectory scratch;
    const std::string download = scratch.path("copy.txt"), upload = scratch.path("UP.TXT");
    SLVFamilyDevice device{minnowRecord()};
    bool cancel = false;  // the PC cancels once the first package is through
    std::vector<FileListEntry> entries;
    std::uint32_t first = 0, free = 0;
};

// What each confirmation the device gives belongs to.
enum class Confirmation { PortSwitch, SpaceQuery, Own };
// What each SYNC the device writes does.
enum class Sync { Confirming, ConfirmingAfterActing, ClosingPackage, ClosingSpaceAnswer };

struct Transaction {
    const char* name;
    std::string prefix;
    std::function<void(Cell&)> run;
    std::function<bool(Cell&)> done;  // its effect is there
    std::vector<Confirmation> confirmations;
    std::vector<Sync> syncs;
    std::uint64_t deviceBytes;        // the last two answer the port's release
    std::uint64_t insidePackage = 0;  // silence after this many bytes cuts a package short
    unsigned packages = 0;            // data packages the device sends
    bool deviceCancels = false, pcCancels = false;
};

const std::array<std::uint8_t, 256> table = [] {
    std::array<std::uint8_t, 256> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    return bytes;
}();

using enum Confirmation;
using enum Sync;
const Transaction transactions[] = {
    {"file list",
     "SLVFamilyDevice::sendFileList--",
     [](Cell& c) { c.entries = c.device.sendFileList(200); },
     [](Cell& c) {
         return c.entries.size() == 1 && c.entries[0].name == std::string("LONG.TXT") && c.entries[0].size == 100;
     },
     {PortSwitch, Own, PortSwitch},
     {ClosingPackage},
     33,
     9,
     1},
    {"disk space",
     spacePrefix,
     [](Cell& c) { c.device.sendDiskSpace(c.first, c.free); },
     [](Cell& c) { return c.free == 100000; },
     {PortSwitch, Own, PortSwitch},
     {ClosingSpaceAnswer},
     15},
    {"download",
     "SLVFamilyDevice::sendFile--",
     [](Cell& c) { c.device.sendFile("LONG.TXT", c.download, 100, c.cancelling()); },
     [](Cell& c) { return ScratchDirectory::read(c.download) == content; },
     {PortSwitch, Own, Own, PortSwitch},
     {Confirming, ClosingPackage, ClosingPackage},
     117,
     19,
     2,
     true,
     true},
    {"upload",
     "SLVFamilyDevice::receiveFile--",
     [](Cell& c) { c.device.receiveFile(c.upload, c.cancelling(), 0); },
     [](Cell& c) { return c.simulated.fileData("UP.TXT") == content; },
     {PortSwitch, SpaceQuery, PortSwitch, PortSwitch, Own, Own, Own, Own, Own, Own, Own, PortSwitch},
     {ClosingSpaceAnswer, Confirming, Confirming, Confirming},
     33,
     0,
     0,
     false,
     true},
    {"delete",
     "SLVFamilyDevice::deleteFile--",
     [](Cell& c) { c.device.deleteFile("LONG.TXT"); },
     [](Cell& c) { return !c.simulated.hasFile("LONG.TXT"); },
     {PortSwitch, Own, Own, PortSwitch},
     {ConfirmingAfterActing},
     8},
    {"rename",
     "SLVFamilyDevice::renameFile--",
     [](Cell& c) { c.device.renameFile("LONG.TXT", "B.TXT"); },
     [](Cell& c) { return c.simulated.hasFile("B.TXT") && !c.simulated.hasFile("LONG.TXT"); },
     {PortSwitch, Own, Own, Own, Own, PortSwitch},
     {Confirming, ConfirmingAfterActing},
     12},
    {"braille table",
     "SLVFamilyDevice::receiveBrailleTable -- ",
     [](Cell& c) { c.device.receiveBrailleTable(table, "NORDIC", 4, true); },
     [](Cell& c) {
         const auto loaded = c.simulated.brailleTable(4);  // with its name and flags as the device keeps them
         return loaded && loaded->name == "NORDIC" && loaded->backwardSearch &&
                loaded->table == devsim::Bytes(table.begin(), table.end());
     },
     {PortSwitch, Own, Own, Own, Own, Own, Own, Own, Own, Own, Own, Own, PortSwitch},
     {Confirming, Confirming, Confirming, Confirming, Confirming},
     26},
};

struct Fault {
    std::string what;
    Faults faults;
    bool cancel = false;
    std::int32_t code = 0;  // 0: the transaction goes through
    std::string text;
    bool acted = false;  // the device did it, only its answer was lost
};

std::vector<Fault> faultsFor(const Transaction& t) {
    const std::string pageFrame = t.prefix + "Wrong number of data bytes(page frame error).";
    std::vector<Fault> faults;
    const auto add = [&](std::string what, Faults f, std::int32_t code = 0, std::string text = "", bool acted = false) {
        faults.push_back({std::move(what), f, false, code, std::move(text), acted});
    };
    for (unsigned at = 1; at <= t.confirmations.size() + 1; ++at) {
        const auto step = at <= t.confirmations.size() ? t.confirmations[at - 1] : PortSwitch;
        add("NAK at confirmation " + std::to_string(at),
            {.nak = Faults::Nak{.at = at, .code = DeviceError::CannotOpenFile}}, step == PortSwitch ? 0 : 23,
            (step == SpaceQuery ? spacePrefix : t.prefix) + "Cannot open requested file.");
    }
    for (unsigned at = 1; at <= t.syncs.size(); ++at) {
        const Sync kind = t.syncs[at - 1];
        const bool confirming = kind == Confirming || kind == ConfirmingAfterActing;
        add("wrong SYNC " + std::to_string(at), {.wrongSync = Faults::WrongSync{.at = at, .byte = 0x17}},
            confirming ? 29 : 15,
            confirming               ? t.prefix + " Wrong command byte received."
            : kind == ClosingPackage ? t.prefix + "Missing SYNC."
                                     : spacePrefix + "Missing SYNC in transaction GET_DISK_SPACE.",
            kind == ConfirmingAfterActing);
    }
    add("silence from the start", {.silenceAfterBytes = 0}, 12, timeOut);
    add("silence before the release's answer", {.silenceAfterBytes = t.deviceBytes - 2});
    if (t.insidePackage) add("silence inside a package", {.silenceAfterBytes = t.insidePackage}, 15, pageFrame);
    for (unsigned at = 1; at <= t.packages; ++at) {
        add("short package " + std::to_string(at), {.shortPackage = Faults::ShortPackage{.at = at, .delivered = 10}},
            15, pageFrame);
        if (t.deviceCancels)
            add("device cancel at package " + std::to_string(at), {.cancelDownloadAt = at}, 30,
                t.prefix + "Transmission canceled by user (device side).");
    }
    if (t.pcCancels)
        faults.push_back({"PC cancel", {}, true, 30, t.prefix + "Transmission canceled by user (PC side)."});
    return faults;
}
}  // namespace

TEST(FaultMatrix, EveryTransactionUnderEveryFaultEndsCleanAndTheNextOneGoesThrough) {
    for (const Transaction& transaction : transactions) {
        for (const Fault& fault : faultsFor(transaction)) {
            SCOPED_TRACE(std::string(transaction.name) + ", " + fault.what);
            Cell cell;
            cell.simulated.setFaults(fault.faults);
            // Short reads only where a silence is to be seen; elsewhere a
            // loaded machine must not turn a slow answer into a time-out.
            cell.bus.setReadTimeout(fault.faults.silenceAfterBytes ? shortWait : longWait);
            cell.cancel = fault.cancel;
            const auto error = errorOf([&] { transaction.run(cell); });
            EXPECT_EQ(cell.simulated.servedLines(), 0u) << "the port was left open";
            EXPECT_TRUE(!cell.device.isBusy() && cell.device.currentPortMode() == IDLE) << "the object was not freed";
            EXPECT_EQ(ScratchDirectory::read(cell.upload), content) << "the user's file was changed";
            if (fault.code == 0) {
                EXPECT_FALSE(error) << error->code << " " << error->description;
                EXPECT_TRUE(transaction.done(cell)) << "the transaction had no effect";
                continue;
            }
            ASSERT_TRUE(error) << "expected " << fault.code << " " << fault.text;
            EXPECT_EQ(error->code, fault.code) << error->description;
            EXPECT_EQ(error->description, fault.text);
            EXPECT_FALSE(std::filesystem::exists(cell.download)) << "the partial download was kept";
            if (fault.acted) {
                EXPECT_TRUE(transaction.done(cell)) << "the device had acted before its answer was lost";
                const auto next = errorOf([&] { cell.device.sendDiskSpace(cell.first, cell.free); });
                EXPECT_FALSE(next) << "the next transaction failed: " << next->description;
                continue;
            }
            EXPECT_EQ(cell.simulated.files().size(), 1u) << "the device stored a failed upload or lost its file";
            EXPECT_EQ(cell.simulated.fileData("LONG.TXT"), std::optional<devsim::Bytes>(content));
            EXPECT_FALSE(cell.simulated.brailleTable(4)) << "a failed table load was kept";

            cell.simulated.clearFaults();
            cell.bus.setReadTimeout(longWait);
            cell.cancel = false;
            const auto retry = errorOf([&] { transaction.run(cell); });
            EXPECT_FALSE(retry) << "the next transaction failed: " << retry->description;
            EXPECT_TRUE(transaction.done(cell)) << "the next transaction had no effect";
        }
    }
}

// The simulated device's monitor frames of either kind, as the loop reads them.
TEST(SimulatedMonitor, TheLoopReportsTheLinesOfEitherFrameKind) {
    for (const auto kind : {devsim::MonitorFrameKind::A, devsim::MonitorFrameKind::B}) {
        Cell cell;
        auto& monitored = cell.bus.attach(3, {.typeCode = 0x72,
                                              .monitorKind = kind,
                                              .monitorLines = {{"FIRST LINE", 1}, {"SECOND", 2}},
                                              .monitorDelay = devsim::Milliseconds(50)});
        Log lines;
        cell.device.startMonitorMode([&](const DeviceInfo*, const char* line, std::int32_t number, std::int32_t) {
            lines.push_back(std::string(line) + "@" + std::to_string(number));
            if (lines.size() == 2) cell.device.stopMonitorMode();
        });
        EXPECT_EQ(lines, (Log{"FIRST LINE@1", "SECOND@2"}));
        EXPECT_EQ(cell.device.currentPortMode(), IDLE);
        EXPECT_EQ(monitored.monitorHandshakeReplies(), kind == devsim::MonitorFrameKind::A ? 1u : 0u);
    }
}
