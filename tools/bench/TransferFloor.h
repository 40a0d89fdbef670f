#pragma once
// The least time a transfer can take at 19200 baud: the bytes of its
// exchanges on the line (11 bits each) and the protocol's own fixed waits.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace floor19200 {

inline constexpr double byteSeconds = 11.0 / 19200.0;     // start, 8 data, parity, stop
inline constexpr double portOpenSeconds = 0.050 + 0.500;  // purge, then the settle wait

// Bytes on the line for one transaction's framing around its data: taking
// the port (0B 00 / 06 00), the command and its confirmation, the closing
// exchange and giving the port back (0B 00 / 06 02).
inline constexpr double switchBytes = 4 + 4;

inline double diskSpace() {
    return (switchBytes + 3 + 9 + 2) * byteSeconds + portOpenSeconds;
}

inline double download(std::uint32_t size, std::size_t nameLength) {
    double bytes = switchBytes + 3 + (2 + nameLength + 1) + 3;  // command, name package, SYNC
    for (std::uint32_t left = size; left > 0;) {
        const std::uint32_t n = left < 80 ? left : 80;
        bytes += 1 + 2 + (2 + n + 1) + 2;  // 03, 06 03, length+data+16, 06 16
        left -= n;
    }
    bytes += 1;  // END_OF_FILE
    return bytes * byteSeconds + portOpenSeconds;
}

// The free-space check is a transaction of its own, between two waits.
inline double upload(std::uint32_t size, std::size_t nameLength) {
    double bytes = switchBytes + 3 + (2 + 1 + nameLength + 3 + 1) + 2;  // 03, header, 06 16
    for (std::uint32_t left = size; left > 0;) {
        const std::uint32_t n = left < 78 ? left : 78;
        bytes += 1 + 2 + (2 + n + 1) + 2;
        left -= n;
    }
    bytes += 3;  // 04, 06 04
    return 0.500 + diskSpace() + 0.100 + bytes * byteSeconds + portOpenSeconds + 0.050;
}

// Confirmations the PC waits for, each a round trip on the line: taking
// the port, the command, the name, two per package, giving the port back.
inline double downloadRoundTrips(std::uint32_t size) {
    const std::uint32_t packages = (size + 79) / 80;
    return 4 + 2.0 * packages;
}

// The free-space check (three), then taking the port, the command, the
// header, two per package, the end and giving the port back.
inline double uploadRoundTrips(std::uint32_t size) {
    const std::uint32_t packages = (size + 77) / 78;
    return 3 + 5 + 2.0 * packages;
}

// A device-to-device job: the files received one after the other, each
// sent once it is in and the one before it is sent.
inline double pipelined(const std::vector<double>& receives, const std::vector<double>& sends) {
    double received = 0;
    double sent = 0;
    for (std::size_t i = 0; i < receives.size() && i < sends.size(); ++i) {
        received += receives[i];
        sent = std::max(sent, received) + sends[i];
    }
    return sent;
}

}  // namespace floor19200
