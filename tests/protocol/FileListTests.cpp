// The file list and the disk space query on the wire, and the parsing of
// the device's file records.
#include "ProtocolTestSupport.h"

namespace {
constexpr char listPrefix[] = "SLVFamilyDevice::sendFileList--";

Bytes fileRecord(const std::string& name, Bytes yearBytes, std::uint8_t month, std::uint8_t day,
                 std::uint8_t hour, std::uint8_t minute, std::uint8_t second, Bytes sizeBytes) {
    Bytes record{0x1C, static_cast<std::uint8_t>(name.size())};
    record = record + bytesOf(name) + Bytes{0xEE} + yearBytes +
             Bytes{month, day, hour, minute, second} + sizeBytes;
    return record;
}

Bytes simpleRecord(const std::string& name) {
    return fileRecord(name, {0, 24}, 1, 2, 3, 4, 5, {0, 0, 0, 9});
}

class FileListTest : public ScriptedDeviceTest {
protected:
    void scriptListCommand() {
        scriptAcquire();
        script.pc({0x20}).device({0x06, 0x20});
    }
    // One data package from the device, as it is answered when all is well.
    void scriptPackage(const Bytes& payload) {
        script.device({0x03});
        script.pc({0x06, 0x03}).device(lengthBytes(static_cast<std::uint32_t>(payload.size())) +
                                       payload + Bytes{0x16});
        script.pc({0x06, 0x16});
    }
    void scriptEnd() {
        script.device({0x04});
        scriptRelease();
    }
    NBException listError(std::uint32_t maximum = 200) {
        SLVFamilyDevice device(minnowRecord());
        const auto error = errorOf([&] { device.sendFileList(maximum); });
        EXPECT_TRUE(error) << "the list was accepted";
        expectReleased(device);
        return error.value_or(ProtocolExceptions::ErrorInProtocol("none"));
    }
};
}  // namespace

TEST_F(FileListTest, TwoPackagesWithARecordSplitBetweenThemMatchTheWirePicture) {
    const Bytes first = fileRecord("NOTES", {0x00, 0x05}, 6, 7, 8, 9, 10, {0x00, 0x00, 0x01, 0x00});
    const Bytes second = fileRecord("OLD.TXT", {0x00, 99}, 12, 31, 23, 59, 58, {0x01, 0x02, 0x03, 0x04});
    const Bytes joined = first + second;
    scriptListCommand();
    scriptPackage(Bytes(joined.begin(), joined.begin() + 25));
    scriptPackage(Bytes(joined.begin() + 25, joined.end()));
    scriptEnd();

    SLVFamilyDevice device(minnowRecord());
    const std::vector<FileListEntry> entries = device.sendFileList(200);

    EXPECT_EQ(script.writes(), (std::vector<std::string>{"0B", "00", "20", "06", "03", "06", "16",
                                                         "06", "03", "06", "16", "0B", "00"}));
    expectExchangeComplete();
    expectReleased(device);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(entries[0].name, "NOTES");
    EXPECT_EQ(entries[0].year, 5);
    EXPECT_EQ(entries[0].month, 6);
    EXPECT_EQ(entries[0].day, 7);
    EXPECT_EQ(entries[0].hour, 8);
    EXPECT_EQ(entries[0].minute, 9);
    EXPECT_EQ(entries[0].second, 10);
    EXPECT_EQ(entries[0].size, 256u);
    EXPECT_STREQ(entries[1].name, "OLD.TXT");
    EXPECT_EQ(entries[1].year, 99);
    EXPECT_EQ(entries[1].size, 0x01020304u);
}

TEST_F(FileListTest, YearIsASignedBigEndianValue) {
    scriptListCommand();
    scriptPackage(fileRecord("A", {0xFF, 0xFE}, 1, 1, 0, 0, 0, {0, 0, 0, 0}) +
                  fileRecord("B", {0x01, 0x00}, 1, 1, 0, 0, 0, {0, 0, 0, 0}));
    scriptEnd();
    SLVFamilyDevice device(minnowRecord());
    const auto entries = device.sendFileList(200);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].year, -2);
    EXPECT_EQ(entries[1].year, 256);
}

TEST_F(FileListTest, EmptyListYieldsNoEntries) {
    scriptListCommand();
    scriptEnd();
    SLVFamilyDevice device(minnowRecord());
    EXPECT_TRUE(device.sendFileList(200).empty());
    expectExchangeComplete();
}

TEST_F(FileListTest, MoreRecordsThanTheMaximumYieldExactlyTheMaximum) {
    scriptListCommand();
    scriptPackage(simpleRecord("ONE") + simpleRecord("TWO") + simpleRecord("THREE") + Bytes{0x1C});
    scriptEnd();
    SLVFamilyDevice device(minnowRecord());
    const auto entries = device.sendFileList(2);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(entries[1].name, "TWO");
    expectReleased(device);
}

