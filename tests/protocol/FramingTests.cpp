// Construction, confirmations, the device error table and the taking and
// giving back of the port, seen on the wire.
#include <cstring>

#include "ProtocolTestSupport.h"

namespace {
constexpr char deletePrefix[] = "SLVFamilyDevice::deleteFile--";

struct ExpectedDeviceError {
    std::uint8_t deviceCode;
    std::int32_t code;
    const char* typeName;
    const char* text;
};

// The device's error codes and what each must become.
const ExpectedDeviceError deviceErrorTable[] = {
    {1, 15, "ErrorInProtocol", "Invalid package size."},
    {2, 15, "ErrorInProtocol", "Missing BEGIN_OF_FILE marker."},
    {3, 15, "ErrorInProtocol", "Missing END_OF_FILE marker."},
    {4, 15, "ErrorInProtocol", "Missing file attribute flag byte."},
    {5, 15, "ErrorInProtocol", "Missing start of file data marker."},
    {6, 15, "ErrorInProtocol", "Missing GET_FILE command."},
    {7, 15, "ErrorInProtocol", "Missing DELETE_FILE command."},
    {8, 15, "ErrorInProtocol", "Missing RENAME_FILE command."},
    {9, 23, "ErrorOnDevice", "Cannot open temp file."},
    {10, 23, "ErrorOnDevice", "Cannot close temp file."},
    {11, 23, "ErrorOnDevice", "Cannot rename temp file."},
    {12, 23, "ErrorOnDevice", "Cannot delete temp file."},
    {13, 23, "ErrorOnDevice", "Cannot open requested file."},
    {14, 23, "ErrorOnDevice", "Cannot write to file."},
    {15, 23, "ErrorOnDevice", "Cannot delete requested file."},
    {16, 23, "ErrorOnDevice", "Cannot rename requested file."},
    {17, 23, "ErrorOnDevice", "Cannot retrieve disk info."},
    {18, 15, "ErrorInProtocol", "Page frame error."},
    {19, 18, "FileAlreadyExitsOnDevice", ""},
    {20, 15, "ErrorInProtocol", "Connection timeout."},
    {21, 23, "ErrorOnDevice", " Editor is open."},
    {22, 15, "ErrorInProtocol", "Buffer overflow."},
    {23, 30, "TransmissionCanceledByUser", "Transmission canceled by user (PC side)."},
    {24, 19, "FileNotFoundOnDevice", "File not found on device."},
    {26, 23, "ErrorOnDevice", "Wrong command confirmed (Wrong ACK)."},
};

ExpectedDeviceError expectedFor(unsigned deviceCode) {
    for (const ExpectedDeviceError& entry : deviceErrorTable) {
        if (entry.deviceCode == deviceCode) return entry;
    }
    return {static_cast<std::uint8_t>(deviceCode), 15, "ErrorInProtocol",
            " No detailled description available."};
}

class FramingTest : public ScriptedDeviceTest {};

// A delete refused after its command byte with the given answer.
void scriptDeleteAnswer(DeviceScript& script, const Bytes& answer) {
    script.pc({0x0B, 0x00}).device({0x06, 0x00});
    script.pc({0x23}).device(answer);
    script.pc({0x0B, 0x00}).device({0x06, 0x02});
}
}  // namespace

TEST(DeviceObjectConstruction, RefusesDevicesOutsideTheFamilyWithMismatchingProtocol) {
    for (std::uint32_t typeCode : {0x90u, 0x00u, 0x73u}) {
        DeviceInfo info = minnowRecord();
        info.typeCode = typeCode;
        const auto error = errorOf([&] { SLVFamilyDevice device(info); });
        ASSERT_TRUE(error) << "type code " << typeCode << " was accepted";
        EXPECT_EQ(error->code, 16);
        EXPECT_STREQ(error->description,
                     "SLVFamilyDevice::SLVFamilyDevice: Contructor called for illegal device.");
    }
}

TEST(DeviceObjectConstruction, AcceptsTheFamilyAndKeepsAFullSerialText) {
    for (std::uint32_t typeCode : {0x04u, 0x05u, 0x35u, 0x36u, 0x38u, 0x72u, 0x74u, 0x78u}) {
        DeviceInfo info = minnowRecord();
        info.typeCode = typeCode;
        std::memset(info.serial, 'S', 43);
        info.serial[43] = '\0';
        SLVFamilyDevice device(info);
        EXPECT_EQ(std::string(device.deviceInfo().serial), std::string(43, 'S'));
        EXPECT_EQ(device.currentPortMode(), IDLE);
        EXPECT_FALSE(device.isBusy());
    }
}

