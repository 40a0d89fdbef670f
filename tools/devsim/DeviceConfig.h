#pragma once
// What a simulated device is (model, serial, firmware level, space, package
// size, monitor output) and which faults it is to show.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DeviceLine.h"

namespace devsim {

// How the device frames its monitor output: kind A opens with the 0xFE 0x37
// handshake and ends each line with 0xFE 0x47 <line> 0x00; kind B opens with
// 0x02 0x00 0x0D and sends each line as 0x02 <0x28 + line> <text> 0x0D.
enum class MonitorFrameKind { A, B };

struct MonitorLine {
    std::string text;
    std::uint8_t number = 0;
};

struct DeviceConfig {
    std::uint8_t typeCode = 0x78;         // 0x05, 0x72, 0x74, 0x78 are the file-capable models; 0x90 another kind
    std::string serial = "CV8-0001";      // the first 12 characters travel in the serial answer
    std::uint16_t protocolVersion = 2;    // 0: the device does not answer the version query
    std::uint32_t freeSpace = 4'000'000;  // bytes; uploads consume it, deletes free it
    std::size_t packageSize = 80;         // payload of the device's data packages, 1 to 80
    bool pacing = false;                  // hold the device's output to 19200 baud
    // How long the device waits for the PC's next byte inside a transaction
    // before it gives the transaction up.
    Milliseconds stepTimeout{2000};
    MonitorFrameKind monitorKind = MonitorFrameKind::A;
    std::vector<MonitorLine> monitorLines;  // sent once monitor mode is switched on
    // Pause after monitor mode is switched on before lines are sent, so the
    // PC's purge right after the switch does not swallow them.
    Milliseconds monitorDelay{200};
};

// Faults to show. Each counts its own events from the moment the faults are
// set (1 = the first such event afterwards) and fires once, except silence
// and the two hostile ones, which last until the faults are set again.
struct Faults {
    // Answer NAK with `code` in place of the device's `at`-th confirmation
    // (every ACK <byte> it would write, the answers to the MONITOR_MODE
    // switches included); with `confirming` set, only confirmations of that
    // byte are counted.
    struct Nak {
        unsigned at = 1;
        std::uint8_t code = 0;
        std::optional<std::uint8_t> confirming;
    };
    // Send only `delivered` payload bytes (and no SYNC) in the `at`-th data
    // package of a file list or download, after announcing its full length.
    struct ShortPackage {
        unsigned at = 1;
        std::uint16_t delivered = 0;
    };
    // Write `byte` in place of the `at`-th SYNC the device would write.
    struct WrongSync {
        unsigned at = 1;
        std::uint8_t byte = 0x17;
    };

    std::optional<Nak> nak;
    std::optional<unsigned> cancelDownloadAt;        // send CANCEL_UPLOAD in place of this download package
    std::optional<std::uint64_t> silenceAfterBytes;  // after writing this many bytes, never answer again
    std::optional<ShortPackage> shortPackage;
    std::optional<WrongSync> wrongSync;
    // Hostile: every file list goes on after its records with packages
    // without data, for as long as the PC takes them.
    bool endlessList = false;
    // Hostile: every download sends this many bytes beyond the file's size.
    std::uint32_t extraBytes = 0;
};

}  // namespace devsim
