#include "transfer/OverwriteDialog.h"

#include "resources/resource.h"
#include "shell/ActivationContext.h"
#include "shell/ModuleState.h"
#include "shell/Prompt.h"

#include <windows.h>

namespace {

constexpr std::size_t questionLength = 500;

// Ends the dialog and repaints what lay under it at once.
void endWith(HWND dialog, INT_PTR result) {
    RECT area{};
    GetWindowRect(dialog, &area);
    EndDialog(dialog, result);
    InvalidateRect(nullptr, &area, FALSE);
}

INT_PTR CALLBACK questionProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const std::wstring& name = *reinterpret_cast<const std::wstring*>(lParam);
            const std::size_t split = name.rfind(L'\\');
            std::wstring question =
                prompt::formatText(IDS_ASK_OVERWRITE, {split == std::wstring::npos ? name : name.substr(split + 1)});
            question.resize(std::min(question.size(), questionLength));
            SetDlgItemTextW(dialog, IDC_QUESTION, question.c_str());
            SetForegroundWindow(dialog);
            return TRUE;
        }
        case WM_COMMAND:
            endWith(dialog, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            endWith(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

HWND visibleOwner(HWND window) noexcept {
    const HWND root = window && IsWindow(window) ? GetAncestor(window, GA_ROOT) : nullptr;
    return root && IsWindowVisible(root) ? root : nullptr;
}

OverwriteAnswer askOverwrite(const std::wstring& name, HWND owner) {
    const ScopedActivation controls;
    const INT_PTR answer = DialogBoxParamW(moduleState().resourceModule(), MAKEINTRESOURCEW(IDD_OVERWRITE),
                                           visibleOwner(owner), questionProcedure, reinterpret_cast<LPARAM>(&name));
    switch (answer) {
        case IDC_OVERWRITE_YES:
            return OverwriteAnswer::Yes;
        case IDC_OVERWRITE_ALL:
            return OverwriteAnswer::YesToAll;
        case IDC_OVERWRITE_NO:
            return OverwriteAnswer::No;
        case IDC_OVERWRITE_CANCEL:
            return OverwriteAnswer::Cancel;
        default:
            return OverwriteAnswer::Closed;
    }
}