TEST_F(FramingTest, EveryDeviceErrorCodeRaisesItsExceptionWithItsText) {
    for (unsigned code = 0; code < 256; ++code) {
        DeviceScript fresh;
        ScopedPortOpener freshOpener([&fresh](int) { return fresh.openPort(); });
        scriptDeleteAnswer(fresh, {0x15, static_cast<std::uint8_t>(code)});
        SLVFamilyDevice device(minnowRecord());
        const auto error = errorOf([&] { device.deleteFile("A.TXT"); });
        const ExpectedDeviceError expected = expectedFor(code);
        ASSERT_TRUE(error) << "device code " << code << " raised nothing";
        EXPECT_EQ(error->code, expected.code) << "device code " << code;
        EXPECT_STREQ(error->typeName, expected.typeName) << "device code " << code;
        EXPECT_EQ(std::string(error->description), std::string(deletePrefix) + expected.text)
            << "device code " << code;
        EXPECT_EQ(fresh.openPorts(), 0) << "device code " << code << " left the port open";
        EXPECT_FALSE(device.isBusy());
    }
}

TEST_F(FramingTest, ConfirmationWithAnotherByteRaisesWrongCommandConfirmed) {
    scriptDeleteAnswer(script, {0x06, 0x22});
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] { device.deleteFile("A.TXT"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 29);
    EXPECT_STREQ(error->description, "SLVFamilyDevice::deleteFile-- Wrong command byte received.");
    expectReleased(device);
}

TEST_F(FramingTest, ConfirmationWithoutAckOrNakRaisesMissingAckAndNak) {
    scriptDeleteAnswer(script, {0x16});
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] { device.deleteFile("A.TXT"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 15);
    EXPECT_STREQ(error->description, "SLVFamilyDevice::deleteFile-- Missing ACK and NAK");
    expectReleased(device);
}

TEST_F(FramingTest, AckFollowedBySilenceRaisesThePortsReadError) {
    scriptDeleteAnswer(script, {0x06});
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] { device.deleteFile("A.TXT"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 12);
    EXPECT_STREQ(error->typeName, "CannotReadFromPort");
    expectReleased(device);
}

TEST_F(FramingTest, TransactionGoesOnWhenTheDeviceIgnoresTheMonitorSwitch) {
    script.pc({0x0B, 0x00});
    script.pc({0x25}).device({0x06, 0x25, 0, 0, 0, 1, 0, 0, 0, 2, 0x16});
    script.pc({0x06, 0x16});
    script.pc({0x0B, 0x00});
    SLVFamilyDevice device(minnowRecord());
    std::uint32_t first = 0, second = 0;
    device.sendDiskSpace(first, second);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 2u);
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(FramingTest, SecondTransactionOnABusyObjectRaisesMethodCollision) {
    ScratchDirectory scratch;
    scriptAcquire();
    script.pc({0x21}).device({0x06, 0x21});
    script.pc(lengthBytes(2) + bytesOf("A") + Bytes{0x21}).pc({0x16}).device({0x06, 0x16});
    script.device({0x04});
    scriptRelease();
    SLVFamilyDevice device(minnowRecord());
    std::optional<NBException> collision;
    device.sendFile("A", scratch.path("a"), 0,
                    [&](const DeviceInfo*, std::uint32_t, std::uint32_t, double, std::int32_t) {
                        collision = errorOf([&] {
                            std::uint32_t first, second;
                            device.sendDiskSpace(first, second);
                        });
                    });
    ASSERT_TRUE(collision) << "a second transaction was let through";
    EXPECT_EQ(collision->code, 28);
    EXPECT_STREQ(collision->description,
                 "SLVFamilyDevice::sendDiskSpace--Port is blocked by other transfer transaction.");
    expectExchangeComplete();
    expectReleased(device);
}

TEST_F(FramingTest, PortThatCannotBeOpenedLeavesTheObjectUsable) {
    SLVFamilyDevice device(minnowRecord());
    {
        ScopedPortOpener refusing([](int) -> std::unique_ptr<SerialPort> {
            throw PortExceptions::UnableToOpenPort("WinSerialPort::initializePort --  Port \"COM3\" can't be opened.");
        });
        const auto error = errorOf([&] { device.deleteFile("A"); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, 10);
        expectReleased(device);
    }
    scriptAcquire();
    script.pc({0x23}).device({0x06, 0x23});
    script.pc(lengthBytes(2) + bytesOf("A") + Bytes{0x23}).pc({0x16}).device({0x06, 0x16});
    scriptRelease();
    device.deleteFile("A");
    expectExchangeComplete();
}

TEST_F(FramingTest, FailingMonitorSwitchClosesThePortAndClearsBusy) {
    script.failWrites(true);
    SLVFamilyDevice device(minnowRecord());
    const auto error = errorOf([&] {
        std::uint32_t first, second;
        device.sendDiskSpace(first, second);
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 11);
    expectReleased(device);
    EXPECT_EQ(script.log(), (std::vector<std::string>{"open", "close"}));
}

TEST_F(FramingTest, ReleaseWaitsForConfirmationTwoAndClosesEvenWithoutIt) {
    scriptAcquire();
    script.pc({0x25}).device({0x06, 0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0x16});
    script.pc({0x06, 0x16});
    script.pc({0x0B, 0x00}).device({0x06, 0x00});  // the answer acquirePort wants, not releasePort
    SLVFamilyDevice device(minnowRecord());
    std::uint32_t first, second;
    device.sendDiskSpace(first, second);
    expectExchangeComplete();
    expectReleased(device);
}
