// nimbrel-devsim as end-to-end tests meet it: a device on a pseudo-terminal
// behind a link, opened through POSIX termios like a serial port.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "NativeHost.h"
#include "ScriptedPc.h"
#include "TestFiles.h"
#include "link/PosixSerialPort.h"

using namespace std::chrono_literals;

static const std::string devsim = std::string(NIMBREL_TOOLS_DIR) + "/nimbrel-devsim";

// True also for a link whose pseudo-terminal is gone.
static bool linkExists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

TEST(DevsimProgram, AnswersOnItsLinkAcrossReopensAndOnSigtermEndsWithoutLeavingLinkOrPidFile) {
    TempDir dir;
    const std::string link = dir.file("COM3"), pidFile = dir.file("pid"), log = dir.file("out.log");
    std::future<int> exitStatus = std::async(std::launch::async, [&] {
        return runNative({"/bin/sh", "-c",
                          "exec '" + devsim + "' --device 'link=" + link +
                              ",model=MN2,serial=MN2-4711,version=1' --pid-file '" + pidFile + "' --idle-limit 30 > '" +
                              log + "'"});
    });
    for (int i = 0; i < 300 && !pathExists(pidFile); ++i) std::this_thread::sleep_for(10ms);
    long pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0) << "no pid file";

    for (int open = 0; open < 2; ++open) {
        SCOPED_TRACE("open " + std::to_string(open));
        PosixSerialPort port(link, ReadTiming{20, 500});
        ScriptedPc(port).play("> FF < FE 72 > 0C < 06 0C 00 01 16 > 06 16 AE < 4F > 'INFO N' < 'INFOIMN2-4711' " +
                              hexOf(Bytes(32, 0)) + " > 0B 00 20 < 06 00 06 20 04 give");  // an empty file list
    }

    ::kill(static_cast<pid_t>(pid), SIGTERM);
    EXPECT_EQ(exitStatus.get(), 0);
    EXPECT_FALSE(linkExists(link)) << "link left behind";
    EXPECT_FALSE(pathExists(pidFile)) << "pid file left behind";
    std::stringstream output;
    output << std::ifstream(log).rdbuf();
    EXPECT_NE(output.str().find("COM3: type 0x72, serial MN2-4711, version 1"), std::string::npos) << output.str();
    EXPECT_NE(output.str().find("COM3: sent file list (0 files)"), std::string::npos) << output.str();
}

TEST(DevsimProgram, EndsByItselfAfterTheIdleLimitAndRefusesUnknownKeys) {
    TempDir dir;
    EXPECT_EQ(runNative({devsim, "--device", "link=" + dir.file("COM4"), "--idle-limit", "0.3"}), 0);
    EXPECT_FALSE(linkExists(dir.file("COM4")));
    EXPECT_EQ(runNative({devsim, "--device", "link=" + dir.file("COM4") + ",colour=red"}), 2);
}
