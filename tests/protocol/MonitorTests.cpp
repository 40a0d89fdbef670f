// Monitor mode: the frame kinds, line reports, the single loop per
// process, and the port shared with a transaction on another thread.
#include <algorithm>

#include "ProtocolTestSupport.h"

namespace {
const Bytes startFrame{0x79, 0x72, 0x01, 0x07, 0x16, 0x0B, 0x01}, endFrame{0x0A, 0x0B, 0x00};

class MonitorTest : public ScriptedDeviceTest {
protected:
    // Reports as "line number changed".
    MonitorCallback recorder() {
        return [this](const DeviceInfo* info, const char* line, std::int32_t number, std::int32_t changed) {
            EXPECT_STREQ(info->serial, "MN2-000417");
            reports.push_back(std::string(line) + " " + std::to_string(number) + " " + std::to_string(changed));
        };
    }
    // Runs the loop on this thread until the device has nothing more to say.
    void runUntilSilent(SLVFamilyDevice& device, MonitorCallback callback = nullptr) {
        ScopedPause stopWhenSilent([&device](std::uint32_t milliseconds) {
            if (milliseconds == 200) device.stopMonitorMode();
        });
        device.startMonitorMode(callback ? callback : recorder());
    }
    SLVFamilyDevice device{minnowRecord()};
    Log reports;
};
}  // namespace

TEST_F(MonitorTest, FramesOfEitherKindBecomeLineReports) {
    const Bytes hello = bytesOf("HELLO"), kindB = {0x02, 0x00, 0x0D, 0x02, 0x29};
    const struct {
        const char* behaviour;
        std::function<void(DeviceScript&)> exchange;  // between the start and end frames
        Log expected;
    } cases[] = {
        {"kind A reports changed lines and new line numbers",
         [&](auto& s) {
             s.device({0xFE, 0x37})
                 .pc({0x34})
                 .device(hello + Bytes{0xFE, 0x47, 0x03, 0x00} + hello + Bytes{0xFE, 0x47, 0x04, 0x00} + hello +
                         Bytes{0xFE, 0x47, 0x04, 0x00});
         },
         {"HELLO 3 1", "HELLO 4 0"}},
        {"kind A clear reports the line with number 0 only when changed",
         [](auto& s) {
             s.device({0xFE, 0x37})
                 .pc({0x34})
                 .device(bytesOf("ABC") + Bytes{0xFE, 0x4B} + bytesOf("ABC") +
                         Bytes{0xFE, 0x4B, 0xFE, 0x4B, 0xFE, 0x37})
                 .pc({0x34});
         },
         {"ABC 0 1"}},
        {"kind B takes line numbers from STX and reports on carriage return",
         [&](auto& s) {
             s.device(kindB + bytesOf("LONGER LINE") + Bytes{0x0D, 0x02, 0x2A} + bytesOf("SH") + Bytes{0x01, 0x0D});
         },
         {"LONGER LINE 1 1", "SH 2 1"}},
        {"bytes before a frame start are ignored",
         [](auto& s) {
             s.device(bytesOf("NOISE") + Bytes{0xFE, 0x11, 0x02, 0x00, 0x41, 0x0D});
         },
         {}},
        {"overlong lines are cut, and the same again is no change",
         [&](auto& s) {
             s.device(kindB + Bytes(600, 'x') + Bytes{0x0D, 0x02, 0x29} + Bytes(600, 'x') + Bytes{0x0D});
         },
         {std::string(511, 'x') + " 1 1"}},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.behaviour);
        DeviceScript lineScript;
        testCase.exchange(lineScript.pc(startFrame));
        lineScript.pc(endFrame);
        reports.clear();
        runUntilSilent(device);
        EXPECT_EQ(reports, testCase.expected);
        lineScript.expectFinished(device);
    }
}

TEST_F(MonitorTest, PortThatCannotBeOpenedIsReportedAndLeavesNoLoopRunning) {
    {
        ScopedPortOpener refusing([](int) -> std::unique_ptr<SerialPort> {
            throw PortExceptions::ErrorOnInitialization("WinSerialPort::initializePort -- no port");
        });
        device.startMonitorMode(recorder());
    }
    EXPECT_EQ(reports, (Log{"ErrorOnInitialization 0 1", "WinSerialPort::initializePort -- no port 0 1"}));
    EXPECT_EQ(device.currentPortMode(), IDLE);
    script.pc(startFrame).pc(endFrame);
    runUntilSilent(device);
    EXPECT_EQ(script.log(), (Log{"open", "[79 72 01 07 16]", "0B", "01", "purge", "0A", "0B", "00", "purge", "close"}));
    script.expectComplete();
}

TEST_F(MonitorTest, OnlyOneLoopRunsInTheProcess) {
    script.pc(startFrame).device(Bytes{0x02, 0x00, 0x0D, 0x02, 0x29, 'A', 0x0D}).pc(endFrame);
    SLVFamilyDevice other(minnowRecord());
    bool secondReturned = false;
    runUntilSilent(device, [&](auto...) {
        other.startMonitorMode(recorder());
        secondReturned = true;
    });
    EXPECT_TRUE(secondReturned);
    EXPECT_TRUE(reports.empty());
    const Log log = script.log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "open"), 1) << "the second start touched the port";
    script.expectComplete();
}

TEST_F(MonitorTest, TransactionOnAnotherThreadBorrowsTheMonitorPortAndGivesItBack) {
    PauseLog slowPauses(1);  // real pauses, so the two threads take turns
    script.pc(startFrame).acquire().pc({0x25}).device({0x06, 0x25, 0, 0, 0, 0, 0, 0, 0x10, 0x00, 0x16});
    script.pc({0x06, 0x16, 0x0B, 0x01}).device({0x06, 0x01}).pc(endFrame);
    std::thread monitor([&] { device.startMonitorMode(recorder()); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (script.writes().size() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(script.writes().size(), 3u) << "the monitor loop did not start";
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
    EXPECT_EQ(script.writes(),
              (Log{"[79 72 01 07 16]", "0B", "01", "0B", "00", "25", "06", "16", "0B", "01", "0A", "0B", "00"}));
    script.expectFinished(device);
    EXPECT_TRUE(reports.empty());
}
