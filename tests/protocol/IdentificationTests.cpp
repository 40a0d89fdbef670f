// Identification on a freshly opened port.
#include "ProtocolTestSupport.h"
#include "protocol/Identification.h"

namespace {
const Bytes infoAnswer = bytesOf("INFOI") + bytesOf("MN2-000417ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");

class IdentificationTest : public ::testing::Test {
protected:
    std::optional<DeviceInfo> identify(bool askForName = true, bool allowOtherTypes = false) {
        port = script.openPort();
        return identifyDevice(*port, 7, askForName, allowOtherTypes);
    }
    DeviceScript script;
    std::unique_ptr<SerialPort> port;
    PauseLog pauses;
};
}  // namespace

TEST_F(IdentificationTest, FileCapableModelGivesTypeVersionAndSerial) {
    script.pc({0xFF}).device({0xFE, 0x72});
    script.pc({0x0C}).device({0x06, 0x0C, 0x01, 0x02, 0x16});
    script.pc({0x06, 0x16});
    script.pc({0xAE}).device({0x4F});
    script.pc(bytesOf("INFO N")).device(infoAnswer);
    script.pc({0xFF});
    const auto record = identify();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->typeCode, 0x72u);
    EXPECT_EQ(record->protocolVersion, 0x0102);
    EXPECT_STREQ(record->serial, "MN2-000417AB");
    EXPECT_EQ(record->portNumber, 7u);
    EXPECT_EQ(record->index, 0u);
    EXPECT_EQ(record->portHeld, 0u);
    EXPECT_EQ(script.log(), (std::vector<std::string>{"open", "purge", "FF", "0C", "06", "16", "AE",
                                                      "[49 4E 46 4F 20 4E]", "FF", "purge"}));
    EXPECT_EQ(hexOf(script.written()), hexOf(script.scriptedPc()));
}

TEST_F(IdentificationTest, SilentOrForeignPortsYieldNoDevice) {
    EXPECT_FALSE(identify()) << "no answer at all";
    DeviceScript wrongAnswer;
    wrongAnswer.pc({0xFF}).device({0x06, 0x72});
    EXPECT_FALSE(identifyDevice(*wrongAnswer.openPort(), 1, true, false));
    DeviceScript unknownType;
    unknownType.pc({0xFF}).device({0xFE, 0x50});
    EXPECT_FALSE(identifyDevice(*unknownType.openPort(), 1, true, true));
}

TEST_F(IdentificationTest, DeviceWithoutVersionAnswerGetsVersionZero) {
    script.pc({0xFF}).device({0xFE, 0x05});
    script.pc({0x0C});
    script.pc({0xAE}).device({0x4F});
    script.pc(bytesOf("INFO N")).device(infoAnswer);
    script.pc({0xFF});
    const auto record = identify();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->protocolVersion, 0);
    EXPECT_STREQ(record->serial, "MN2-000417AB");
}

TEST_F(IdentificationTest, VersionAnswerWithoutSyncGivesVersionZeroAndNoAck) {
    script.pc({0xFF}).device({0xFE, 0x74});
    script.pc({0x0C}).device({0x06, 0x0C, 0x00, 0x01, 0x15});
    script.pc({0xAE}).device({0x4F});
    script.pc(bytesOf("INFO N")).device(infoAnswer);
    script.pc({0xFF});
    const auto record = identify();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->protocolVersion, 0);
    EXPECT_EQ(script.writes(), (std::vector<std::string>{"FF", "0C", "AE", "[49 4E 46 4F 20 4E]", "FF"}));
    EXPECT_EQ(script.log()[4], "purge") << "a wrong version answer is purged";
}

TEST_F(IdentificationTest, SerialQueryAnsweredOtherwiseKeepsXxxAndStillEndsWithFF) {
    script.pc({0xFF}).device({0xFE, 0x78});
    script.pc({0x0C}).device({0x06, 0x0C, 0x00, 0x01, 0x16});
    script.pc({0x06, 0x16});
    script.pc({0xAE}).device({0x15});
    script.pc({0xFF});
    const auto record = identify();
    ASSERT_TRUE(record);
    EXPECT_STREQ(record->serial, "xxx");
    EXPECT_EQ(script.log().back(), "purge");
    EXPECT_EQ(hexOf(script.written()), hexOf(script.scriptedPc()));
}

TEST_F(IdentificationTest, SerialQueryWithoutAnswerDropsTheDevice) {
    script.pc({0xFF}).device({0xFE, 0x78});
    script.pc({0x0C}).device({0x06, 0x0C, 0x00, 0x01, 0x16});
    script.pc({0x06, 0x16});
    EXPECT_FALSE(identify());
}

TEST_F(IdentificationTest, OtherTypesOnlyWhenAskedForAndNeverWithSerialQuery) {
    script.pc({0xFF}).device({0xFE, 0x35});
    EXPECT_FALSE(identify(true, false));

    DeviceScript other;
    other.pc({0xFF}).device({0xFE, 0x35});
    other.pc({0x0C}).device({0x06, 0x0C, 0x00, 0x03, 0x16});
    other.pc({0x06, 0x16});
    const auto record = identifyDevice(*other.openPort(), 2, true, true);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->typeCode, 0x35u);
    EXPECT_EQ(record->protocolVersion, 3);
    EXPECT_STREQ(record->serial, "xxx");
    EXPECT_EQ(hexOf(other.written()), hexOf(other.scriptedPc()));
}

TEST_F(IdentificationTest, WithoutNameQueryTheSerialIsXxx) {
    script.pc({0xFF}).device({0xFE, 0x05});
    script.pc({0x0C}).device({0x06, 0x0C, 0x00, 0x01, 0x16});
    script.pc({0x06, 0x16});
    const auto record = identify(false);
    ASSERT_TRUE(record);
    EXPECT_STREQ(record->serial, "xxx");
    EXPECT_EQ(hexOf(script.written()), hexOf(script.scriptedPc()));
}

TEST_F(IdentificationTest, DeviceOfAnotherKindIsAskedUpToFiveTimesForItsEightBytes) {
    script.pc({0xFF}).device({0xFE, 0x90});
    script.pc({0x05, 0x05}).device(bytesOf("ABC"));
    script.pc({0x05, 0x05});
    script.pc({0x05, 0x05}).device(bytesOf("12345678"));
    const auto record = identify();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->typeCode, 0x90u);
    EXPECT_STREQ(record->serial, "12345678");
    EXPECT_EQ(record->protocolVersion, 0);
    EXPECT_EQ(script.log(), (std::vector<std::string>{"open", "purge", "FF", "purge", "[05 05]", "purge",
                                                      "[05 05]", "purge", "[05 05]"}));
}
