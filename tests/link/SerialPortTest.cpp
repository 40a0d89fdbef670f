// This platform's serial port against a pty peer, opened by port number:
// WinSerialPort under Wine on COM ports linked to the peer, PosixSerialPort
// on the path set for the number. Reads keep the line's real timing.
#include <gtest/gtest.h>

#include <memory>

#include "LinkTestSupport.h"
#include "PtyPeer.h"
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
    // COM<n> is reached through its link in the Wine prefix, which its peer replaces.
    std::string portName(int number) const {
        return "\\\\.\\COM" + std::to_string(number);
    }
    std::string mapPort(int number) const {
        pointLink(comLink(number), dir.file("COM" + std::to_string(number)));
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
    RecordedPauses pauses;
};
}  // namespace

TEST_F(SerialPortTest, OpensThroughItsNumberAfterPurgeAndSettleAndExchangesBytes) {
    PtyPeer peer(dir, mapPort(20), exchangeScript);
    std::unique_ptr<SerialPort> port = openSerialPort(20);
    EXPECT_EQ(pauses.taken, (std::vector<std::uint32_t>{50, 500})) << "purge, then settle";
    expectExchange(*port, peer);
}

TEST_F(SerialPortTest, ShortReadsReturnTheCountThatArrivedAndReadsThatGetNothingFail) {
    PtyPeer peer(dir, mapPort(21), "wait:1 send:11 sleep:50 send:22");
    std::unique_ptr<SerialPort> port = openSerialPort(21);
    port->writeByte(0x01);
    std::uint8_t answer[3] = {};
    EXPECT_EQ(port->readBuffer(answer, 3), 2u) << "a short read without a line error returns the count";
    EXPECT_EQ(answer[0], 0x11);
    EXPECT_EQ(answer[1], 0x22) << "the read collects what came late";
    EXPECT_EQ(raisedBy([&] { port->readBuffer(answer, 1); }), readError("readBuffer --  ", 21));
    EXPECT_EQ(raisedBy([&] { port->readByte(); }), readError("readByte -- ", 21) + " No Byte arrived.");
    EXPECT_EQ(raisedBy([&] { port->readBuffer(answer, 0); }), readError("readBuffer --  ", 21))
        << "a count of 0 reads nothing and fails like a silent line";
}

TEST_F(SerialPortTest, WritesAndReadsFailOnceThePeerIsGone) {
    auto peer = std::make_unique<PtyPeer>(dir, mapPort(24));
    std::unique_ptr<SerialPort> port = openSerialPort(24);
    peer.reset();
    const std::uint8_t byte = 0x1B;
    EXPECT_EQ(raisedBy([&] { port->writeBuffer(&byte, 1); }),
              "CannotWriteToPort: " + portClass + "::writeBuffer -- Error while writing Buffer to port \"" +
                  portName(24) + "\".");
    EXPECT_THROW(port->readByte(), PortExceptions::CannotReadFromPort);
}

TEST_F(SerialPortTest, PortsWithNothingBehindThemAreInitializationErrorsWithoutWaiting) {
    const std::string head =
        "ErrorOnInitialization: " + portClass + "::initializePort --  Error while reading Settings for Port \"";
    EXPECT_EQ(raisedBy([] { openSerialPort(unmapped); }), head + unmappedName + "\" ")
        << "a number without a mapping is a port that does not exist";
    mapPort(22);  // to a path where nothing is
    EXPECT_EQ(raisedBy([] { openSerialPort(22); }), head + portName(22) + "\" ");
    EXPECT_TRUE(pauses.taken.empty());
#ifdef _WIN32
    removeLink(comLink(22));
#else
    EXPECT_EQ(raisedBy([&] { PosixSerialPort port(dir.path()); }).rfind("ErrorOnInitialization: ", 0), 0u)
        << "a folder is no serial line";
#endif
}
