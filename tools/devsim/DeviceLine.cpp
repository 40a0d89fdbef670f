#include "DeviceLine.h"

#include <thread>

namespace devsim {

std::optional<std::uint8_t> PacedLine::read(Milliseconds timeout) {
    const auto asked = Clock::now();
    std::optional<std::uint8_t> byte = inner_.read(timeout);
    if (!byte) return byte;
    // A byte asked for right after the previous one arrived was already on
    // its way: it follows that one on the line's own clock, so the waits'
    // small oversleeps do not add up over a package.
    const bool lineBusy = asked - receivedUntil_ < std::chrono::microseconds(300);
    receivedUntil_ = (lineBusy ? receivedUntil_ : Clock::now()) + byteTime;
    std::this_thread::sleep_until(receivedUntil_);
    return byte;
}

void PacedLine::write(const std::uint8_t* bytes, std::size_t count) {
    if (lineFreeAt_ < Clock::now()) lineFreeAt_ = Clock::now();
    std::size_t sent = 0;
    while (sent < count) {
        std::this_thread::sleep_until(lineFreeAt_ + byteTime);
        // Hand on every byte whose transmission has finished by now, at least one.
        const auto now = Clock::now();
        std::size_t due = 1;
        while (sent + due < count && lineFreeAt_ + byteTime * static_cast<long>(due + 1) <= now) ++due;
        inner_.write(bytes + sent, due);
        sent += due;
        lineFreeAt_ += byteTime * static_cast<long>(due);
    }
}

}  // namespace devsim
