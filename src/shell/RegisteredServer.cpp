#include "shell/RegisteredServer.h"

#include "shell/NimbrelClassId.h"

#include <windows.h>

#include <cwchar>

std::wstring registeredServerPath() {
    const std::wstring path = std::wstring(L"CLSID\\") + nimbrelClassIdText + L"\\InprocServer32";
    DWORD size = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size < sizeof(wchar_t)) {
        return {};
    }
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}
