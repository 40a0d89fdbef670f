#pragma once
// The user of a transfer in the shell: dialog 112 for the overwrite
// question and message boxes from the string table for failures, all owned
// by the window that started the transfer, and the progress dialog, which
// hands the focus back to that window.
#include "transfer/ProgressDialog.h"
#include "transfer/TransferUser.h"

#include <windows.h>

class ShellTransferUser final : public TransferUser {
public:
    // `owner` started the transfer; null when no window did.
    explicit ShellTransferUser(HWND owner) : owner_(owner) {}

    OverwriteAnswer askOverwrite(const std::string& name) override;
    void tell(const TransferMessage& message) override;
    std::unique_ptr<ProgressDisplay> makeProgressDisplay(TransferProgress& progress) override;

private:
    HWND owner_;
};

// The window of a transfer's progress dialog; null when it has none (yet).
HWND progressWindowOf(const TransferProgress& progress);
