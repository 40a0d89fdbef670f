// An editor's Open dialog, as a user meets the Nimbrel folder from another
// program: the common file dialog of the system, opened on the Nimbrel
// folder. Exits 0 when a file was chosen, 1 when the dialog was cancelled.
#include "shell/NimbrelClassId.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>

namespace {

// The dialog's own browser (WM_GETISHELLBROWSER) goes to the Nimbrel folder
// once the dialog is up, as if the user had picked it on the desktop.
UINT_PTR CALLBACK startInNimbrel(HWND child, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_NOTIFY || reinterpret_cast<const OFNOTIFYW*>(lParam)->hdr.code != CDN_INITDONE) return 0;
    auto* browser = reinterpret_cast<IShellBrowser*>(SendMessageW(GetParent(child), WM_USER + 7, 0, 0));
    const std::wstring name = std::wstring(L"::") + nimbrelClassIdText;
    PIDLIST_ABSOLUTE folder = nullptr;
    if (browser && SUCCEEDED(SHParseDisplayName(name.c_str(), nullptr, &folder, 0, nullptr))) {
        browser->BrowseObject(folder, SBSP_ABSOLUTE);
        CoTaskMemFree(folder);
    }
    return 0;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.lpstrFile = file;
    open.nMaxFile = MAX_PATH;
    open.lpstrTitle = L"Open from a braille device";
    open.Flags = OFN_EXPLORER | OFN_ENABLEHOOK;
    open.lpfnHook = &startInNimbrel;
    const BOOL chosen = GetOpenFileNameW(&open);
    CoUninitialize();
    return chosen ? 0 : 1;
}
