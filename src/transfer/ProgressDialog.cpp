#include "transfer/ProgressDialog.h"

#include "link/Pause.h"
#include "resources/resource.h"
#include "shell/ActivationContext.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"
#include "transfer/OverwriteDialog.h"
#include "transfer/TransferProgress.h"

#include <commctrl.h>

#include <cwchar>

namespace {

constexpr std::uint32_t startPause = 500;
// How the transfer closes its dialog; a WM_CLOSE comes from the user.
constexpr UINT closeByTransfer = WM_APP;

UINT captionText(ProgressUpdate::Caption caption) {
    switch (caption) {
        case ProgressUpdate::Caption::FileOfOne:
            return IDS_PROGRESS_FILE;
        case ProgressUpdate::Caption::FilesOfMany:
            return IDS_PROGRESS_FILES;
        default:
            return IDS_PROGRESS_DEVICE_COPY;
    }
}

std::wstring timeText(std::uint32_t seconds) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"%i:%02i:%02i", static_cast<int>(seconds / 3600), static_cast<int>(seconds % 3600 / 60),
                  static_cast<int>(seconds % 60));
    return text;
}

}  // namespace

ProgressDialog::ProgressDialog(TransferProgress& progress, bool severalFiles, HWND starter)
    : progress_(progress), severalFiles_(severalFiles), starter_(starter), thread_([this] { run(); }) {
    pauseFor(startPause);
    bringToFront();
    pauseFor(startPause);
}

ProgressDialog::~ProgressDialog() {
    close();
    if (thread_.joinable()) thread_.join();
}

void ProgressDialog::run() {
    const ScopedActivation controls;
    DialogBoxParamW(moduleState().resourceModule(),
                    MAKEINTRESOURCEW(severalFiles_ ? IDD_PROGRESS_MULTI : IDD_PROGRESS_SINGLE), nullptr,
                    dialogProcedure, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    // The system activated some other window as the dialog went: when it was
    // in front, the focus goes back where the work started.
    if (const HWND starter = visibleOwner(starter_); starter && wasInFront_) SetForegroundWindow(starter);
}

void ProgressDialog::endDialog(HWND dialog, ProgressDialog* self) {
    if (self) self->wasInFront_ = GetForegroundWindow() == dialog;
    EndDialog(dialog, 0);
}

INT_PTR CALLBACK ProgressDialog::dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ProgressDialog*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: {
            self = reinterpret_cast<ProgressDialog*>(lParam);
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            for (const int bar : {IDC_FILE_BAR, IDC_TOTAL_BAR}) {
                SendDlgItemMessageW(dialog, bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
                SendDlgItemMessageW(dialog, bar, PBM_SETPOS, 0, 0);
            }
            // Abort waits for the first report: until then there is nothing to cancel.
            EnableWindow(GetDlgItem(dialog, IDC_ABORT), FALSE);
            self->window_ = dialog;
            if (self->closing_) {
                endDialog(dialog, self);
            } else {
                SetForegroundWindow(dialog);
            }
            return TRUE;
        }
        case closeByTransfer:
            endDialog(dialog, self);
            return TRUE;
        case WM_CLOSE:
            // Closed by the user (Alt+F4): the transfer must not go on unseen.
            if (self) self->progress_.abort();
            endDialog(dialog, self);
            return TRUE;
        case WM_COMMAND:
            if (wParam == MAKEWPARAM(IDC_ABORT, BN_CLICKED) || LOWORD(wParam) == IDCANCEL) {
                if (self) self->progress_.abort();
                endDialog(dialog, self);
                return TRUE;
            }
            return FALSE;
        case WM_KEYUP:
            if (wParam == VK_ESCAPE && self) {
                self->progress_.abort();
                endDialog(dialog, self);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void ProgressDialog::show(const ProgressUpdate& update) {
    const HWND dialog = window_;
    if (!dialog) return;
    SetDlgItemTextW(dialog, IDC_FILE_NAME, widenUtf8(update.name).c_str());
    if (update.setFileBar) SendDlgItemMessageW(dialog, IDC_FILE_BAR, PBM_SETPOS, update.fileBar, 0);
    if (severalFiles_) SendDlgItemMessageW(dialog, IDC_TOTAL_BAR, PBM_SETPOS, update.totalBar, 0);
    const std::wstring caption =
        update.caption == ProgressUpdate::Caption::FileOfOne
            ? prompt::formatText(captionText(update.caption), {update.percent, widenUtf8(update.captionName)})
            : prompt::formatText(captionText(update.caption), {update.percent});
    SetWindowTextW(dialog, caption.c_str());
    SetDlgItemTextW(dialog, IDC_REMAINING_TIME, timeText(update.remainingSeconds).c_str());
    const HWND abort = GetDlgItem(dialog, IDC_ABORT);
    const bool becomesAvailable = update.abortEnabled && !IsWindowEnabled(abort);
    EnableWindow(abort, update.abortEnabled);
    // The one thing the user can do now gets the focus, so a screen reader says it.
    if (becomesAvailable) SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(abort), TRUE);
}

void ProgressDialog::fillFileBar() {
    if (const HWND dialog = window_) SendDlgItemMessageW(dialog, IDC_FILE_BAR, PBM_SETPOS, 100, 0);
}

void ProgressDialog::bringToFront() {
    if (const HWND dialog = window_) SetForegroundWindow(dialog);
}

void ProgressDialog::close() {
    closing_ = true;
    if (const HWND dialog = window_) PostMessageW(dialog, closeByTransfer, 0, 0);
}
