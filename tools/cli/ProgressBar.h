#pragma once
// A one-line progress bar on stderr for transfers, shown only when stderr
// is a terminal, so scripts and logs get none of it.
#include <chrono>
#include <string>

#include "protocol/TransferCallbacks.h"

class ProgressBar {
public:
    explicit ProgressBar(std::string label);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // The callback to hand to a transfer.
    ProgressCallback callback();
    // Draws the bar at 100 % and ends its line.
    void finish();
    void draw(std::uint32_t total, std::uint32_t done);

private:
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
};

bool stderrIsTerminal();
bool stdinIsTerminal();
