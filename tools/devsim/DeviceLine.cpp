#include "DeviceLine.h"

#include <algorithm>
#include <thread>

namespace devsim {

std::optional<std::uint8_t> PacedLine::read(Milliseconds timeout) {
    std::optional<std::uint8_t> byte = inner_.read(timeout);
    if (!byte) return byte;
    receivedUntil_ = std::max(inner_.arrivedAt(), receivedUntil_) + byteTime;
    std::this_thread::sleep_until(receivedUntil_);
    return byte;
}

void PacedLine::write(const std::uint8_t* bytes, std::size_t count) {
    // Not before the PC's last byte is in; a later start only for a device
    // that speaks after a real pause of its own (monitor output).
    lineFreeAt_ = std::max({lineFreeAt_, receivedUntil_, Clock::now() - answerLatitude});
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
