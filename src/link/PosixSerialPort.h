#pragma once
// A serial device on a POSIX system (termios), set up like a COM port of
// the Korvel family: 19200 baud, 8 data bits, odd parity, 1 stop bit, raw.
// Reads and errors follow the same rules and texts as on Windows; the device
// path stands where Windows shows "\\.\COM<n>".
#include <cstdint>
#include <string>

#include "link/BasicSerialPort.h"
#include "link/PosixFd.h"

// Port numbers mean nothing on POSIX by themselves: the program (the CLI,
// a test) says which device path stands for which number.
void setPortPath(int portNumber, std::string devicePath);
void clearPortPaths();
// Empty when no path is set for the number.
std::string portPathFor(int portNumber);

// How long one read call waits: perByteMs for every requested byte plus
// constantMs. The family's line uses 300 and 1000.
struct ReadTiming {
    std::uint32_t perByteMs = 300;
    std::uint32_t constantMs = 1000;
};

class PosixSerialPort : public BasicSerialPort {
public:
    // Opens the path set for `portNumber`; a number without a path is
    // reported like a COM port that does not exist (ErrorOnInitialization).
    explicit PosixSerialPort(int portNumber, ReadTiming timing = ReadTiming());
    // Opens a device path directly.
    explicit PosixSerialPort(const std::string& devicePath, ReadTiming timing = ReadTiming());
    ~PosixSerialPort() override;

    void purgeBuffers() override;
    void writeBuffer(const std::uint8_t* bytes, std::uint32_t count) override;

    // True when the device refused the parity request (a pseudo-terminal
    // may) and the line runs without parity.
    bool parityDropped() const { return parityDropped_; }

protected:
    std::uint32_t readOnce(std::uint8_t* bytes, std::uint32_t count, bool* callFailed) override;
    // termios does not report line errors word by word: always 0.
    std::uint32_t takeLineErrors() override;

private:
    PosixSerialPort(int portNumber, const std::string& deviceName, const std::string& path, ReadTiming timing);
    void initializePort(int portNumber, const std::string& path);
    void configure();

    UniqueFd fd_;
    ReadTiming timing_;
    bool parityDropped_ = false;
};
