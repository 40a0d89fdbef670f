#include "ProgressBar.h"

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
    constexpr int width = 30;
    const double fraction = total == 0 || total == 0xFFFFFFFFu ? 0.0 : double(done) / double(total);
    const int filled = static_cast<int>((fraction > 1.0 ? 1.0 : fraction) * width);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0.05 ? done / seconds : 0.0;
    std::fprintf(stderr, "\r%-24.24s [%.*s%.*s] %3d%%  %6.1f kB/s", label_.c_str(), filled,
                 "##############################", width - filled, "------------------------------",
                 static_cast<int>(fraction * 100.0), rate / 1000.0);
    std::fflush(stderr);
    drawn_ = true;
}
