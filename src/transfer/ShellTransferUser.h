#pragma once
// The user of a transfer in the shell: dialog 112 for the overwrite
// question, message boxes from the string table for failures (owned by the
// folder's window, or by none for device-to-device jobs), and the progress
// dialog.
#include "transfer/ProgressDialog.h"
#include "transfer/TransferUser.h"

#include <windows.h>

class ShellTransferUser final : public TransferUser {
public:
    // `owner` owns the messages that name a window.
    explicit ShellTransferUser(HWND owner) : owner_(owner) {}

    OverwriteAnswer askOverwrite(const std::string& name) override;
    void tell(const TransferMessage& message) override;
    std::unique_ptr<ProgressDisplay> makeProgressDisplay(TransferProgress& progress) override;

private:
    HWND owner_;
};

// The window of a transfer's progress dialog; null when it has none (yet).
HWND progressWindowOf(const TransferProgress& progress);
