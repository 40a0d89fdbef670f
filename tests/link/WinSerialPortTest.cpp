// WinSerialPort under Wine, on COM ports mapped to pty peers.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>

#include "PortTestSupport.h"
#include "PtyPeer.h"
#include "WinPortTestSupport.h"
#include "link/PortOpener.h"
#include "link/WinSerialPort.h"

namespace {
std::string readHead(int port) {
    return "WinSerialPort::readBuffer --  Error while reading from port \"\\\\.\\COM" + std::to_string(port) + "\"";
}

template <typename Action>
double secondsFor(Action action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

TEST(WinSerialPortTest, OpensAMappedPortAndExchangesBytes) {
    TempDir dir;
    PtyPeer peer(dir, comLink(20), exchangeScript);
    RecordedPauses pauses;
    std::unique_ptr<SerialPort> port = openSerialPort(20);
    EXPECT_EQ(pauses.taken(), (std::vector<std::uint32_t>{50, 500})) << "purge, then settle";
    EXPECT_EQ(static_cast<WinSerialPort&>(*port).deviceName(), "\\\\.\\COM20");
    EXPECT_FALSE(static_cast<WinSerialPort&>(*port).borrowed());

    expectExchange(*port, peer);
}

// The only test on the line's real read timing: a short read and the two
// "nothing arrived" texts.
TEST(WinSerialPortTest, ShortAndSilentReadsFollowTheReadRules) {
    TempDir dir;
    PtyPeer peer(dir, comLink(21), "wait:1 send:11");
    WinSerialPort port(21);
    port.writeByte(0x01);

    std::uint8_t answer[2] = {};
    std::uint32_t got = 0;
    const double shortRead = secondsFor([&] { got = port.readBuffer(answer, 2); });
    EXPECT_EQ(got, 1u) << "a short read without a line error returns the count";
    EXPECT_EQ(answer[0], 0x11);

    NBException silent = PortExceptions::CannotReadFromPort("");
    const double silentRead = secondsFor(
        [&] { silent = raisedBy<PortExceptions::CannotReadFromPort>([&] { port.readBuffer(answer, 1); }); });
    EXPECT_EQ(std::string(silent.description), readHead(21) + ".");

    NBException noByte = PortExceptions::CannotReadFromPort("");
    const double silentByte =
        secondsFor([&] { noByte = raisedBy<PortExceptions::CannotReadFromPort>([&] { port.readByte(); }); });
    EXPECT_EQ(std::string(noByte.description),
              "WinSerialPort::readByte -- Error while reading from port \"\\\\.\\COM21\". No Byte arrived.");

    EXPECT_EQ(std::string(raisedBy<PortExceptions::CannotReadFromPort>([&] { port.readBuffer(answer, 0); }).description),
              readHead(21) + ".")
        << "a count of 0 reads nothing and fails like a silent line";
    std::cout << "Wine read times: readBuffer(2) with 1 byte " << shortRead << " s, silent readBuffer(1) "
              << silentRead << " s, silent readByte " << silentByte << " s\n";
}

TEST(WinSerialPortTest, PortsWithNothingBehindThemAreInitializationErrors) {
    TempDir dir;
    pointLink(comLink(22), dir.file("nothing-here"));
    RecordedPauses pauses;
    EXPECT_EQ(std::string(raisedBy<PortExceptions::ErrorOnInitialization>([] { WinSerialPort port(22); }).description),
              "WinSerialPort::initializePort --  Error while reading Settings for Port \"\\\\.\\COM22\" ");
    EXPECT_EQ(raisedBy<PortExceptions::ErrorOnInitialization>([] { WinSerialPort port(38); }).code, 13)
        << "an unmapped port number does not exist and fails the same way";
    EXPECT_TRUE(pauses.taken().empty());
    removeLink(comLink(22));
}

TEST(WinSerialPortTest, RefusedOpenWithoutAHolderFailsAtOnce) {
    HolderTestLock lock;
    TempDir dir;
    pointLink(comLink(23), dir.path());  // Wine refuses a folder with "access denied"
    RecordedPauses pauses;
    EXPECT_EQ(std::string(raisedBy<PortExceptions::UnableToOpenPort>([] { WinSerialPort port(23); }).description),
              "WinSerialPort::initializePort --  Port \"\\\\.\\COM23\" can't be opened.");
    EXPECT_TRUE(pauses.taken().empty()) << "no holder, no waiting";
    removeLink(comLink(23));
}

TEST(WinSerialPortTest, WritesFailOnceThePeerIsGone) {
    TempDir dir;
    PtyPeer peer(dir, comLink(24));
    WinSerialPort port(24);
    peer.stop();
    const std::uint8_t byte = 0x1B;
    EXPECT_EQ(std::string(raisedBy<PortExceptions::CannotWriteToPort>([&] { port.writeBuffer(&byte, 1); }).description),
              "WinSerialPort::writeBuffer -- Error while writing Buffer to port \"\\\\.\\COM24\".");
}
