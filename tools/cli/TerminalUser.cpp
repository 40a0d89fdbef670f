#include "TerminalUser.h"

#include <cctype>
#include <cstdio>
#include <iostream>

#include "Messages.h"
#include "ProgressBar.h"

namespace {

// The file's bar, drawn from what the transfer reports.
class TerminalDisplay final : public ProgressDisplay {
public:
    // The transfer reports percents; the bar shows bytes, for its rate.
    TerminalDisplay(const std::string& label, std::uint32_t size) : bar_(label), size_(size) {}
    void show(const ProgressUpdate& update) override {
        bar_.draw(size_,
                  static_cast<std::uint32_t>(std::uint64_t{size_} * static_cast<std::uint32_t>(update.fileBar) / 100));
    }
    void fillFileBar() override { bar_.draw(size_, size_); }
    void bringToFront() override {}
    void close() override { bar_.finish(); }

private:
    ProgressBar bar_;
    std::uint32_t size_;
};

}  // namespace

OverwriteAnswer askAtTerminal(const std::string& question) {
    std::fprintf(stderr, "%s Overwrite? [y]es, [n]o, [a]ll, [q]uit: ", question.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) {
        std::fputs("(no answer)\n", stderr);
        return OverwriteAnswer::Cancel;
    }
    // An answer that came from a pipe is not echoed by a terminal: shown
    // here, so question and answer read as two lines.
    if (!stdinIsTerminal()) std::fprintf(stderr, "%s\n", printable(line).c_str());
    switch (line.empty() ? 'n' : std::tolower(static_cast<unsigned char>(line[0]))) {
        case 'y':
            return OverwriteAnswer::Yes;
        case 'a':
            return OverwriteAnswer::YesToAll;
        case 'q':
            return OverwriteAnswer::Cancel;
        default:
            return OverwriteAnswer::No;
    }
}

TerminalUser::TerminalUser(std::string deviceLabel, OverwriteChoice choice, bool verbose)
    : deviceLabel_(std::move(deviceLabel)), choice_(choice), verbose_(verbose) {}

// Both are only ever shown, as every name is: escaped, the device's in UTF-8.
void TerminalUser::startFile(const std::string& path, const std::string& deviceName, std::uint32_t size) {
    size_ = size;
    path_ = printable(path);
    deviceName_ = shownName(deviceName);
}

OverwriteAnswer TerminalUser::askOverwrite(const std::string&) {
    if (choice_ == OverwriteChoice::Never) {
        std::printf("Skipped %s: \"%s\" already exists on %s\n", path_.c_str(), deviceName_.c_str(),
                    deviceLabel_.c_str());
        return OverwriteAnswer::No;
    }
    const OverwriteAnswer answer = askAtTerminal("\"" + deviceName_ + "\" already exists on " + deviceLabel_ + ".");
    if (answer == OverwriteAnswer::No) std::printf("Skipped %s\n", path_.c_str());
    return answer;
}

void TerminalUser::tell(const TransferMessage& message) {
    ++failures_;
    const bool full = message.notice == TransferNotice::DeviceRefusedForSpace;
    std::fprintf(stderr, "nimbrel: cannot copy %s to %s: %s.\n", path_.c_str(), deviceLabel_.c_str(),
                 reasonFor(full ? ErrorCode::NotEnoughMemory : message.code).c_str());
    if (verbose_ && message.code != 0) std::fprintf(stderr, "  (error %d)\n", message.code);
}

std::unique_ptr<ProgressDisplay> TerminalUser::makeProgressDisplay(TransferProgress&) {
    return std::make_unique<TerminalDisplay>(deviceName_, size_);
}
