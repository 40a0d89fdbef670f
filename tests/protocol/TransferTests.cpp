// Downloads and uploads on the wire: the pictures of 100-byte transfers,
// progress call rules, cancels on either side, and what happens to the
// local file when a transfer fails.
#include <filesystem>

#include "ProtocolTestSupport.h"
#include "protocol/LocalPathName.h"

namespace {
constexpr char downloadPrefix[] = "SLVFamilyDevice::sendFile--";
constexpr char uploadPrefix[] = "SLVFamilyDevice::receiveFile--";

struct ProgressCall {
    std::uint32_t total;
    std::uint32_t done;
    double percent;
    std::int32_t estimate;
    bool operator==(const ProgressCall&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ProgressCall& call) {
    return out << "{" << call.total << ", " << call.done << ", " << call.percent << ", "
               << call.estimate << "}";
}

class TransferTest : public ScriptedDeviceTest {
protected:
    ProgressCallback recorder() {
        return [this](const DeviceInfo* info, std::uint32_t total, std::uint32_t done, double percent,
                      std::int32_t estimate) {
            EXPECT_STREQ(info->serial, "MN2-000417") << "progress names another device";
            progress.push_back({total, done, percent, estimate});
        };
    }

    // GET_FILE and the name package, both confirmed.
    void scriptDownloadStart(const std::string& name) {
        scriptAcquire();
        script.pc({0x21}).device({0x06, 0x21});
        script.pc(lengthBytes(static_cast<std::uint32_t>(name.size()) + 1) + bytesOf(name) + Bytes{0x21});
        script.pc({0x16}).device({0x06, 0x16});
    }
    void scriptDevicePackage(const Bytes& payload) {
        script.device({0x03});
        script.pc({0x06, 0x03}).device(lengthBytes(static_cast<std::uint32_t>(payload.size())) +
                                       payload + Bytes{0x16});
        script.pc({0x06, 0x16});
    }

    void scriptDiskSpace(std::uint32_t freeBytes) {
        scriptAcquire();
        script.pc({0x25}).device(Bytes{0x06, 0x25, 0, 0, 0, 0} +
                                 Bytes{static_cast<std::uint8_t>(freeBytes >> 24),
                                       static_cast<std::uint8_t>(freeBytes >> 16),
                                       static_cast<std::uint8_t>(freeBytes >> 8),
                                       static_cast<std::uint8_t>(freeBytes)} +
                                 Bytes{0x16});
        script.pc({0x06, 0x16});
        scriptRelease();
    }
    void scriptUploadStart(const std::string& name, std::uint8_t flag) {
        scriptAcquire();
        script.pc({0x03}).device({0x06, 0x03});
        script.pc(lengthBytes(static_cast<std::uint32_t>(name.size()) + 4) + Bytes{0x1C} +
                  bytesOf(name) + Bytes{0x05, flag, 0x0F, 0x16})
            .device({0x06, 0x16});
    }
    void scriptPcPackage(const Bytes& payload) {
        script.pc({0x03}).device({0x06, 0x03});
        script.pc(lengthBytes(static_cast<std::uint32_t>(payload.size())) + payload + Bytes{0x16})
            .device({0x06, 0x16});
    }
    void scriptUploadEnd() {
        script.pc({0x04}).device({0x06, 0x04});
        scriptRelease();
    }

    ScratchDirectory scratch;
    std::vector<ProgressCall> progress;
};

std::string headerWrite(const std::string& name, std::uint8_t flag) {
    return "[" + hexOf(lengthBytes(static_cast<std::uint32_t>(name.size()) + 4) + Bytes{0x1C} +
                       bytesOf(name) + Bytes{0x05, flag, 0x0F, 0x16}) + "]";
}
}  // namespace

TEST_F(TransferTest, DownloadOf100BytesMatchesTheWirePictureAndWritesTheFile) {
    const Bytes content = countingBytes(100);
    scriptDownloadStart("A.B");
    scriptDevicePackage(Bytes(content.begin(), content.begin() + 80));
    scriptDevicePackage(Bytes(content.begin() + 80, content.end()));
    script.device({0x04});
    scriptRelease();

    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("a.b");
    device.sendFile("A.B", local, 100, recorder());

    EXPECT_EQ(script.writes(),
              (std::vector<std::string>{"0B", "00", "21", "[04 00 41 2E 42 21]", "16", "06", "03", "06",
                                        "16", "06", "03", "06", "16", "0B", "00"}));
    expectExchangeComplete();
    expectReleased(device);
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(content));
    // At the start and after the first package; not after the second (two packages left).
    EXPECT_EQ(progress, (std::vector<ProgressCall>{{100, 0, 0.0, 240}, {100, 80, 80.0, 160}}));
}

