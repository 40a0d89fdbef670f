// Monitor mode: the frame kinds, line reports, the single loop per
// process, and the port shared with a transaction on another thread.
#include "ProtocolTestSupport.h"

namespace {
const std::string startFrame = "> 79 72 01 07 16 0B 01 ", endFrame = " > 0A 0B 00";

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
    void runUntilSilent(SLVFamilyDevice& device, const MonitorCallback& callback = nullptr) {
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
    const std::string kindB = "< 02 00 0D 02 29 ", x600 = " '" + std::string(600, 'x') + "' ";
    const struct {
        const char* behaviour;
        std::string exchange;  // between the start and end frames
        std::string expected;
    } cases[] = {
        {"kind A reports changed lines and new line numbers",
         "< FE 37 > 34 < 'HELLO' FE 47 03 00 'HELLO' FE 47 04 00 'HELLO' FE 47 04 00", "HELLO 3 1 | HELLO 4 0"},
        {"kind A clear reports the line with number 0 only when changed",
         "< FE 37 > 34 < 'ABC' FE 4B 'ABC' FE 4B FE 4B FE 37 > 34", "ABC 0 1"},
        {"kind B takes line numbers from STX and reports on carriage return",
         kindB + "'LONGER LINE' 0D 02 2A 'SH' 01 0D", "LONGER LINE 1 1 | SH 2 1"},
        {"bytes before a frame start are ignored", "< 'NOISE' FE 11 02 00 41 0D", ""},
        {"overlong lines are cut, and the same again is no change", kindB + x600 + "0D 02 29" + x600 + "0D",
         std::string(511, 'x') + " 1 1"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.behaviour);
        DeviceScript lineScript;
        lineScript.play(startFrame + testCase.exchange + endFrame);
        reports.clear();
        runUntilSilent(device);
        EXPECT_EQ(joined(reports, " | "), testCase.expected);
        lineScript.expectFinished(device);
    }
}

TEST_F(MonitorTest, RefusedPortIsReportedAndWhileALoopRunsASecondStartReturnsWithoutTouchingThePort) {
    {
        ScopedPortOpener refusing([](int) -> std::unique_ptr<SerialPort> {
            throw PortExceptions::ErrorOnInitialization("WinSerialPort::initializePort -- no port");
        });
        device.startMonitorMode(recorder());
    }
    EXPECT_EQ(reports, (Log{"ErrorOnInitialization 0 1", "WinSerialPort::initializePort -- no port 0 1"}));
    EXPECT_EQ(device.currentPortMode(), IDLE);
    reports.clear();
    script.play(startFrame + "< 02 00 0D 02 29 41 0D" + endFrame);
    SLVFamilyDevice other(minnowRecord());
    bool secondReturned = false;
    runUntilSilent(device, [&](auto...) {
        other.startMonitorMode(recorder());
        secondReturned = true;
    });
    EXPECT_TRUE(secondReturned);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(script.log(), "open [79 72 01 07 16] 0B 01 purge 0A 0B 00 purge close");
    script.expectComplete();
}

TEST_F(MonitorTest, TransactionOnAnotherThreadBorrowsTheMonitorPortAndGivesItBack) {
    PauseLog slowPauses(1);  // real pauses, so the two threads take turns
    script.play(startFrame + "take > 25 < 06 25 00 00 00 00 00 00 10 00 16 > 06 16 0B 01 < 06 01" + endFrame);
    std::thread monitor([&] { device.startMonitorMode(recorder()); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (script.writes().size() < 22 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(script.writes(), "[79 72 01 07 16] 0B 01") << "the monitor loop did not start";
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
    EXPECT_EQ(script.writes(), "[79 72 01 07 16] 0B 01 0B 00 25 06 16 0B 01 0A 0B 00");
    script.expectFinished(device);
    EXPECT_TRUE(reports.empty());
}
