#include "view/AboutBox.h"

#include "resources/resource.h"
#include "shell/Prompt.h"
#include "shell/RegisteredServer.h"

#include <vector>

std::string moduleVersionText(const std::string& modulePath) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(modulePath.c_str(), &handle);
    if (size == 0) {
        return {};
    }
    std::vector<char> block(size);
    char* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(modulePath.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\StringFileInfo\\000004b0\\FileVersion", reinterpret_cast<void**>(&value),
                        &length) ||
        !value) {
        return {};
    }
    std::string version;
    for (const char* c = value; *c != '\0' && c < value + length; ++c) {
        if (*c != ' ') {
            version += *c == ',' ? '.' : *c;
        }
    }
    return version;
}

void showAboutBox(HWND owner) {
    std::string path = narrow(registeredServerPath());
    if (path.empty()) {
        path = "Nimbrel.dll";
    }
    prompt::show(owner, IDS_ABOUT_TEXT, IDS_ABOUT_CAPTION, MB_OK | MB_ICONINFORMATION, {moduleVersionText(path)});
}
