// The termios port against a pty peer. Most reads use a short read timing;
// two keep the line's real one (about 1.3 s per silent read).
#include <gtest/gtest.h>

#include <memory>

#include "PortTestSupport.h"
#include "PtyPeer.h"
#include "link/PortOpener.h"
#include "link/PosixSerialPort.h"

namespace {
const ReadTiming quick{20, 100};

class PosixSerialPortTest : public ::testing::Test {
protected:
    ~PosixSerialPortTest() override { clearPortPaths(); }
    std::string link() const { return dir.file("ttyNB"); }

    TempDir dir;
};
}  // namespace

TEST_F(PosixSerialPortTest, OpensThroughThePathTableAndExchangesBytes) {
    PtyPeer peer(dir, link(), exchangeScript);
    setPortPath(5, link());
    EXPECT_EQ(portPathFor(5), link());
    RecordedPauses pauses;

    std::unique_ptr<SerialPort> port = openSerialPort(5);
    EXPECT_EQ(pauses.taken(), (std::vector<std::uint32_t>{50, 500})) << "purge, then settle";

    expectExchange(*port, peer);
}

TEST_F(PosixSerialPortTest, ShortReadsReturnTheCountThatArrived) {
    PtyPeer peer(dir, link(), "wait:1 send:11 sleep:50 send:22");
    PosixSerialPort port(link(), quick);
    port.writeByte(0x01);
    std::uint8_t answer[5] = {};
    EXPECT_EQ(port.readBuffer(answer, 5), 2u) << "the second read collects what came late";
    EXPECT_EQ(answer[0], 0x11);
    EXPECT_EQ(answer[1], 0x22);
}

TEST_F(PosixSerialPortTest, ReadsThatGetNothingRaiseCannotReadFromPort) {
    PtyPeer peer(dir, link());
    PosixSerialPort port(link(), quick);
    std::uint8_t answer[2];
    const std::string head = "PosixSerialPort::readBuffer --  Error while reading from port \"" + link() + "\"";
    EXPECT_EQ(std::string(raisedBy<PortExceptions::CannotReadFromPort>([&] { port.readBuffer(answer, 0); }).description),
              head + ".")
        << "a count of 0 reads nothing and fails like a silent line";
    EXPECT_EQ(std::string(raisedBy<PortExceptions::CannotReadFromPort>([&] { port.readByte(); }).description),
              "PosixSerialPort::readByte -- Error while reading from port \"" + link() + "\". No Byte arrived.");
}

TEST_F(PosixSerialPortTest, SilentLineWithTheRealTimingRaisesTheReadBufferText) {
    PtyPeer peer(dir, link());
    PosixSerialPort port(link());
    std::uint8_t answer[1];
    const NBException raised = raisedBy<PortExceptions::CannotReadFromPort>([&] { port.readBuffer(answer, 1); });
    EXPECT_EQ(raised.code, 12);
    EXPECT_EQ(std::string(raised.description),
              "PosixSerialPort::readBuffer --  Error while reading from port \"" + link() + "\".");
}

TEST_F(PosixSerialPortTest, PeerGoneMakesWritesFail) {
    auto peer = std::make_unique<PtyPeer>(dir, link());
    PosixSerialPort port(link(), quick);
    peer.reset();
    const std::uint8_t byte = 0x1B;
    EXPECT_EQ(std::string(raisedBy<PortExceptions::CannotWriteToPort>([&] { port.writeBuffer(&byte, 1); }).description),
              "PosixSerialPort::writeBuffer -- Error while writing Buffer to port \"" + link() + "\".");
    EXPECT_THROW(port.readByte(), PortExceptions::CannotReadFromPort);
}

TEST_F(PosixSerialPortTest, PortsWithoutADeviceAreInitializationErrors) {
    EXPECT_EQ(std::string(raisedBy<PortExceptions::ErrorOnInitialization>([] { openSerialPort(7); }).description),
              "PosixSerialPort::initializePort --  Error while reading Settings for Port \"COM7\" ")
        << "a number without a path is a port that does not exist";

    setPortPath(8, dir.file("nothing-here"));
    EXPECT_EQ(std::string(raisedBy<PortExceptions::ErrorOnInitialization>([] { openSerialPort(8); }).description),
              "PosixSerialPort::initializePort --  Error while reading Settings for Port \"" +
                  dir.file("nothing-here") + "\" ");

    EXPECT_EQ(raisedBy<PortExceptions::ErrorOnInitialization>([&] { PosixSerialPort port(dir.path()); }).code, 13)
        << "a folder is no serial line";
}
