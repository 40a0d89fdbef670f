#include "DeviceLine.h"

#include <algorithm>
#include <thread>

namespace devsim {

std::optional<std::uint8_t> PacedLine::read(Milliseconds timeout) {
    std::optional<std::uint8_t> byte = inner_.read(timeout);
    if (byte) receivedUntil_ = std::max(inner_.arrivedAt(), receivedUntil_) + byteTime;
    return byte;
}

void PacedLine::write(const std::uint8_t* bytes, std::size_t count) {
    // Not before the PC's last byte is in; later only for a device that
    // speaks after a pause of its own (monitor output).
    lineFreeAt_ =
        std::max({lineFreeAt_, receivedUntil_, Clock::now() - answerLatitude}) + byteTime * static_cast<long>(count);
    std::this_thread::sleep_until(lineFreeAt_);
    inner_.write(bytes, count);
}

}  // namespace devsim
