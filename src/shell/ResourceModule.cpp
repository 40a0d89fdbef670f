#include "shell/ResourceModule.h"

#include "shell/RegisteredServer.h"

#include <vector>

bool wantsGermanResources(LANGID language) noexcept {
    return PRIMARYLANGID(language) == LANG_GERMAN;
}

std::wstring folderOf(const std::wstring& path) {
    const size_t backslash = path.rfind(L'\\');
    return backslash == std::wstring::npos ? std::wstring() : path.substr(0, backslash);
}

std::wstring modulePath(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

HMODULE loadGermanSatellite(HMODULE server, LANGID language) {
    if (!wantsGermanResources(language)) {
        return nullptr;
    }
    // A bare name would be searched for along the DLL search path, current
    // directory included; without a registered folder we use our own.
    std::wstring folder = folderOf(registeredServerPath());
    if (folder.empty()) {
        folder = folderOf(modulePath(server));
    }
    if (folder.empty()) {
        return nullptr;
    }
    // Texts, menus and dialogs only: none of its code runs.
    return LoadLibraryExW((folder + L"\\NimbrelDEU.dll").c_str(), nullptr,
                          LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
}
