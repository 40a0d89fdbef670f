// Every transaction on the wire, byte for byte, and what it yields.
#include <array>

#include "ProtocolTestSupport.h"

namespace {
class WireTest : public ScriptedDeviceTest {
protected:
    // Progress calls as "total done percent estimate, ...".
    ProgressCallback recorder() {
        return [this](const DeviceInfo* info, std::uint32_t total, std::uint32_t done, double percent,
                      std::int32_t estimate) {
            EXPECT_STREQ(info->serial, "MN2-000417") << "progress names another device";
            std::ostringstream call;
            call << (progress.empty() ? "" : ", ") << total << " " << done << " " << percent << " " << estimate;
            progress += call.str();
        };
    }
    void scriptDownload(const std::string& name, const std::vector<Bytes>& packages) {
        script.play("take cmd:21 name:21:" + name);
        for (const Bytes& package : packages) script.devicePackage(package);
        script.play("< 04 give");
    }
    SLVFamilyDevice device{minnowRecord()};
    std::string progress;
};
}  // namespace

TEST_F(WireTest, FileListsJoinRecordsSplitBetweenPackagesReadSignedYearsAndStopAtTheMaximum) {
    const Bytes records = fileRecord("NOTES", {0x00, 0x05}, 6, 10, {0x00, 0x00, 0x01, 0x00}) +
                          fileRecord("OLD.TXT", {0x00, 99}, 12, 58, {0x01, 0x02, 0x03, 0x04});
    script.play("take cmd:20").devicePackage(Bytes(records.begin(), records.begin() + 25));
    script.devicePackage(Bytes(records.begin() + 25, records.end())).play("< 04 give");
    EXPECT_EQ(described(device.sendFileList(200)), "NOTES 5-6-7 8:9:10 256, OLD.TXT 99-12-7 8:9:58 16909060");
    EXPECT_EQ(script.writes(), "0B 00 20 06 03 06 16 06 03 06 16 0B 00");
    // The cut record after the maximum is never parsed.
    script.play("take cmd:20")
        .devicePackage(fileRecord("A", {0xFF, 0xFE}, 1, 0, {0, 0, 0, 0}) +
                       fileRecord("B", {0x01, 0x00}, 1, 0, {0, 0, 0, 0}) + fileRecord("C") + Bytes{0x1C});
    script.play("< 04 give take cmd:20 < 04 give");
    EXPECT_EQ(described(device.sendFileList(2)), "A -2-1-7 8:9:0 0, B 256-1-7 8:9:0 0");
    EXPECT_TRUE(device.sendFileList(200).empty()) << "an empty list";
    script.expectFinished(device);
}

TEST_F(WireTest, DiskSpaceAndTransactionsThatGoOnWhenTheDeviceIgnoresTheMonitorSwitches) {
    script.play("take > 25 < 06 25 00 10 00 00 00 01 00 00 16 > 06 16 give");
    script.play("> 0B 00 25 < 06 25 00 00 00 01 00 00 00 02 16 > 06 16 0B 00");
    // What acquiring wants, not releasing.
    script.play("take > 25 < 06 25 00 00 00 00 00 00 00 00 16 > 06 16 0B 00 < 06 00");
    std::uint32_t first = 0, second = 0;
    device.sendDiskSpace(first, second);
    EXPECT_EQ(std::pair(first, second), std::pair(1048576u, 65536u));
    EXPECT_EQ(script.writes(), "0B 00 25 06 16 0B 00");
    device.sendDiskSpace(first, second);
    EXPECT_EQ(std::pair(first, second), std::pair(1u, 2u));
    device.sendDiskSpace(first, second);
    script.expectFinished(device);
}

TEST_F(WireTest, DeleteAndRenameWithNamesUpTo65Bytes) {
    const std::string longest(65, 'N');
    script.play("take cmd:23 name:23:NOTES give take cmd:23 name:23:" + longest + " give");
    script.play("take cmd:22 name:22:OLD.TXT cmd:22 name:22:NEW.TXT give");
    device.deleteFile("NOTES");
    device.deleteFile(longest);
    device.renameFile("OLD.TXT", "NEW.TXT");
    EXPECT_EQ(script.writes(), "0B 00 23 [06 00 4E 4F 54 45 53 23] 16 0B 00 0B 00 23 [42 00 " +
                                   hexOf(bytesOf(longest)) +
                                   " 23] 16 0B 00 0B 00 22 [08 00 4F 4C 44 2E 54 58 54 22] 16 22 [08 00 4E 45 57 "
                                   "2E 54 58 54 22] 16 0B 00");
    script.expectFinished(device);
}

