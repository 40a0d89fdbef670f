// Delete, rename and braille tables on the wire.
#include <array>

#include "ProtocolTestSupport.h"

namespace {
class DeviceOperationsTest : public ScriptedDeviceTest {
protected:
    void scriptNameStep(std::uint8_t command, const std::string& name) {
        script.pc({command}).device({0x06, command});
        script.pc(lengthBytes(static_cast<std::uint32_t>(name.size()) + 1) + bytesOf(name) + Bytes{command});
        script.pc({0x16}).device({0x06, 0x16});
    }
};

std::string nameWrite(const std::string& name, std::uint8_t command) {
    return "[" + hexOf(lengthBytes(static_cast<std::uint32_t>(name.size()) + 1) + bytesOf(name) +
                       Bytes{command}) + "]";
}
}  // namespace

TEST_F(DeviceOperationsTest, DeleteMatchesTheWirePicture) {
    scriptAcquire();
    scriptNameStep(0x23, "NOTES");
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    device.deleteFile("NOTES");
    EXPECT_EQ(script.writes(), (std::vector<std::string>{"0B", "00", "23", "[06 00 4E 4F 54 45 53 23]",
                                                         "16", "0B", "00"}));
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(DeviceOperationsTest, RenameMatchesTheWirePicture) {
    scriptAcquire();
    scriptNameStep(0x22, "OLD.TXT");
    scriptNameStep(0x22, "NEW.TXT");
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    device.renameFile("OLD.TXT", "NEW.TXT");
    EXPECT_EQ(script.writes(),
              (std::vector<std::string>{"0B", "00", "22", nameWrite("OLD.TXT", 0x22), "16", "22",
                                        nameWrite("NEW.TXT", 0x22), "16", "0B", "00"}));
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(DeviceOperationsTest, RenameToAnExistingNameRaisesCode18AtAnyConfirmation) {
    // The device may refuse at the second command or at the new name.
    for (int refusedAt = 0; refusedAt < 2; ++refusedAt) {
        DeviceScript fresh;
        ScopedPortOpener freshOpener([&fresh](int) { return fresh.openPort(); });
        fresh.pc({0x0B, 0x00}).device({0x06, 0x00});
        fresh.pc({0x22}).device({0x06, 0x22});
        fresh.pc(lengthBytes(2) + bytesOf("A") + Bytes{0x22}).pc({0x16}).device({0x06, 0x16});
        if (refusedAt == 0) {
            fresh.pc({0x22}).device({0x15, 19});
        } else {
            fresh.pc({0x22}).device({0x06, 0x22});
            fresh.pc(lengthBytes(2) + bytesOf("B") + Bytes{0x22}).pc({0x16}).device({0x15, 19});
        }
        fresh.pc({0x0B, 0x00}).device({0x06, 0x02});
        SLVFamilyDevice device(minnowRecord());
        const auto error = errorOf([&] { device.renameFile("A", "B"); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, 18);
        EXPECT_STREQ(error->description, "SLVFamilyDevice::renameFile--");
        EXPECT_EQ(hexOf(fresh.written()), hexOf(fresh.scriptedPc()));
        EXPECT_EQ(fresh.openPorts(), 0);
        EXPECT_FALSE(device.isBusy());
    }
}

TEST_F(DeviceOperationsTest, OldFirmwareRefusesDeleteAndRenameWithoutOpeningThePort) {
    SLVFamilyDevice device(minnowRecord(0));
    const auto deleteError = errorOf([&] { device.deleteFile("A"); });
    ASSERT_TRUE(deleteError);
    EXPECT_EQ(deleteError->code, 31);
    EXPECT_STREQ(deleteError->description,
                 "SLVFamilyDevice::deleteFile--The delete file operation is not supported in the "
                 "device's firmware version.");
    const auto renameError = errorOf([&] { device.renameFile("A", "B"); });
    ASSERT_TRUE(renameError);
    EXPECT_EQ(renameError->code, 31);
    EXPECT_STREQ(renameError->description,
                 "SLVFamilyDevice::renameFile--The rename file operation is not supported in the "
                 "device's firmware version.");
    EXPECT_TRUE(script.log().empty());
}

TEST_F(DeviceOperationsTest, NamesLongerThanTheNamePackageAreRefusedBeforeThePortIsOpened) {
    SLVFamilyDevice device(minnowRecord());
    const std::string longName(66, 'N');
    const auto deleteError = errorOf([&] { device.deleteFile(longName); });
    ASSERT_TRUE(deleteError);
    EXPECT_EQ(deleteError->code, 21);
    const auto renameError = errorOf([&] { device.renameFile("A", longName); });
    ASSERT_TRUE(renameError);
    EXPECT_EQ(renameError->code, 20);
    EXPECT_EQ(std::string(renameError->description),
              "SLVFamilyDevice::renameFile--File name is longer than 65 bytes: " + longName);
    EXPECT_TRUE(script.log().empty());

    scriptAcquire();
    scriptNameStep(0x23, std::string(65, 'N'));
    scriptRelease();
    device.deleteFile(std::string(65, 'N'));
    expectExchangeComplete();
}

TEST_F(DeviceOperationsTest, BrailleTableGoesOutInFourPackagesWithTheSlotFlag) {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(255 - i);
    const Bytes tableBytes(table.begin(), table.end());
    scriptAcquire();
    script.pc({0x03}).device({0x06, 0x03});
    script.pc(lengthBytes(10) + Bytes{0x1C} + bytesOf("GERMAN") + Bytes{0x05, 0xC9, 0x0F, 0x16})
        .device({0x06, 0x16});
    std::vector<std::string> packageWrites;
    for (std::size_t at = 0; at < 256; at += 78) {
        const Bytes payload(tableBytes.begin() + at, tableBytes.begin() + std::min<std::size_t>(at + 78, 256));
        script.pc({0x03}).device({0x06, 0x03});
        script.pc(lengthBytes(static_cast<std::uint32_t>(payload.size())) + payload + Bytes{0x16})
            .device({0x06, 0x16});
        packageWrites.push_back(hexOf(lengthBytes(static_cast<std::uint32_t>(payload.size()))));
    }
    script.pc({0x04}).device({0x06, 0x04});
    scriptRelease();

    SLVFamilyDevice device(minnowRecord());
    device.receiveBrailleTable(table, "GERMAN", 9, true);

    EXPECT_EQ(packageWrites, (std::vector<std::string>{"4E 00", "4E 00", "4E 00", "16 00"}));
    const std::vector<std::string> log = script.log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[3], "purge") << "the port is purged before the table goes out";
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(DeviceOperationsTest, BrailleTableRefusesSlotsOutsideOneToNineAndOldFirmwareBackwardSearch) {
    const std::array<std::uint8_t, 256> table{};
    SLVFamilyDevice device(minnowRecord(0));
    for (std::uint32_t slot : {0u, 10u}) {
        const auto error = errorOf([&] { device.receiveBrailleTable(table, "T", slot, false); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, 22);
        EXPECT_STREQ(error->description, "SLVFamilyDevice::receiveBrailleTable -- Slotnumber for "
                                         "braille table transmission is out of range.");
    }
    const auto error = errorOf([&] { device.receiveBrailleTable(table, "T", 1, true); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 31);
    EXPECT_STREQ(error->description,
                 "SLVFamilyDevice::receiveBrailleTable -- Backward search in braille tables is not "
                 "implemented in the target device's firmware version");
    EXPECT_TRUE(script.log().empty());
}
