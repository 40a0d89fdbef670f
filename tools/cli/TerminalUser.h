#pragma once
// The user of an upload at the terminal, so that `put` follows the
// transfer core's own rule for files that exist already: the question on
// stdin (or answered by --overwrite and --no-overwrite), failures on stderr,
// a progress bar while a file goes.
#include <cstdint>
#include <string>

#include "Commands.h"
#include "transfer/TransferUser.h"

// Asks `question` ("... already exists on ...") and whether to overwrite,
// on stderr; the answer is read from stdin (none: Cancel).
OverwriteAnswer askAtTerminal(const std::string& question);

class TerminalUser final : public TransferUser {
public:
    TerminalUser(std::string deviceLabel, OverwriteChoice choice, bool verbose);

    // The file that goes next: its local path, its name on the device and its size.
    void startFile(const std::string& path, const std::string& deviceName, std::uint32_t size);
    // How many failures were told.
    int failures() const { return failures_; }

    OverwriteAnswer askOverwrite(const std::string& name) override;
    void tell(const TransferMessage& message) override;
    std::unique_ptr<ProgressDisplay> makeProgressDisplay(TransferProgress& progress) override;

private:
    std::string deviceLabel_;
    OverwriteChoice choice_;
    bool verbose_;
    std::string path_, deviceName_;
    int failures_ = 0;
    std::uint32_t size_ = 0;
};