TEST_F(WireTest, BrailleTableGoesOutInFourPackagesWithTheSlotFlagAfterAPurge) {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(255 - i);
    const Bytes tableBytes(table.begin(), table.end());
    script.header("GERMAN", 0xC9);
    for (std::size_t at = 0; at < 256; at += 78)
        script.pcPackage(Bytes(tableBytes.begin() + at, tableBytes.begin() + std::min<std::size_t>(at + 78, 256)));
    script.play("cmd:04 give");
    device.receiveBrailleTable(table, "GERMAN", 9, true);
    EXPECT_EQ(script.log().substr(0, 21), "open 0B 00 purge 03 [") << "the port is purged before the table goes out";
    script.expectFinished(device);
}

TEST_F(WireTest, DownloadsWriteTheFileAndReportProgressAtTheStartTheFirstPackageAndEveryFiftyLeft) {
    const Bytes content = countingBytes(100);
    scriptDownload("A.B", {Bytes(content.begin(), content.begin() + 80), Bytes(content.begin() + 80, content.end())});
    const std::string local = scratch.path("a.b");
    device.sendFile("A.B", local, 100, recorder());
    EXPECT_EQ(script.writes(), "0B 00 21 [04 00 41 2E 42 21] 16 06 03 06 16 06 03 06 16 0B 00");
    script.expectFinished(device);
    EXPECT_EQ(hexOf(ScratchDirectory::read(local)), hexOf(content));
    // Not after the second package: two packages are left then.
    EXPECT_EQ(progress, "100 0 0 240, 100 80 80 160");

    std::vector<Bytes> packages;
    for (int i = 0; i < 60; ++i) packages.push_back(Bytes(80, static_cast<std::uint8_t>(i)));
    scriptDownload("BIG", packages);
    scriptDownload("EMPTY", {});
    // More than the device listed: refused at the length, nothing kept.
    script.play("take cmd:21 name:21:X < 03 > 06 03 < 0A 00 > 15 16 give");
    device.cancelTransfer();  // before any transfer: must not carry over
    progress.clear();
    device.sendFile("BIG", scratch.path("big"), 4800, recorder());
    // 62 packages left at the start; 61 after the first, 50 after the twelfth.
    EXPECT_EQ(progress, "4800 0 0 4960, 4800 80 1 4880, 4800 960 20 4000");
    progress.clear();
    const std::string empty = scratch.path("empty");
    device.sendFile("EMPTY", empty, 0, recorder());
    EXPECT_TRUE(std::filesystem::exists(empty) && std::filesystem::file_size(empty) == 0) << "no empty local file";
    EXPECT_EQ(progress, "0 0 0 160");
    expectError([&] { device.sendFile("X", scratch.path("x"), 9, recorder()); }, 15,
                "SLVFamilyDevice::sendFile--Device sends more data than the file's listed size.");
    EXPECT_FALSE(std::filesystem::exists(scratch.path("x")));
    script.expectFinished(device);
}

TEST_F(WireTest, UploadOf100BytesQueriesTheSpaceFirstAndWaitsBetween) {
    const Bytes content = countingBytes(100, 0x30);
    const std::string local = scratch.path("report.txt");
    ScratchDirectory::write(local, content);
    script.diskSpace(100).header("REPORT.TXT", 0x00).pcPackage(Bytes(content.begin(), content.begin() + 78));
    script.pcPackage(Bytes(content.begin() + 78, content.end())).play("cmd:04 give");
    device.receiveFile(local, recorder(), 0x00, "REPORT.TXT");
    EXPECT_EQ(script.log(), "open 0B 00 25 06 16 0B 00 close open 0B 00 purge 03 [" +
                                hexOf(uploadHeader("REPORT.TXT", 0x00)) + "] 03 [4E 00 " +
                                hexOf(Bytes(content.begin(), content.begin() + 78)) + " 16] 03 [16 00 " +
                                hexOf(Bytes(content.begin() + 78, content.end())) + " 16] 04 0B 00 close");
    script.expectFinished(device);
    EXPECT_EQ(pauses.waits(), (std::vector<std::uint32_t>{500, 100}));
    EXPECT_EQ(progress, "100 0 0 240, 100 78 78 160");
}

TEST_F(WireTest, UploadNamesTheDeviceFileAfterTheLocalFileOrTheTrimmedTargetAndACancelBeforeTheFirstByteIsQuiet) {
    const std::string named = scratch.path("name.txt"), longName = scratch.path(std::string(70, 'L'));
    ScratchDirectory::write(named, {});
    ScratchDirectory::write(longName, {9});
    script.diskSpace(0).header("name.txt", 0x01).play("cmd:04 give");
    script.diskSpace(1).header(std::string(64, 'L'), 0x00).pcPackage({9}).play("cmd:04 give");
    script.diskSpace(0).header(std::string(64, 'T'), 0x00).play("cmd:04 give");
    device.receiveFile(named, nullptr, 0x01);
    device.receiveFile(longName, nullptr, 0x00);  // cut to 64 characters
    device.receiveFile(named, nullptr, 0x00, "  \t" + std::string(64, 'T'));
    script.expectComplete();

    script.diskSpace(1000).play("take give");
    device.receiveFile(
        longName, [&](auto...) { device.cancelTransfer(); }, 0x00);
    script.expectFinished(device);
}
