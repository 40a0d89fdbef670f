#include "DeviceLine.h"

#include <thread>

namespace devsim {

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
