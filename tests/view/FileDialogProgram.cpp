// An editor's Open dialog, as a user meets the Nimbrel folder from another
// program: the system's common file dialog opened on the Nimbrel folder,
// the item dialog of today's programs (IFileOpenDialog), or with "legacy"
// the older GetOpenFileNameW. Prints the chosen item's parsing name; exits
// 0 when one was chosen, 1 when the dialog was cancelled, 2 when it could
// not be shown.
#include "shell/NimbrelClassId.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const std::wstring nimbrel = std::wstring(L"::") + nimbrelClassIdText;
constexpr wchar_t title[] = L"Open from a braille device";

// The dialog's own browser (WM_GETISHELLBROWSER) goes to the Nimbrel folder
// once the dialog is up, as if the user had picked it on the desktop.
UINT_PTR CALLBACK startInNimbrel(HWND child, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_NOTIFY || reinterpret_cast<const OFNOTIFYW*>(lParam)->hdr.code != CDN_INITDONE) return 0;
    auto* browser = reinterpret_cast<IShellBrowser*>(SendMessageW(GetParent(child), WM_USER + 7, 0, 0));
    PIDLIST_ABSOLUTE folder = nullptr;
    if (browser && SUCCEEDED(SHParseDisplayName(nimbrel.c_str(), nullptr, &folder, 0, nullptr))) {
        browser->BrowseObject(folder, SBSP_ABSOLUTE);
        CoTaskMemFree(folder);
    }
    return 0;
}

int legacyDialog() {
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.lpstrFile = file;
    open.nMaxFile = MAX_PATH;
    open.lpstrTitle = title;
    open.Flags = OFN_EXPLORER | OFN_ENABLEHOOK;
    open.lpfnHook = &startInNimbrel;
    return GetOpenFileNameW(&open) ? 0 : 1;
}

int itemDialog() {
    IFileOpenDialog* dialog = nullptr;
    IShellItem* folder = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog)))) return 2;
    int result = 2;
    if (SUCCEEDED(SHCreateItemFromParsingName(nimbrel.c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
        dialog->SetTitle(title);
        dialog->SetFolder(folder);
        const HRESULT shown = dialog->Show(nullptr);
        IShellItem* chosen = nullptr;
        wchar_t* name = nullptr;
        result = 1;
        if (SUCCEEDED(shown) && SUCCEEDED(dialog->GetResult(&chosen)) &&
            SUCCEEDED(chosen->GetDisplayName(SIGDN_DESKTOPABSOLUTEPARSING, &name))) {
            std::printf("%ls\n", name);
            CoTaskMemFree(name);
            result = 0;
        }
        if (chosen) chosen->Release();
        folder->Release();
    }
    dialog->Release();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    CoInitialize(nullptr);
    const int result = argc > 1 && std::strcmp(argv[1], "legacy") == 0 ? legacyDialog() : itemDialog();
    CoUninitialize();
    return result;
}
