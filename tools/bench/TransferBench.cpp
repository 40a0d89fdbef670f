// Moves a 64 KiB file each way between this PC side and nimbrel-devsim on a
// pseudo-terminal, paced at the real line rate, then copies four 16 KiB
// files from that device to a second one, and prints for each path its
// floor (the bytes on the line and the protocol's set waits), the time
// measured and the overhead beyond the floor, with the share of it that the
// pseudo-terminal itself takes: every confirmation is a round trip through
// it, whose time is measured beside each path.
// Usage: nimbrel-transfer-bench [nimbrel-devsim [download|upload|job...]]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
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

// Waits for one byte as the port and the simulator do: a non-blocking
// read, and poll when nothing is there.
bool readOne(int fd, std::uint8_t& byte) {
    for (;;) {
        if (::read(fd, &byte, 1) == 1) return true;
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 1000) <= 0 || (entry.revents & POLLIN) == 0) return false;
    }
}

// Mean time of a byte to a peer process that answers at once and of the
// answer back, over a pseudo-terminal of its own.
double ptyRoundTrip() {
    constexpr int trips = 500;
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 0;
    const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    for (const int fd : {master, slave}) {
        termios settings{};
        tcgetattr(fd, &settings);
        cfmakeraw(&settings);
        tcsetattr(fd, TCSANOW, &settings);
    }
    const pid_t peer = fork();
    if (peer == 0) {
        for (std::uint8_t byte = 0; readOne(master, byte) && ::write(master, &byte, 1) == 1;) {
        }
        _exit(0);
    }
    const auto start = Clock::now();
    std::uint8_t byte = 0;
    int done = 0;
    while (done < trips && ::write(slave, &byte, 1) == 1 && readOne(slave, byte)) ++done;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count() / std::max(done, 1);
    kill(peer, SIGKILL);
    waitpid(peer, nullptr, 0);
    ::close(slave);
    ::close(master);
    return seconds;
}

// Runs one path and prints its figures; `roundTrips` counts its confirmations.
template <typename Path>
void measure(const char* what, double floor, double roundTrips, Path&& path) {
    const double before = ptyRoundTrip();
    const auto start = Clock::now();
    path();
    const double measured = std::chrono::duration<double>(Clock::now() - start).count();
    const double roundTrip = (before + ptyRoundTrip()) / 2;
    std::printf("%-30s %8.2f s %8.2f s %+9.2f %% %+9.2f %% (%.0f x %.0f us)\n", what, floor, measured,
                100.0 * (measured - floor) / floor, 100.0 * roundTrips * roundTrip / floor, roundTrips,
                roundTrip * 1e6);
    std::fflush(stdout);
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string oneMinute;
    file >> oneMinute;
    return oneMinute.empty() ? "?" : oneMinute;
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

    std::set<std::string> paths(argv + std::min(argc, 2), argv + argc);
    const auto runs = [&paths](const char* path) { return paths.empty() || paths.count(path) != 0; };
    int status = 0;
    try {
        const std::optional<DeviceInfo> info = identify(portNumber);
        const std::optional<DeviceInfo> second = identify(secondPortNumber);
        if (!info || !second) throw std::runtime_error("the simulator did not answer");
        SLVFamilyDevice device(*info);
        std::printf("At 19200 baud (11 bits a byte) against nimbrel-devsim, paced; load average %s\n",
                    loadAverage().c_str());
        std::printf("%-30s %10s %10s %11s %11s\n", "path", "floor", "measured", "overhead", "pty's share");

        if (runs("download") || runs("upload")) {
            const auto download = [&] {
                device.sendFile("BOOK.BRF", (work / "pc" / "BOOK.BRF").string(), fileSize, {});
            };
            if (runs("download"))
                measure("download, 64 KiB", floor19200::download(fileSize, 8), floor19200::downloadRoundTrips(fileSize),
                        download);
            else
                download();
        }
        if (runs("upload")) {
            measure("upload, 64 KiB", floor19200::upload(fileSize, 8), floor19200::uploadRoundTrips(fileSize),
                    [&] { device.receiveFile((work / "pc" / "BOOK.BRF").string(), {}, 1, "COPY.BRF"); });
            if (fs::file_size(work / "device" / "COPY.BRF") != fileSize) throw std::runtime_error("the copy differs");
        }

        if (runs("job")) {
            SilentUser user;
            DeviceCopyRequest request{*info, *second, {}, {}, false};
            for (int n = 0; n < jobFiles; ++n)
                request.files.push_back({"PART" + std::to_string(n) + ".BRF", jobFileSize});
            const auto progress = TransferProgress::create(user, TransferMode::DeviceToDevice, jobFiles,
                                                           std::uint64_t{jobFiles} * jobFileSize);
            // The sends take longer than the receives: the first receive and
            // every send are on the job's critical path.
            const std::vector<double> receives(jobFiles, floor19200::download(jobFileSize, 9));
            const std::vector<double> sends(jobFiles, floor19200::upload(jobFileSize, 9));
            const double roundTrips =
                floor19200::downloadRoundTrips(jobFileSize) + jobFiles * floor19200::uploadRoundTrips(jobFileSize);
            measure("device to device, 4 x 16 KiB", floor19200::pipelined(receives, sends) + jobRefreshWait, roundTrips,
                    [&] {
                        if (!startDeviceCopyJob(request, progress, std::make_unique<SilentUser>(),
                                                std::make_unique<DeviceCopySource>()))
                            throw std::runtime_error("the job did not start");
                        waitForBackgroundWork();
                    });
            for (int n = 0; n < jobFiles; ++n)
                if (fs::file_size(work / "second" / ("PART" + std::to_string(n) + ".BRF")) != jobFileSize)
                    throw std::runtime_error("a job's copy differs");
        }
        std::printf("load average at the end %s\n", loadAverage().c_str());
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