TEST_F(TransferTest, DownloadReportsProgressEveryFiftyPackagesLeft) {
    scriptDownloadStart("BIG");
    for (int i = 0; i < 60; ++i) scriptDevicePackage(Bytes(80, static_cast<std::uint8_t>(i)));
    script.device({0x04});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    device.sendFile("BIG", scratch.path("big"), 4800, recorder());
    // 62 packages left at the start; 61 after the first, 50 after the twelfth.
    EXPECT_EQ(progress, (std::vector<ProgressCall>{
                            {4800, 0, 0.0, 4960}, {4800, 80, 1.0, 4880}, {4800, 960, 20.0, 4000}}));
    expectExchangeComplete();
}

TEST_F(TransferTest, DownloadOfAnEmptyFileLeavesAnEmptyLocalFile) {
    scriptDownloadStart("EMPTY");
    script.device({0x04});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("empty");
    device.sendFile("EMPTY", local, 0, recorder());
    EXPECT_TRUE(std::filesystem::exists(local));
    EXPECT_EQ(std::filesystem::file_size(local), 0u);
    EXPECT_EQ(progress, (std::vector<ProgressCall>{{0, 0, 0.0, 160}}));
    expectExchangeComplete();
}

TEST_F(TransferTest, DownloadPercentageIsCappedAtHundredWhenMoreArrivesThanExpected) {
    scriptDownloadStart("X");
    scriptDevicePackage(Bytes(10, 1));
    script.device({0x04});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    device.sendFile("X", scratch.path("x"), 0, recorder());
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[1].percent, 100.0);
}

