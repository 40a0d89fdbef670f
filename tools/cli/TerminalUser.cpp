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
    explicit TerminalDisplay(const std::string& label) : bar_(label) {}
    void show(const ProgressUpdate& update) override { bar_.draw(100, static_cast<std::uint32_t>(update.fileBar)); }
    void fillFileBar() override { bar_.draw(100, 100); }
    void bringToFront() override {}
    void close() override { bar_.finish(); }

private:
    ProgressBar bar_;
};

}  // namespace

TerminalUser::TerminalUser(std::string deviceLabel, OverwriteChoice choice, bool verbose)
    : deviceLabel_(std::move(deviceLabel)), choice_(choice), verbose_(verbose) {}

// Both are only ever shown, as every name is: escaped, the device's in UTF-8.
void TerminalUser::startFile(const std::string& path, const std::string& deviceName) {
    path_ = printable(path);
    deviceName_ = shownName(deviceName);
}

OverwriteAnswer TerminalUser::askOverwrite(const std::string&) {
    if (choice_ == OverwriteChoice::Never) {
        std::printf("Skipped %s: \"%s\" already exists on %s\n", path_.c_str(), deviceName_.c_str(),
                    deviceLabel_.c_str());
        return OverwriteAnswer::No;
    }
    std::fprintf(stderr, "\"%s\" already exists on %s. Overwrite? [y]es, [n]o, [a]ll, [q]uit: ", deviceName_.c_str(),
                 deviceLabel_.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) {
        std::fputc('\n', stderr);
        return OverwriteAnswer::Cancel;
    }
    switch (line.empty() ? 'n' : std::tolower(static_cast<unsigned char>(line[0]))) {
        case 'y':
            return OverwriteAnswer::Yes;
        case 'a':
            return OverwriteAnswer::YesToAll;
        case 'q':
            return OverwriteAnswer::Cancel;
        default:
            std::printf("Skipped %s\n", path_.c_str());
            return OverwriteAnswer::No;
    }
}

void TerminalUser::tell(const TransferMessage& message) {
    failed_ = true;
    const bool full = message.notice == TransferNotice::DeviceRefusedForSpace;
    std::fprintf(stderr, "nimbrel: cannot copy %s to %s: %s.\n", path_.c_str(), deviceLabel_.c_str(),
                 reasonFor(full ? ErrorCode::NotEnoughMemory : message.code).c_str());
    if (verbose_ && message.code != 0) std::fprintf(stderr, "  (error %d)\n", message.code);
}

std::unique_ptr<ProgressDisplay> TerminalUser::makeProgressDisplay(TransferProgress&) {
    return std::make_unique<TerminalDisplay>(deviceName_);
}
