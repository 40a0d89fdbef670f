#pragma once
// The progress dialog of one transfer: dialog 121 for a single file, 123
// for several, run on a thread of its own without an owner (an owner would
// be disabled while it runs); when it closes in front, the window that
// started the transfer gets the focus back. The
// transferring threads update it through window calls; Abort (the button,
// Escape, or closing the dialog) tells the transfer.
#include "transfer/TransferUser.h"

#include <windows.h>

#include <atomic>
#include <thread>

class ProgressDialog final : public ProgressDisplay {
public:
    // Returns once the dialog had time to come up and take the focus (it
    // waits 500 ms twice): the transfer starts after that.
    ProgressDialog(TransferProgress& progress, bool severalFiles, HWND starter = nullptr);
    // Closes the dialog and waits for its thread.
    ~ProgressDialog() override;

    void show(const ProgressUpdate& update) override;
    void fillFileBar() override;
    void bringToFront() override;
    void close() override;

    // The dialog's window; null before it is up and after it ended.
    HWND window() const { return window_.load(); }

private:
    static void endDialog(HWND dialog, ProgressDialog* self);
    static INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void run();

    TransferProgress& progress_;
    const bool severalFiles_;
    const HWND starter_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> closing_{false};
    bool wasInFront_ = false;  // the dialog's thread only
    std::thread thread_;
};
