// Monitor mode: the frame kinds, line reports, the single loop per
// process, and the port shared with a transaction on another thread.
#include <algorithm>
#include <chrono>
#include <thread>

#include "ProtocolTestSupport.h"

namespace {
struct Report {
    std::string line;
    std::int32_t number;
    std::int32_t changed;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& report) {
    return out << "{\"" << report.line << "\", " << report.number << ", " << report.changed << "}";
}

const Bytes startFrame{0x79, 0x72, 0x01, 0x07, 0x16, 0x0B, 0x01};
const Bytes endFrame{0x0A, 0x0B, 0x00};

class MonitorTest : public ScriptedDeviceTest {
protected:
    MonitorCallback recorder() {
        return [this](const DeviceInfo* info, const char* line, std::int32_t number, std::int32_t changed) {
            EXPECT_STREQ(info->serial, "MN2-000417");
            reports.push_back({line, number, changed});
        };
    }
    // Runs the loop on this thread until the device has nothing more to say.
    void runUntilSilent(SLVFamilyDevice& device) {
        ScopedPause stopWhenSilent([&device](std::uint32_t milliseconds) {
            if (milliseconds == 200) device.stopMonitorMode();
        });
        device.startMonitorMode(recorder());
    }
    std::vector<Report> reports;
};
}  // namespace

TEST_F(MonitorTest, KindAReportsChangedLinesAndNewLineNumbers) {
    const Bytes hello = bytesOf("HELLO");
    script.pc(startFrame).device({0xFE, 0x37});
    script.pc({0x34}).device(hello + Bytes{0xFE, 0x47, 0x03, 0x00} + hello + Bytes{0xFE, 0x47, 0x04, 0x00} +
                             hello + Bytes{0xFE, 0x47, 0x04, 0x00});
    script.pc(endFrame);
    SLVFamilyDevice device(minnowRecord());
    runUntilSilent(device);
    EXPECT_EQ(reports, (std::vector<Report>{{"HELLO", 3, 1}, {"HELLO", 4, 0}}));
    EXPECT_EQ(script.log(), (std::vector<std::string>{"open", "[79 72 01 07 16]", "0B", "01", "purge", "34",
                                                      "0A", "0B", "00", "purge", "close"}));
    expectExchangeComplete();
    EXPECT_EQ(device.currentPortMode(), IDLE);
}

TEST_F(MonitorTest, KindAClearReportsTheLineWithNumberZeroOnlyWhenChanged) {
    script.pc(startFrame).device({0xFE, 0x37});
    script.pc({0x34}).device(bytesOf("ABC") + Bytes{0xFE, 0x4B} + bytesOf("ABC") + Bytes{0xFE, 0x4B} +
                             Bytes{0xFE, 0x4B} + Bytes{0xFE, 0x37});
    script.pc({0x34}).pc(endFrame);
    SLVFamilyDevice device(minnowRecord());
    runUntilSilent(device);
    EXPECT_EQ(reports, (std::vector<Report>{{"ABC", 0, 1}}));
    expectExchangeComplete();
}

TEST_F(MonitorTest, KindBTakesLineNumbersFromStxAndReportsOnCarriageReturn) {
    script.pc(startFrame).device(Bytes{0x02, 0x00, 0x0D} + Bytes{0x02, 0x29} + bytesOf("LONGER LINE") +
                                 Bytes{0x0D} + Bytes{0x02, 0x2A} + bytesOf("SH") + Bytes{0x01, 0x0D});
    script.pc(endFrame);
    SLVFamilyDevice device(minnowRecord());
    runUntilSilent(device);
    EXPECT_EQ(reports, (std::vector<Report>{{"LONGER LINE", 1, 1}, {"SH", 2, 1}}));
    expectExchangeComplete();
}

TEST_F(MonitorTest, BytesBeforeAFrameStartAreIgnored) {
    script.pc(startFrame).device(bytesOf("NOISE") + Bytes{0xFE, 0x11, 0x02, 0x00, 0x41, 0x0D});
    script.pc(endFrame);
    SLVFamilyDevice device(minnowRecord());
    runUntilSilent(device);
    EXPECT_TRUE(reports.empty());
    expectExchangeComplete();
}

