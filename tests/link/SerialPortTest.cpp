// This platform's serial port against nimbrel-devsim on a pseudo-terminal,
// opened by port number: WinSerialPort under Wine on COM ports linked to the
// device, PosixSerialPort on the path set for the number. Reads keep the
// line's real timing.
#include <gtest/gtest.h>

#include <memory>

#include "LinkTestSupport.h"
#include "link/PortOpener.h"

#ifdef _WIN32
#include "link/WinSerialPort.h"
const std::string portClass = "WinSerialPort";
constexpr int unmapped = 38;
const std::string unmappedName = "\\\\.\\COM38";
#else
#include "link/PosixSerialPort.h"
const std::string portClass = "PosixSerialPort";
constexpr int unmapped = 7;
const std::string unmappedName = "COM7";
#endif

namespace {
class SerialPortTest : public ::testing::Test {
protected:
#ifdef _WIN32
    // COM<n> is reached through its link in the Wine prefix, which the device replaces.
    std::string portName(int number) const {
        return "\\\\.\\COM" + std::to_string(number);
    }
    std::string mapPort(int number) const {
        return comLink(number);
    }
#else
    ~SerialPortTest() override {
        clearPortPaths();
    }
    std::string portName(int number) const {
        return dir.file("COM" + std::to_string(number));
    }
    std::string mapPort(int number) const {
        setPortPath(number, portName(number));
        return portName(number);
    }
#endif
    std::string readError(const std::string& methodAndDashes, int number) const {
        return "CannotReadFromPort: " + portClass + "::" + methodAndDashes + "Error while reading from port \"" +
               portName(number) + "\".";
    }

    TempDir dir;
    PauseLog pauses;
};
}  // namespace

TEST_F(SerialPortTest, OpensThroughItsNumberAfterPurgeAndSettleExchangesBytesAndFailsOnceTheDeviceIsGone) {
    auto device = startDevice(dir, mapPort(20));
    std::unique_ptr<SerialPort> port = openSerialPort(20);
    EXPECT_EQ(pauses.waits(), (std::vector<std::uint32_t>{50, 500})) << "purge, then settle";
    // Identification and the version query, answered "FE 72" and "06 0C 00 01 16".
    const std::uint8_t queries[] = {0xFF, 0x0C};
    port->writeBuffer(queries, 2);
    EXPECT_EQ(readHex(*port, 3), "FE 72 06") << "a read collects bytes that arrive one by one";
    EXPECT_EQ(port->readByte(), 0x0C) << "readByte waits for a byte still on its way";
    EXPECT_EQ(readHex(*port, 4), "00 01 16") << "a short read without a line error returns the count";
    port->writeByte(0xFF);
    EXPECT_EQ(readHex(*port, 2), "FE 72");
    std::uint8_t answer[1];
    EXPECT_EQ(raisedBy([&] { port->readBuffer(answer, 1); }), readError("readBuffer --  ", 20));
    EXPECT_EQ(raisedBy([&] { port->readByte(); }), readError("readByte -- ", 20) + " No Byte arrived.");
    EXPECT_EQ(raisedBy([&] { port->readBuffer(answer, 0); }), readError("readBuffer --  ", 20))
        << "a count of 0 reads nothing and fails like a silent line";
    device.reset();
    const std::uint8_t byte = 0x1B;
    EXPECT_EQ(raisedBy([&] { port->writeBuffer(&byte, 1); }),
              "CannotWriteToPort: " + portClass + "::writeBuffer -- Error while writing Buffer to port \"" +
                  portName(20) + "\".");
    EXPECT_THROW(port->readByte(), PortExceptions::CannotReadFromPort);
}

TEST_F(SerialPortTest, PortsWithNothingBehindThemAreInitializationErrorsWithoutWaiting) {
    const std::string head =
        "ErrorOnInitialization: " + portClass + "::initializePort --  Error while reading Settings for Port \"";
    EXPECT_EQ(raisedBy([] { openSerialPort(unmapped); }), head + unmappedName + "\" ")
        << "a number without a mapping is a port that does not exist";
#ifdef _WIN32
    pointLink(comLink(22), dir.file("COM22"));  // to a path where nothing is
#else
    mapPort(22);
#endif
    EXPECT_EQ(raisedBy([] { openSerialPort(22); }), head + portName(22) + "\" ");
    EXPECT_TRUE(pauses.waits().empty());
#ifdef _WIN32
    removeLink(comLink(22));
#else
    EXPECT_EQ(raisedBy([&] { PosixSerialPort port(dir.path()); }).rfind("ErrorOnInitialization: ", 0), 0u)
        << "a folder is no serial line";
#endif
}
