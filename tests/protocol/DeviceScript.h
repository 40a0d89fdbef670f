#pragma once
// A byte-scripted device for wire tests. The script is the exchange as the
// wire pictures draw it: what the PC writes, then what the device answers.
// A device answer becomes readable once the PC has written every byte
// scripted before it; a read with nothing readable fails like a time-out.
// Every port operation is logged, so tests can compare whole exchanges,
// including which bytes went out in one write.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/SerialPort.h"

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text);
Bytes operator+(Bytes left, const Bytes& right);

class DeviceScript {
public:
    DeviceScript& pc(const Bytes& bytes);
    DeviceScript& device(const Bytes& bytes);

    // A port on this script; the log notes "open" and, when it is
    // destroyed, "close". A port opener can hand these out.
    std::unique_ptr<SerialPort> openPort();

    // The log: "open", "close", "purge", "08" for a single-byte write,
    // "[05 00 41]" for one writeBuffer call.
    std::vector<std::string> log() const;
    // Only the writes of the log.
    std::vector<std::string> writes() const;
    Bytes written() const;
    Bytes scriptedPc() const;
    std::size_t unreadDeviceBytes() const;
    int openPorts() const;
    // Makes the next writes fail (CannotWriteToPort) until cleared.
    void failWrites(bool fail);

private:
    friend class ScriptedPort;
    struct Chunk {
        std::size_t afterWritten;
        Bytes bytes;
    };
    void releaseDue();

    mutable std::mutex mutex_;
    std::vector<Chunk> chunks_;
    std::size_t nextChunk_ = 0;
    std::size_t scriptedPcBytes_ = 0;
    Bytes scriptedPc_;
    Bytes readable_;
    std::size_t readPosition_ = 0;
    Bytes written_;
    std::vector<std::string> log_;
    int openPorts_ = 0;
    bool failWrites_ = false;
};

// Hex text of bytes, "06 16", for failure messages and the log.
std::string hexOf(const Bytes& bytes);
