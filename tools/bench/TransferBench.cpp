// Moves a 64 KiB file each way between this PC side and nimbrel-devsim on a
// pseudo-terminal, paced at the real line rate, and prints the throughput
// against the protocol's wire-time floor at 19200 baud; then copies four
// 16 KiB files from that device to a second one and prints the time
// against doing it one step after the other and against the pipelined
// ideal. Usage: nimbrel-transfer-bench [nimbrel-devsim]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TransferFloor.h"
#include "link/PortOpener.h"
#include "link/PosixSerialPort.h"
#include "protocol/Identification.h"
#include "protocol/SLVFamilyDevice.h"
#include "transfer/BackgroundWork.h"
#include "transfer/DeviceCopyJob.h"

extern char** environ;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
constexpr std::uint32_t fileSize = 64 * 1024;
constexpr std::uint32_t jobFileSize = 16 * 1024;
constexpr int jobFiles = 4;
constexpr int portNumber = 1;
constexpr int secondPortNumber = 2;
constexpr double jobRefreshWait = 0.5;

// A job's user who is never asked anything and shows nothing.
class SilentUser : public TransferUser {
public:
    OverwriteAnswer askOverwrite(const std::string&) override { return OverwriteAnswer::Cancel; }
    void tell(const TransferMessage& message) override {
        std::fprintf(stderr, "job: %s failed\n", message.name.c_str());
    }
    std::unique_ptr<ProgressDisplay> makeProgressDisplay(TransferProgress&) override { return nullptr; }
};

std::optional<DeviceInfo> identify(int number) {
    std::unique_ptr<SerialPort> port = openSerialPort(number);
    return identifyDevice(*port, number, true, false);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void report(const char* what, double measured, double floor) {
    std::printf("%-9s %6.2f s measured, %6.2f s floor: %5.1f %% of the floor's throughput, host overhead %+.2f %%\n",
                what, measured, floor, 100.0 * floor / measured, 100.0 * (measured - floor) / floor);
}
}  // namespace

int main(int argc, char** argv) {
    const std::string devsim = argc > 1 ? argv[1] : (fs::path(argv[0]).parent_path() / "nimbrel-devsim").string();
    const fs::path work = fs::temp_directory_path() / ("nimbrel-bench-" + std::to_string(getpid()));
    fs::create_directories(work / "device");
    fs::create_directories(work / "pc");
    fs::create_directories(work / "second");
    {
        std::ofstream file(work / "device" / "BOOK.BRF", std::ios::binary);
        for (std::uint32_t i = 0; i < fileSize; ++i) file.put(static_cast<char>(i * 7));
    }
    for (int n = 0; n < jobFiles; ++n) {
        std::ofstream file(work / "device" / ("PART" + std::to_string(n) + ".BRF"), std::ios::binary);
        for (std::uint32_t i = 0; i < jobFileSize; ++i) file.put(static_cast<char>(i * 3 + n));
    }
    const std::string link = (work / "tty").string();
    const std::string secondLink = (work / "tty2").string();
    std::vector<std::string> args{
        devsim,         "--quiet",
        "--idle-limit", "300",
        "--device",     "link=" + link + ",model=CV8,pace,files=" + (work / "device").string(),
        "--device",     "link=" + secondLink + ",model=MN2,pace,files=" + (work / "second").string()};
    std::vector<char*> argvDevsim;
    for (std::string& arg : args) argvDevsim.push_back(arg.data());
    argvDevsim.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, devsim.c_str(), nullptr, nullptr, argvDevsim.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", devsim.c_str());
        return 1;
    }
    for (int i = 0; i < 200 && !fs::exists(secondLink); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    setPortPath(portNumber, link);
    setPortPath(secondPortNumber, secondLink);

    int status = 0;
    try {
        const std::optional<DeviceInfo> info = identify(portNumber);
        const std::optional<DeviceInfo> second = identify(secondPortNumber);
        if (!info || !second) throw std::runtime_error("the simulator did not answer");
        SLVFamilyDevice device(*info);
        std::printf("64 KiB each way through nimbrel-devsim, paced at 19200 baud (11 bits a byte)\n");

        auto start = Clock::now();
        device.sendFile("BOOK.BRF", (work / "pc" / "BOOK.BRF").string(), fileSize, {});
        report("download", secondsSince(start), floor19200::download(fileSize, 8));

        start = Clock::now();
        device.receiveFile((work / "pc" / "BOOK.BRF").string(), {}, 1, "COPY.BRF");
        report("upload", secondsSince(start), floor19200::upload(fileSize, 8));

        if (fs::file_size(work / "device" / "COPY.BRF") != fileSize) throw std::runtime_error("the copy differs");

        SilentUser user;
        DeviceCopyRequest request{*info, *second, {}, {}, false};
        for (int n = 0; n < jobFiles; ++n) request.files.push_back({"PART" + std::to_string(n) + ".BRF", jobFileSize});
        const auto progress = TransferProgress::create(user, TransferMode::DeviceToDevice, jobFiles,
                                                       std::uint64_t{jobFiles} * jobFileSize);
        start = Clock::now();
        if (!startDeviceCopyJob(request, progress, std::make_unique<SilentUser>(),
                                std::make_unique<DeviceCopySource>()))
            throw std::runtime_error("the job did not start");
        waitForBackgroundWork();
        const double measured = secondsSince(start);
        const double down = floor19200::download(jobFileSize, 9);
        const double up = floor19200::upload(jobFileSize, 9);
        const double oneAfterTheOther = jobFiles * (down + up) + jobRefreshWait;
        const double pipelined = jobFiles * down + up + jobRefreshWait;
        std::printf(
            "device to device, %d files of 16 KiB: %.2f s measured; one after the other %.2f s (%.0f %% of "
            "it), pipelined ideal %.2f s (%.1f %% of it)\n",
            jobFiles, measured, oneAfterTheOther, 100.0 * measured / oneAfterTheOther, pipelined,
            100.0 * measured / pipelined);
        for (int n = 0; n < jobFiles; ++n)
            if (fs::file_size(work / "second" / ("PART" + std::to_string(n) + ".BRF")) != jobFileSize)
                throw std::runtime_error("a job's copy differs");
    } catch (const NBException& error) {
        std::fprintf(stderr, "transfer failed: %s (%d)\n", error.description, error.code);
        status = 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        status = 1;
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    fs::remove_all(work);
    return status;
}