TEST_F(MonitorTest, OverlongLinesAreCutToTheLineBuffer) {
    script.pc(startFrame).device(Bytes{0x02, 0x00, 0x0D, 0x02, 0x29} + Bytes(600, 'x') + Bytes{0x0D} +
                                 Bytes{0x02, 0x29} + Bytes(600, 'x') + Bytes{0x0D});
    script.pc(endFrame);
    SLVFamilyDevice device(minnowRecord());
    runUntilSilent(device);
    ASSERT_EQ(reports.size(), 1u) << "the same long line again must not count as changed";
    EXPECT_EQ(reports[0].line, std::string(511, 'x'));
}

TEST_F(MonitorTest, PortThatCannotBeOpenedIsReportedThroughTheCallback) {
    ScopedPortOpener refusing([](int) -> std::unique_ptr<SerialPort> {
        throw PortExceptions::ErrorOnInitialization("WinSerialPort::initializePort -- no port");
    });
    SLVFamilyDevice device(minnowRecord());
    device.startMonitorMode(recorder());
    EXPECT_EQ(reports, (std::vector<Report>{{"ErrorOnInitialization", 0, 1},
                                            {"WinSerialPort::initializePort -- no port", 0, 1}}));
    EXPECT_EQ(device.currentPortMode(), IDLE);
    // The failed start left nothing running: a second start opens the port.
    script.pc(startFrame).pc(endFrame);
    SLVFamilyDevice second(minnowRecord());
    runUntilSilent(second);
    EXPECT_EQ(script.openPorts(), 0);
}

TEST_F(MonitorTest, OnlyOneLoopRunsInTheProcess) {
    script.pc(startFrame).device(Bytes{0x02, 0x00, 0x0D, 0x02, 0x29, 'A', 0x0D});
    script.pc(endFrame);
    SLVFamilyDevice device(minnowRecord());
    SLVFamilyDevice other(minnowRecord());
    bool secondReturned = false;
    ScopedPause stopWhenSilent([&device](std::uint32_t milliseconds) {
        if (milliseconds == 200) device.stopMonitorMode();
    });
    device.startMonitorMode([&](const DeviceInfo*, const char*, std::int32_t, std::int32_t) {
        other.startMonitorMode(recorder());
        secondReturned = true;
    });
    EXPECT_TRUE(secondReturned);
    EXPECT_TRUE(reports.empty());
    const std::vector<std::string> log = script.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "open"), 1) << "the second start touched the port";
    expectExchangeComplete();
}

TEST_F(MonitorTest, TransactionOnAnotherThreadBorrowsTheMonitorPortAndGivesItBack) {
    PauseLog slowPauses(1);  // real pauses, so the two threads take turns
    script.pc(startFrame);
    script.pc({0x0B, 0x00}).device({0x06, 0x00});
    script.pc({0x25}).device({0x06, 0x25, 0, 0, 0, 0, 0, 0, 0x10, 0x00, 0x16});
    script.pc({0x06, 0x16});
    script.pc({0x0B, 0x01}).device({0x06, 0x01});
    script.pc(endFrame);

    SLVFamilyDevice device(minnowRecord());
    std::thread monitor([&] { device.startMonitorMode(recorder()); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (script.written().size() < startFrame.size() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(script.written().size(), startFrame.size()) << "the monitor loop did not start";

    std::uint32_t first = 0, second = 0;
    device.sendDiskSpace(first, second);
    EXPECT_EQ(second, 0x1000u);
    EXPECT_EQ(device.currentPortMode(), MONITOR) << "the port went back to the monitor loop";
    EXPECT_EQ(script.openPorts(), 1) << "the monitor's port was closed or a second one opened";
    EXPECT_FALSE(device.isBusy());
    const auto waits = slowPauses.waits();
    EXPECT_NE(std::find(waits.begin(), waits.end(), 250u), waits.end())
        << "the transaction did not wait for the loop to pause";

    device.stopMonitorMode();
    monitor.join();
    EXPECT_EQ(script.writes(), (std::vector<std::string>{"[79 72 01 07 16]", "0B", "01", "0B", "00", "25",
                                                         "06", "16", "0B", "01", "0A", "0B", "00"}));
    expectExchangeComplete();
    EXPECT_EQ(script.openPorts(), 0);
    EXPECT_EQ(device.currentPortMode(), IDLE);
    EXPECT_TRUE(reports.empty());
}