TEST_F(TransferTest, DownloadCancelledOnThePcRefusesThePackageAndDeletesTheFile) {
    scriptDownloadStart("A");
    script.device({0x03});
    script.pc({0x15, 0x17});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("cancelled");
    const auto error = errorOf([&] {
        device.sendFile("A", local, 100,
                        [&](const DeviceInfo*, std::uint32_t, std::uint32_t, double, std::int32_t) {
                            device.cancelTransfer();
                        });
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 30);
    EXPECT_EQ(std::string(error->description),
              std::string(downloadPrefix) + "Transmission canceled by user (PC side).");
    EXPECT_FALSE(std::filesystem::exists(local)) << "the partial file was kept";
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(TransferTest, DownloadCancelledOnTheDeviceIsConfirmedAndDeletesTheFile) {
    scriptDownloadStart("A");
    scriptDevicePackage(Bytes(80, 7));
    script.device({0x43});
    script.pc({0x06, 0x43});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("device-cancelled");
    const auto error = errorOf([&] { device.sendFile("A", local, 1000, nullptr); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 30);
    EXPECT_EQ(std::string(error->description),
              std::string(downloadPrefix) + "Transmission canceled by user (device side).");
    EXPECT_FALSE(std::filesystem::exists(local));
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(TransferTest, DownloadCancelBeforeAnyTransferDoesNotCarryOver) {
    scriptDownloadStart("A");
    scriptDevicePackage(Bytes(3, 7));
    script.device({0x04});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    device.cancelTransfer();
    device.sendFile("A", scratch.path("a"), 3, nullptr);
    expectExchangeComplete();
}

TEST_F(TransferTest, DownloadRefusesPackagesLongerThan80Bytes) {
    scriptDownloadStart("A");
    scriptDevicePackage(Bytes(80, 1));
    script.device({0x03});
    script.pc({0x06, 0x03}).device(lengthBytes(81));
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("long");
    const auto error = errorOf([&] { device.sendFile("A", local, 200, nullptr); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 15);
    EXPECT_EQ(std::string(error->description),
              std::string(downloadPrefix) + "Requested package size exceeds maximum size.");
    EXPECT_FALSE(std::filesystem::exists(local));
    expectReleased(device);
}

TEST_F(TransferTest, DownloadOfAMissingFileRaisesFileNotFoundOnDevice) {
    scriptAcquire();
    script.pc({0x21}).device({0x06, 0x21});
    script.pc(lengthBytes(5) + bytesOf("GONE") + Bytes{0x21});
    script.pc({0x16}).device({0x15, 24});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("gone");
    const auto error = errorOf([&] { device.sendFile("GONE", local, 10, nullptr); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 19);
    EXPECT_EQ(std::string(error->description), std::string(downloadPrefix) + "File not found on device.");
    EXPECT_FALSE(std::filesystem::exists(local));
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(TransferTest, DownloadWithAnUnexpectedMarkerNamesWhatWasMissing) {
    scriptDownloadStart("A");
    script.device({0x20});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] { device.sendFile("A", scratch.path("a"), 10, nullptr); });
    ASSERT_TRUE(error);
    EXPECT_EQ(std::string(error->description),
              std::string(downloadPrefix) + "Missing RECEIVE_DATA_BLOCK or CANCEL_UPLOAD.");
}

TEST_F(TransferTest, DownloadRefusesBadNamesBeforeTouchingPortOrFile) {
    SLVFamilyDevice device(minnowRecord());
    const std::string local = scratch.path("never");
    const struct {
        std::string deviceName;
        std::string localPath;
        std::int32_t code;
        std::string description;
    } cases[] = {
        {"", local, 21, std::string(downloadPrefix) + "SourceFileName ist empty."},
        {"A", "", 20, std::string(downloadPrefix) + "targetFileName ist empty."},
        {std::string(66, 'N'), local, 21,
         std::string(downloadPrefix) + "File name is longer than 65 bytes: " + std::string(66, 'N')},
    };
    for (const auto& testCase : cases) {
        const auto error = errorOf([&] { device.sendFile(testCase.deviceName, testCase.localPath, 1, nullptr); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, testCase.code);
        EXPECT_EQ(std::string(error->description), testCase.description);
    }
    EXPECT_TRUE(script.log().empty()) << "the port was touched";
    EXPECT_FALSE(std::filesystem::exists(local));
}

TEST_F(TransferTest, UploadOf100BytesMatchesTheWirePicture) {
    const Bytes content = countingBytes(100, 0x30);
    const std::string local = scratch.path("report.txt");
    ScratchDirectory::write(local, content);
    scriptDiskSpace(100);
    scriptUploadStart("REPORT.TXT", 0x00);
    scriptPcPackage(Bytes(content.begin(), content.begin() + 78));
    scriptPcPackage(Bytes(content.begin() + 78, content.end()));
    scriptUploadEnd();

    SLVFamilyDevice device(minnowRecord());
    device.receiveFile(local, recorder(), 0x00, "REPORT.TXT");

    EXPECT_EQ(script.log(),
              (std::vector<std::string>{
                  "open", "0B", "00", "25", "06", "16", "0B", "00", "close",
                  "open", "0B", "00", "purge", "03", headerWrite("REPORT.TXT", 0x00),
                  "03", "[4E 00 " + hexOf(Bytes(content.begin(), content.begin() + 78)) + " 16]",
                  "03", "[16 00 " + hexOf(Bytes(content.begin() + 78, content.end())) + " 16]",
                  "04", "0B", "00", "close"}));
    expectExchangeComplete();
    expectReleased(device);
    EXPECT_EQ(pauses.waits(), (std::vector<std::uint32_t>{500, 100}));
    EXPECT_EQ(progress, (std::vector<ProgressCall>{{100, 0, 0.0, 240}, {100, 78, 78.0, 160}}));
}

TEST_F(TransferTest, UploadNamesTheDeviceFileAfterTheLocalFile) {
    const std::string local = scratch.path("name.txt");
    ScratchDirectory::write(local, {});
    scriptDiskSpace(0);
    scriptUploadStart("name.txt", 0x01);
    scriptUploadEnd();
    SLVFamilyDevice device(minnowRecord());
    device.receiveFile(local, nullptr, 0x01);
    expectExchangeComplete();
}

TEST_F(TransferTest, UploadCutsALongLocalNameTo64Characters) {
    const std::string longName(70, 'L');
    const std::string local = scratch.path(longName);
    ScratchDirectory::write(local, {9});
    scriptDiskSpace(1);
    scriptUploadStart(std::string(64, 'L'), 0x00);
    scriptPcPackage({9});
    scriptUploadEnd();
    SLVFamilyDevice device(minnowRecord());
    device.receiveFile(local, nullptr, 0x00);
    expectExchangeComplete();
}

TEST_F(TransferTest, UploadTargetNameMayHave64CharactersAfterLeadingBlanks) {
    const std::string local = scratch.path("t");
    ScratchDirectory::write(local, {});
    scriptDiskSpace(0);
    scriptUploadStart(std::string(64, 'T'), 0x00);
    scriptUploadEnd();
    SLVFamilyDevice device(minnowRecord());
    device.receiveFile(local, nullptr, 0x00, "  \t" + std::string(64, 'T'));
    expectExchangeComplete();

    const auto error = errorOf([&] { device.receiveFile(local, nullptr, 0x00, std::string(65, 'T')); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 20);
    EXPECT_EQ(std::string(error->description), std::string(uploadPrefix) + "TargetFilename too long.");
}

TEST_F(TransferTest, UploadRefusesPathsWithoutAFileName) {
    SLVFamilyDevice device(minnowRecord());
    const auto empty = errorOf([&] { device.receiveFile("", nullptr, 0); });
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->code, 21);
    EXPECT_EQ(std::string(empty->description), std::string(uploadPrefix) + "SourceFileName ist empty.");
    for (const std::string& path : {std::string("\"\""), std::string("\""),
                                   scratch.path("dir") + localPathSeparator}) {
        const auto error = errorOf([&] { device.receiveFile(path, nullptr, 0); });
        ASSERT_TRUE(error) << path;
        EXPECT_EQ(error->code, 20) << path;
    }
    EXPECT_TRUE(script.log().empty());
}

TEST_F(TransferTest, UploadNeedsFreeSpaceOfAtLeastTheFileSize) {
    const std::string local = scratch.path("ten");
    ScratchDirectory::write(local, Bytes(10, 1));
    scriptDiskSpace(9);
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] { device.receiveFile(local, nullptr, 0); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 25);
    EXPECT_EQ(std::string(error->description),
              std::string(uploadPrefix) + "Not enough disk space for file " + local + ".");
    expectExchangeComplete();
    expectReleased(device);
    EXPECT_EQ(pauses.waits(), (std::vector<std::uint32_t>{500}));
}

TEST_F(TransferTest, UploadCancelledDuringTheTransferSendsCancelAndKeepsTheLocalFile) {
    const Bytes content = countingBytes(200);
    const std::string local = scratch.path("keep");
    ScratchDirectory::write(local, content);
    scriptDiskSpace(1000);
    scriptUploadStart("keep", 0x00);
    scriptPcPackage(Bytes(content.begin(), content.begin() + 78));
    script.pc({0x43}).device({0x06, 0x43});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] {
        device.receiveFile(local,
                           [&](const DeviceInfo*, std::uint32_t, std::uint32_t done, double, std::int32_t) {
                               if (done > 0) device.cancelTransfer();
                           },
                           0x00);
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 30);
    EXPECT_EQ(std::string(error->description),
              std::string(uploadPrefix) + "Transmission canceled by user (PC side).");
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(content)) << "the user's file was changed";
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(TransferTest, UploadCancelledBeforeTheFirstByteEndsQuietly) {
    const std::string local = scratch.path("quiet");
    ScratchDirectory::write(local, Bytes(5, 1));
    scriptDiskSpace(1000);
    scriptAcquire();
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    device.receiveFile(local,
                       [&](const DeviceInfo*, std::uint32_t, std::uint32_t, double, std::int32_t) {
                           device.cancelTransfer();
                       },
                       0x00);
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(TransferTest, UploadRefusedBecauseTheFileExistsRaisesCode18WithThePrefixAlone) {
    const std::string local = scratch.path("exists");
    ScratchDirectory::write(local, Bytes(5, 1));
    scriptDiskSpace(1000);
    scriptAcquire();
    script.pc({0x03}).device({0x06, 0x03});
    script.pc(lengthBytes(10) + Bytes{0x1C} + bytesOf("exists") + Bytes{0x05, 0x00, 0x0F, 0x16})
        .device({0x15, 19});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] { device.receiveFile(local, nullptr, 0x00); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 18);
    EXPECT_STREQ(error->description, uploadPrefix);
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(Bytes(5, 1)));
    expectExchangeComplete();
    expectReleased(device);
}

TEST(LastPathComponent, TakesTheTextAfterTheLastSeparatorWithoutEnclosingQuotes) {
    EXPECT_EQ(lastPathComponent("C:\\dir\\name.txt", '\\'), "name.txt");
    EXPECT_EQ(lastPathComponent("\"C:\\dir\\name.txt\"", '\\'), "name.txt");
    EXPECT_EQ(lastPathComponent("name.txt", '\\'), "name.txt");
    EXPECT_EQ(lastPathComponent("/home/u/name.txt", '/'), "name.txt");
    EXPECT_EQ(lastPathComponent("/name.txt", '/'), "name.txt");
    EXPECT_EQ(lastPathComponent("C:\\dir\\", '\\'), "");
    EXPECT_EQ(lastPathComponent("", '\\'), std::nullopt);
    EXPECT_EQ(lastPathComponent("\"", '\\'), std::nullopt);
    EXPECT_EQ(lastPathComponent("\"\"", '\\'), std::nullopt);
}
