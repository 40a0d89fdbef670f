// What each fault on the wire and each refused request turns into: the
// code and text, the port given back, local files deleted or left alone.
#include <array>

#include "ProtocolTestSupport.h"
#include "protocol/DeviceErrors.h"
#include "protocol/LocalPathName.h"

namespace {
const std::string listPrefix = "SLVFamilyDevice::sendFileList--", downloadPrefix = "SLVFamilyDevice::sendFile--",
                  uploadPrefix = "SLVFamilyDevice::receiveFile--",
                  parsePrefix = listPrefix + "Error while parsing fileListBuffer. ";

// A file list of the given bytes in packages of 80, ended unless refused.
void scriptList(DeviceScript& script, const Bytes& list, bool ended = true) {
    script.play("take cmd:20");
    for (std::size_t at = 0; at < list.size(); at += 80)
        script.devicePackage(Bytes(list.begin() + at, list.begin() + std::min(at + 80, list.size())));
    script.play(ended ? "< 04 give" : "give");
}

class ScriptedFaultTest : public ScriptedDeviceTest {
protected:
    const std::string downloaded = scratch.path("downloaded"), uploaded = scratch.path("upload");
};
}  // namespace

TEST(DeviceObjectConstruction, AcceptsOnlyTheFamilyAndKeepsAFullSerialText) {
    DeviceInfo info = minnowRecord();
    for (std::uint32_t typeCode : {0x90u, 0x00u, 0x73u}) {
        info.typeCode = typeCode;
        SCOPED_TRACE("type code " + std::to_string(typeCode));
        expectError([&] { SLVFamilyDevice device(info); }, 16,
                    "SLVFamilyDevice::SLVFamilyDevice: Contructor called for illegal device.");
    }
    std::memset(info.serial, 'S', 43);
    info.serial[43] = '\0';
    for (std::uint32_t typeCode : {0x04u, 0x05u, 0x35u, 0x36u, 0x38u, 0x72u, 0x74u, 0x78u}) {
        info.typeCode = typeCode;
        SLVFamilyDevice device(info);
        EXPECT_EQ(std::string(device.deviceInfo().serial), std::string(43, 'S')) << "type code " << typeCode;
        EXPECT_TRUE(device.currentPortMode() == IDLE && !device.isBusy()) << "type code " << typeCode;
    }
}

// The table itself is the protocol's own (DeviceErrors.h); what matters is
// how its kinds of entry come out, and what a code outside it gives.
TEST(DeviceErrorTable, DeviceErrorCodesRaiseTheirExceptionWithThePrefixAndTheirText) {
    PauseLog pauses;
    using namespace DeviceError;
    const struct {
        std::uint8_t deviceCode;
        std::int32_t code;
        const char *typeName, *text;
    } rows[] = {
        {InvalidPackageSize, 15, "ErrorInProtocol", "Invalid package size."},
        {EditorIsOpen, 23, "ErrorOnDevice", " Editor is open."},
        {FileAlreadyExists, 18, "FileAlreadyExitsOnDevice", ""},
        {CanceledByPc, 30, "TransmissionCanceledByUser", "Transmission canceled by user (PC side)."},
        {FileNotFound, 19, "FileNotFoundOnDevice", "File not found on device."},
        {0, 15, "ErrorInProtocol", " No detailled description available."},
        {25, 15, "ErrorInProtocol", " No detailled description available."},
        {255, 15, "ErrorInProtocol", " No detailled description available."},
    };
    for (const auto& row : rows) {
        DeviceScript script;
        script.play("take > 23").device({0x15, row.deviceCode}).play("give");
        SLVFamilyDevice device(minnowRecord());
        const auto error = errorOf([&] { device.deleteFile("A.TXT"); });
        ASSERT_TRUE(error) << "device code " << int(row.deviceCode) << " raised nothing";
        EXPECT_EQ(std::tie(error->code, error->description),
                  std::make_tuple(row.code, "SLVFamilyDevice::deleteFile--" + std::string(row.text)))
            << "device code " << int(row.deviceCode);
        EXPECT_STREQ(error->typeName, row.typeName) << "device code " << int(row.deviceCode);
        script.expectReleased(device);
    }
}

