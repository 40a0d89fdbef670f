#pragma once
// The simulated device talks to the PC through a byte line: a blocking read
// with a time-out and a write. The in-process port and the pseudo-terminal
// program each provide one; pacing wraps either.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace devsim {

using Milliseconds = std::chrono::milliseconds;

// Raised by a line once the PC side is gone for good (port object destroyed,
// program stopping); it ends the device's session.
class LineClosed : public std::runtime_error {
public:
    LineClosed() : std::runtime_error("device line closed") {}
};

class DeviceLine {
public:
    virtual ~DeviceLine() = default;
    // Waits up to `timeout` for the next byte from the PC; nothing on time-out.
    virtual std::optional<std::uint8_t> read(Milliseconds timeout) = 0;
    virtual void write(const std::uint8_t* bytes, std::size_t count) = 0;
    // When the byte read last reached this end of the line; by default the
    // moment it was read.
    virtual std::chrono::steady_clock::time_point arrivedAt() const { return std::chrono::steady_clock::now(); }
};

// Holds both directions of the line to the real rate: 19200 baud with 11
// bits per byte (start, 8 data, parity, stop), so each byte takes 11/19200 s
// and a transfer takes its real time. A byte from the PC is in once its own
// wire time has passed after it arrived (or after the byte before it), since
// the PC's side of a pseudo-terminal has no rate; the device answers as soon
// as the PC's last byte is in, as the firmware does, and each of its writes
// is handed on whole when its last byte would be through. Everything runs on
// the line's own clock, with one wait per write: on a loaded machine the
// simulator's late wake-ups neither add up over a package nor delay answers.
class PacedLine : public DeviceLine {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration byteTime =
        std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(11'000'000'000LL / 19200));

    // How late the simulator may start a write and still have it timed
    // from the PC's last byte.
    static constexpr Clock::duration answerLatitude = std::chrono::milliseconds(2);

    explicit PacedLine(DeviceLine& inner) : inner_(inner) {}
    std::optional<std::uint8_t> read(Milliseconds timeout) override;
    void write(const std::uint8_t* bytes, std::size_t count) override;

private:
    DeviceLine& inner_;
    Clock::time_point lineFreeAt_{};
    Clock::time_point receivedUntil_{};
};

}  // namespace devsim
