#pragma once
// The devices as a folder: a real FUSE mount against nimbrel-devsim on
// pseudo-terminals, used through the programs people use (ls, cat, cp, mv,
// rm, df). Mounting needs root and /dev/fuse: a test that cannot mount fails.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "CliRunner.h"
#include "FuseMount.h"
#include "TestFiles.h"
#include "ToolProcess.h"
#include "devices/FileCatalogueStore.h"
#include "link/Pause.h"
#include "link/PortOpener.h"
#include "link/PosixSerialPort.h"

namespace fs = std::filesystem;

inline std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

inline bool isMounted(const std::string& folder) {
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);)
        if (line.find(" " + folder + " ") != std::string::npos) return true;
    return false;
}

inline std::string errorText(int number) {
    return std::strerror(number);
}

class MountTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);  // the device's clock and the listing agree on UTC
        ::tzset();
        for (const fs::path& folder : {corviaFiles(), minnowFiles(), pc(), fs::path(mountPoint())})
            fs::create_directories(folder);
        writeText(corviaFiles() / "LETTER.TXT", "Dear Anna,\nthe meeting is on Tuesday.\n");
        writeText(corviaFiles() / "BOOK.BRF", pattern(16 * 1024));
        writeText(corviaFiles() / "KORVEL.NSF", "system");
        writeText(minnowFiles() / "SHOPPING.TXT", "bread, milk\n");
    }

    void TearDown() override {
        if (mount_) {
            mount_->requestUnmount();
            server_.join();
            mount_.reset();
        }
        sh("fusermount3 -u -z " + mountPoint() + " 2>/dev/null");
    }

    // The simulator's transaction lines go to devsim.log.
    void startDevices(const std::string& corviaExtra = "", const std::string& minnowExtra = "") {
        devices_ = std::make_unique<ToolProcess>(ToolLaunch{
            "/bin/sh",
            {"-c", "exec \"$0\" \"$@\" >" + dir_.file("devsim.log"), nativeTool("nimbrel-devsim"), "--idle-limit",
             "120", "--device",
             "link=" + corviaLink() + ",model=CV8,serial=CV8-1001,files=" + corviaFiles().string() + corviaExtra,
             "--device",
             "link=" + minnowLink() + ",model=MN2,serial=MN2-2002,free=100000,files=" + minnowFiles().string() +
                 minnowExtra},
            minnowLink(),
            {}});
    }

    // Serves the devices on `links` here: the root holds their folders, or
    // with `deviceAtRoot` the first device's files.
    void mount(std::vector<std::string> links = {}, bool deviceAtRoot = false) {
        if (links.empty()) links = {corviaLink(), minnowLink()};
        std::vector<int> ports;
        for (std::size_t i = 0; i < links.size(); ++i) {
            setPortPath(static_cast<int>(i + 1), links[i]);
            ports.push_back(static_cast<int>(i + 1));
        }
        DeviceCatalogue catalogue(std::make_unique<FileCatalogueStore>(dir_.file("devices")));
        MountRequest request{mountPoint(), listDevices(probePorts(ports, true, false), catalogue), deviceAtRoot, {}};
        ASSERT_EQ(request.devices.size(), links.size()) << "the simulated devices did not answer";
        request.settings.listingLifetime = std::chrono::milliseconds(0);
        try {
            mount_ = std::make_unique<FuseMount>(request);
        } catch (const std::exception& error) {
            FAIL() << "cannot mount here (it needs root, /dev/fuse and fusermount3): " << error.what();
        }
        server_ = std::thread([this] { mount_->serve(); });
    }

    CliResult sh(const std::string& command) {
        CliRun run;
        run.args = {"-c", command};
        return runCli("/bin/sh", run);
    }

    CliResult nimbrel(std::vector<std::string> args,
                      std::function<bool(const std::string&, const std::string&)> interruptWhen = {}) {
        CliRun run;
        run.args = std::move(args);
        run.environment = {"XDG_CONFIG_HOME=" + dir_.file("config"),
                           "NIMBREL_PORTS=" + corviaLink() + ":" + minnowLink()};
        run.interruptWhen = std::move(interruptWhen);
        return runCli(nativeTool("nimbrel"), run);
    }

    std::string corviaLink() const { return dir_.file("ttyCorvia"); }
    std::string minnowLink() const { return dir_.file("ttyMinnow"); }
    fs::path corviaFiles() const { return dir_.file("corvia"); }
    fs::path minnowFiles() const { return dir_.file("minnow"); }
    fs::path pc() const { return dir_.file("pc"); }
    std::string mountPoint() const { return dir_.file("mnt"); }
    std::string corvia() const { return "'" + mountPoint() + "/Corvia 80'"; }
    std::string minnow() const { return mountPoint() + "/Minnow"; }

    TempDir dir_;
    ScopedPause noWaits_{[](std::uint32_t) {}};
    // Set for a silent device, which is then given up on within about a second a read.
    std::atomic<bool> shortReads_{false};
    ScopedPortOpener opener_{[this](int number) {
        return std::make_unique<PosixSerialPort>(number, shortReads_ ? ReadTiming{50, 500} : ReadTiming{});
    }};
    std::unique_ptr<ToolProcess> devices_;
    std::unique_ptr<FuseMount> mount_;
    std::thread server_;
};