TEST_F(ScriptedFaultTest, EachFaultRaisesItsErrorReleasesThePortAndDeletesOnlyThePartialFile) {
    using Request = std::function<void(SLVFamilyDevice&)>;
    const Request list = [](auto&d) { d.sendFileList(200); }, deleteA = [](auto&d) { d.deleteFile("A.TXT"); };
    const Request download = [&](auto& d) { d.sendFile("A", downloaded, 1000, nullptr); };
    const Request upload = [&](auto& d) { d.receiveFile(uploaded, nullptr, 0x00); };
    const auto listOf = [](const Bytes& bytes, bool ended = true) {
        return [=](DeviceScript& s) { scriptList(s, bytes, ended); };
    };
    const auto wire = [](const std::string& text) { return [=](DeviceScript& s) { s.play(text); }; };
    const struct {
        const char* behaviour;
        std::function<void(DeviceScript&)> exchange;
        Request request;
        std::int32_t code;
        std::string text;
    } faults[] = {
        {"confirmation without ACK or NAK", wire("take > 23 < 16 give"), deleteA, 15,
         "SLVFamilyDevice::deleteFile-- Missing ACK and NAK"},
        {"list with an unexpected marker", wire("take cmd:20 < 15 11 > 0B 00"), list, 15,
         listPrefix + "Missing RECEIVE_DATA_BLOCK."},
        {"list package of 81 bytes after one of 80",
         [](auto& s) {
             s.play("take cmd:20").devicePackage(fileRecord(std::string(66, 'N'))).play("< 03 > 06 03 < 51 00 give");
         },
         list, 15, listPrefix + "Requested package size exceeds maximum size."},
        {"list beyond 32000 bytes", listOf(Bytes(32001, 0x1C), false), list, 15,
         listPrefix + "File list exceeds maximum size of 32000 bytes."},
        {"record without its marker", listOf({0x1D, 0x01}), list, 15, parsePrefix + "Missing BEGIN_OF_FILE."},
        {"list ending inside a record", listOf(fileRecord("CUT.TXT") + Bytes{0x1C, 0x05, 'A', 'B'}), list, 15,
         parsePrefix + "List ends inside a file record."},
        {"list ending after a marker", listOf({0x1C}), list, 15, parsePrefix + "List ends inside a file record."},
        {"name of 68 bytes in the list", listOf(fileRecord(std::string(68, 'L'))), list, 15,
         parsePrefix + "File name too long."},
        {"download with an unexpected marker", wire("take cmd:21 name:21:A < 20 give"), download, 15,
         downloadPrefix + "Missing RECEIVE_DATA_BLOCK or CANCEL_UPLOAD."},
        {"upload larger than the free space", [](auto& s) { s.diskSpace(199); }, upload, 25,
         uploadPrefix + "Not enough disk space for file " + uploaded + "."},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.behaviour);
        DeviceScript script;
        fault.exchange(script);
        ScratchDirectory::write(uploaded, countingBytes(200));
        SLVFamilyDevice device(minnowRecord());
        expectError([&] { fault.request(device); }, fault.code, fault.text);
        script.expectFinished(device);
        EXPECT_FALSE(std::filesystem::exists(downloaded)) << "the partial download was kept";
        EXPECT_EQ(hexOf(ScratchDirectory::read(uploaded)), hexOf(countingBytes(200))) << "the user's file was changed";
    }
}

