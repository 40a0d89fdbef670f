#pragma once
// A device line on a pseudo-terminal: the simulator holds the master end,
// the PC opens the slave through a symlink at a path of the caller's choice.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include "DeviceLine.h"

namespace devsim {

class PtyLine : public DeviceLine {
public:
    // Opens a pseudo-terminal in raw mode and points `linkPath` at its
    // slave (replacing whatever the link pointed at, atomically). Reads
    // raise LineClosed once `stopping` is set. Raises std::runtime_error.
    PtyLine(std::filesystem::path linkPath, const std::atomic<bool>& stopping);
    // Removes the link if it still points at this terminal.
    ~PtyLine() override;
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    std::optional<std::uint8_t> read(Milliseconds timeout) override;
    void write(const std::uint8_t* bytes, std::size_t count) override;
    std::chrono::steady_clock::time_point arrivedAt() const override { return lastActivity_.load(); }

    const std::string& slavePath() const { return slavePath_; }
    // When the PC last sent a byte (or when the line was opened).
    std::chrono::steady_clock::time_point lastActivity() const { return lastActivity_.load(); }

private:
    std::filesystem::path linkPath_;
    const std::atomic<bool>& stopping_;
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::uint8_t buffer_[256] = {};
    std::size_t buffered_ = 0;
    std::size_t position_ = 0;
    std::atomic<std::chrono::steady_clock::time_point> lastActivity_;
};

}  // namespace devsim