TEST_F(FileListTest, ShortPackageRaisesThePageFrameError) {
    scriptListCommand();
    script.device({0x03});
    script.pc({0x06, 0x03}).device(lengthBytes(10) + Bytes{1, 2, 3, 4, 5, 6});
    scriptRelease();
    const NBException error = listError();
    EXPECT_EQ(error.code, 15);
    EXPECT_EQ(std::string(error.description),
              std::string(listPrefix) + "Wrong number of data bytes(page frame error).");
}

TEST_F(FileListTest, PackageWithoutClosingSyncRaisesMissingSync) {
    scriptListCommand();
    script.device({0x03});
    script.pc({0x06, 0x03}).device(lengthBytes(2) + Bytes{1, 2, 0x04});
    scriptRelease();
    EXPECT_EQ(std::string(listError().description), std::string(listPrefix) + "Missing SYNC.");
}

TEST_F(FileListTest, UnexpectedMarkerRaisesMissingReceiveDataBlock) {
    scriptListCommand();
    script.device({0x15, 0x11});
    scriptRelease();
    EXPECT_EQ(std::string(listError().description),
              std::string(listPrefix) + "Missing RECEIVE_DATA_BLOCK.");
}

TEST_F(FileListTest, PackageOf81BytesIsRefusedAndEightyAccepted) {
    scriptListCommand();
    scriptPackage(simpleRecord(std::string(66, 'N')));  // 80 bytes
    script.device({0x03});
    script.pc({0x06, 0x03}).device(lengthBytes(81));
    scriptRelease();
    const NBException error = listError();
    EXPECT_EQ(error.code, 15);
    EXPECT_EQ(std::string(error.description),
              std::string(listPrefix) + "Requested package size exceeds maximum size.");
}

TEST_F(FileListTest, ListDataBeyond32000BytesIsRefused) {
    scriptListCommand();
    for (int i = 0; i < 400; ++i) scriptPackage(Bytes(80, 0x1C));  // exactly 32,000 bytes
    scriptPackage(Bytes{0x1C});
    scriptRelease();
    const NBException error = listError();
    EXPECT_EQ(error.code, 15);
    EXPECT_EQ(std::string(error.description),
              std::string(listPrefix) + "File list exceeds maximum size of 32000 bytes.");
}

TEST_F(FileListTest, MalformedRecordsRaiseParseErrors) {
    const struct {
        Bytes list;
        const char* detail;
    } cases[] = {
        {Bytes{0x1D, 0x01}, "Missing BEGIN_OF_FILE."},
        {simpleRecord("CUT.TXT") + Bytes{0x1C, 0x05, 'A', 'B'}, "List ends inside a file record."},
        {Bytes{0x1C}, "List ends inside a file record."},
        {simpleRecord(std::string(68, 'L')), "File name too long."},
    };
    for (const auto& testCase : cases) {
        DeviceScript fresh;
        ScopedPortOpener freshOpener([&fresh](int) { return fresh.openPort(); });
        fresh.pc({0x0B, 0x00}).device({0x06, 0x00});
        fresh.pc({0x20}).device({0x06, 0x20});
        for (std::size_t at = 0; at < testCase.list.size(); at += 80) {
            const Bytes payload(testCase.list.begin() + at,
                                testCase.list.begin() + std::min(at + 80, testCase.list.size()));
            fresh.device({0x03});
            fresh.pc({0x06, 0x03}).device(lengthBytes(static_cast<std::uint32_t>(payload.size())) +
                                          payload + Bytes{0x16});
            fresh.pc({0x06, 0x16});
        }
        fresh.device({0x04});
        fresh.pc({0x0B, 0x00}).device({0x06, 0x02});
        SLVFamilyDevice device(minnowRecord());
        const auto error = errorOf([&] { device.sendFileList(200); });
        ASSERT_TRUE(error) << "accepted: " << hexOf(testCase.list);
        EXPECT_EQ(error->code, 15);
        EXPECT_EQ(std::string(error->description),
                  std::string(listPrefix) + "Error while parsing fileListBuffer. " + testCase.detail);
        EXPECT_EQ(fresh.openPorts(), 0);
        EXPECT_FALSE(device.isBusy());
    }
}

TEST_F(FileListTest, DiskSpaceMatchesTheWirePicture) {
    scriptAcquire();
    script.pc({0x25}).device({0x06, 0x25, 0x00, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x16});
    script.pc({0x06, 0x16});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    std::uint32_t first = 0, second = 0;
    device.sendDiskSpace(first, second);
    EXPECT_EQ(first, 1048576u);
    EXPECT_EQ(second, 65536u);
    EXPECT_EQ(script.writes(), (std::vector<std::string>{"0B", "00", "25", "06", "16", "0B", "00"}));
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(FileListTest, DiskSpaceWithoutSyncRaisesItsOwnText) {
    scriptAcquire();
    script.pc({0x25}).device({0x06, 0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0x04});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] {
        std::uint32_t first, second;
        device.sendDiskSpace(first, second);
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 15);
    EXPECT_STREQ(error->description,
                 "SLVFamilyDevice::sendDiskSpace--Missing SYNC in transaction GET_DISK_SPACE.");
    expectReleased(device);
}
