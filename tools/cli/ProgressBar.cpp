#include "ProgressBar.h"

#include <cmath>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

bool stderrIsTerminal() {
    return isatty(fileno(stderr)) != 0;
}

bool stdinIsTerminal() {
    return isatty(fileno(stdin)) != 0;
}

ProgressBar::ProgressBar(std::string label)
    : label_(std::move(label)), enabled_(stderrIsTerminal()), start_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
    if (drawn_) std::fputc('\n', stderr);
}

ProgressCallback ProgressBar::callback() {
    if (!enabled_) return {};
    return
        [this](const DeviceInfo*, std::uint32_t total, std::uint32_t done, double, std::int32_t) { draw(total, done); };
}

void ProgressBar::finish() {
    if (!drawn_) return;
    std::fputc('\n', stderr);
    drawn_ = false;
}

void ProgressBar::draw(std::uint32_t total, std::uint32_t done) {
    if (!enabled_) return;
    constexpr int width = 30;
    const double fraction = total == 0 || total == 0xFFFFFFFFu ? 0.0 : double(done) / double(total);
    const int filled = static_cast<int>((fraction > 1.0 ? 1.0 : fraction) * width);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0.05 ? done / seconds : 0.0;
    // The time left at the rate of the first second and after.
    char left[32] = "";
    if (seconds >= 1.0 && rate > 0 && fraction > 0 && fraction < 1) {
        const long seconds = std::lround((double(total) - double(done)) / rate);
        std::snprintf(left, sizeof left, "  %ld:%02ld left", seconds / 60, seconds % 60);
    }
    std::fprintf(stderr, "\r%-24.24s [%.*s%.*s] %3d%%  %6.1f kB/s%-12s", label_.c_str(), filled,
                 "##############################", width - filled, "------------------------------",
                 static_cast<int>(fraction * 100.0), rate / 1000.0, left);
    std::fflush(stderr);
    drawn_ = true;
}
