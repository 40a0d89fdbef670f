// The protocol over a real serial line, with its real timing: this
// platform's own port (WinSerialPort on a COM port that Wine maps to a
// pseudo-terminal, or the termios port) to nimbrel-devsim on the far end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "ProtocolTestSupport.h"
#include "ToolProcess.h"
#include "protocol/Identification.h"

#ifndef _WIN32
#include "link/PosixSerialPort.h"
#endif

namespace {

// COM11 is this program's own; other programs stay off it.
constexpr int portNumber = 11;

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        link_ = std::string(NIMBREL_PORT_DIR) + "/COM" + std::to_string(portNumber);
#else
        link_ = dir_.file("ttyDevice");
        setPortPath(portNumber, link_);
#endif
        runNative({"/bin/mkdir", "-p", dir_.file("files")});
        writeText(dir_.file("files/LETTER.TXT"), letter_);
    }

    void startDevice(const std::string& extra = "") {
        devsim_ = std::make_unique<ToolProcess>(devsimLaunch(
            link_, "model=CV4,serial=CV4-0042,version=3,files=" + dir_.file("files") + extra, dir_.file("devsim.pid")));
    }

    DeviceInfo identify() {
        std::unique_ptr<SerialPort> port = openSerialPort(portNumber);
        std::optional<DeviceInfo> found = identifyDevice(*port, portNumber, true, false);
        if (!found) throw std::runtime_error("no device identified");
        return *found;
    }

    TempDir dir_;
    std::string link_;
    std::string letter_ = std::string("Dear Anna,\n") + std::string(230, '.') + "\nTom\n";
    std::unique_ptr<ToolProcess> devsim_;
};

TEST_F(EndToEndTest, IdentifyListDownloadUploadRenameDeleteAndAMissingFileOverARealLine) {
    startDevice();
    const DeviceInfo info = identify();
    EXPECT_EQ(std::to_string(info.typeCode) + " " + std::to_string(info.protocolVersion) + " " + info.serial + " " +
                  std::to_string(info.portNumber),
              "116 3 CV4-0042 11");

    SLVFamilyDevice device(info);
    std::vector<FileListEntry> files = device.sendFileList(200);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_STREQ(files[0].name, "LETTER.TXT");
    EXPECT_EQ(files[0].size, letter_.size());

    const std::string local = dir_.file("copy.txt");
    device.sendFile("LETTER.TXT", hostPath(local), files[0].size, {});
    EXPECT_EQ(readText(local), letter_);

    writeText(dir_.file("REPORT.TXT"), std::string(500, 'r'));
    device.receiveFile(hostPath(dir_.file("REPORT.TXT")), {}, 0);
    EXPECT_EQ(readText(dir_.file("files/REPORT.TXT")), std::string(500, 'r'));

    device.renameFile("REPORT.TXT", "REPORT2.TXT");
    EXPECT_TRUE(pathExists(dir_.file("files/REPORT2.TXT")));
    EXPECT_FALSE(pathExists(dir_.file("files/REPORT.TXT")));

    device.deleteFile("REPORT2.TXT");
    EXPECT_FALSE(pathExists(dir_.file("files/REPORT2.TXT")));
    EXPECT_EQ(device.sendFileList(200).size(), 1u);

    const std::string missing = dir_.file("missing.txt");
    const auto error = errorOf([&] { device.sendFile("MISSING.TXT", hostPath(missing), 10, {}); });
    EXPECT_EQ(error ? error->code : 0, 19) << "the download of a missing file";
    EXPECT_FALSE(pathExists(missing));
    EXPECT_FALSE(device.isBusy());
}

// The simulator killed once the first package is through, as a device
// unplugged in the middle of a transfer: a port error (reading or writing,
// whichever comes first) naming the port within the line's time-outs, no
// partial file, the user's file untouched.
TEST_F(EndToEndTest, ADeviceUnpluggedDuringADownloadOrAnUploadEndsItWithAPortError) {
    const std::string book(64 * 1024, 'b'), local = dir_.file("copy.brf"), source = dir_.file("BOOK.BRF");
    writeText(dir_.file("files/BOOK.BRF"), book);
    writeText(source, book);
    for (const bool upload : {false, true}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        startDevice(",pace");
        SLVFamilyDevice device(identify());
        const ProgressCallback unplug = [&](const DeviceInfo*, std::uint32_t, std::uint32_t done, double,
                                            std::int32_t) {
            if (done > 0) devsim_->kill();
        };
        const auto started = std::chrono::steady_clock::now();
        const auto error = errorOf([&] {
            if (upload)
                device.receiveFile(hostPath(source), unplug, 1);
            else
                device.sendFile("BOOK.BRF", hostPath(local), static_cast<std::uint32_t>(book.size()), unplug);
        });
        ASSERT_TRUE(error) << "the transfer went through without its device";
        EXPECT_TRUE(error->code == 12 || error->code == 11) << error->code << " " << error->description;
#ifdef _WIN32
        EXPECT_NE(std::string(error->description).find("COM11"), std::string::npos) << error->description;
#else
        EXPECT_NE(std::string(error->description).find(link_), std::string::npos) << error->description;
#endif
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("%s: the unplugged device was reported after %.2f s\n", upload ? "upload" : "download", seconds);
        EXPECT_FALSE(pathExists(local)) << "a partial download was kept";
        EXPECT_TRUE(readText(source) == book) << "the user's file was changed";
        EXPECT_TRUE(!device.isBusy() && device.currentPortMode() == IDLE);
    }
}

}  // namespace