TEST_F(ScriptedFaultTest, RequestsThatCannotGoOutAreRefusedBeforeThePortOrAFileIsTouched) {
    const std::array<std::uint8_t, 256> table{};
    const std::string name66(66, 'N'),
        directory = scratch.path("dir") + localPathSeparator,
        noName = "Local path has no file name: ", tooLong = "File name is longer than 65 bytes: " + name66,
        braille = "SLVFamilyDevice::receiveBrailleTable -- ",
        badSlot = braille + "Slotnumber for braille table transmission is out of range.",
        notSupported = " file operation is not supported in the device's firmware version.";
    const struct {
        std::uint16_t protocolVersion;
        std::function<void(SLVFamilyDevice&)> request;
        std::int32_t code;
        std::string text;
    } requests[] = {
        {1, [&](auto& d) { d.sendFile("", downloaded, 1, nullptr); }, 21, downloadPrefix + "SourceFileName ist empty."},
        {1, [&](auto& d) { d.sendFile("A", "", 1, nullptr); }, 20, downloadPrefix + "targetFileName ist empty."},
        {1, [&](auto& d) { d.sendFile(name66, downloaded, 1, nullptr); }, 21, downloadPrefix + tooLong},
        {1, [&](auto& d) { d.receiveFile("", nullptr, 0); }, 21, uploadPrefix + "SourceFileName ist empty."},
        {1, [&](auto& d) { d.receiveFile("\"\"", nullptr, 0); }, 20, uploadPrefix + noName + "\"\""},
        {1, [&](auto& d) { d.receiveFile("\"", nullptr, 0); }, 20, uploadPrefix + noName + "\""},
        {1, [&](auto& d) { d.receiveFile(directory, nullptr, 0); }, 20, uploadPrefix + noName + directory},
        {1, [&](auto& d) { d.receiveFile(uploaded, nullptr, 0, std::string(65, 'T')); }, 20,
         uploadPrefix + "TargetFilename too long."},
        {1, [&](auto& d) { d.deleteFile(name66); }, 21, "SLVFamilyDevice::deleteFile--" + tooLong},
        {1, [&](auto& d) { d.renameFile("A", name66); }, 20, "SLVFamilyDevice::renameFile--" + tooLong},
        {0, [&](auto& d) { d.deleteFile("A"); }, 31, "SLVFamilyDevice::deleteFile--The delete" + notSupported},
        {0, [&](auto& d) { d.renameFile("A", "B"); }, 31, "SLVFamilyDevice::renameFile--The rename" + notSupported},
        {1, [&](auto& d) { d.receiveBrailleTable(table, "T", 0, false); }, 22, badSlot},
        {1, [&](auto& d) { d.receiveBrailleTable(table, "T", 10, false); }, 22, badSlot},
        {0, [&](auto& d) { d.receiveBrailleTable(table, "T", 1, true); }, 31,
         braille + "Backward search in braille tables is not implemented in the target device's firmware version"},
    };
    ScratchDirectory::write(uploaded, {1});
    for (const auto& request : requests) {
        SLVFamilyDevice device(minnowRecord(request.protocolVersion));
        expectError([&] { request.request(device); }, request.code, request.text);
    }
    EXPECT_TRUE(script.log().empty()) << "the port was touched";
    EXPECT_FALSE(std::filesystem::exists(downloaded));
}

TEST_F(ScriptedFaultTest, BusyObjectRaisesMethodCollisionAndAPortThatCannotBeOpenedOrWrittenLeavesItUsable) {
    script.play("take cmd:21 name:21:A < 04 give");
    SLVFamilyDevice device(minnowRecord());
    std::uint32_t first, second;
    device.sendFile("A", downloaded, 0, [&](auto...) {
        expectError([&] { device.sendDiskSpace(first, second); }, 28,
                    "SLVFamilyDevice::sendDiskSpace--Port is blocked by other transfer transaction.");
    });
    script.expectFinished(device);
    {
        ScopedPortOpener refusing([](int) -> std::unique_ptr<SerialPort> {
            throw PortExceptions::UnableToOpenPort("WinSerialPort::initializePort --  Port \"COM3\" can't be opened.");
        });
        expectError([&] { device.deleteFile("A"); }, 10, "");
        script.expectReleased(device);
    }
    script.failWrites = true;
    const std::string before = script.log();
    expectError([&] { device.sendDiskSpace(first, second); }, 11, "");  // the monitor switch fails
    script.expectReleased(device);
    EXPECT_EQ(script.log(), before + " open close");
    script.failWrites = false;
    script.play("take cmd:23 name:23:A give");
    device.deleteFile("A");
    script.expectComplete();
}

TEST(LastPathComponent, TakesTheTextAfterTheLastSeparatorWithoutEnclosingQuotes) {
    std::string found;
    for (const char* path : {"C:\\dir\\name.txt", "\"C:\\dir\\name.txt\"", "name.txt", "C:\\dir\\", "", "\"", "\"\""})
        found += lastPathComponent(path, '\\').value_or("none") + "|";
    found += *lastPathComponent("/home/u/name.txt", '/') + "|" + *lastPathComponent("/name.txt", '/');
    EXPECT_EQ(found, "name.txt|name.txt|name.txt||none|none|none|name.txt|name.txt");
}
