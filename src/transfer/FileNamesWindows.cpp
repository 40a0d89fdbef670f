#include "transfer/FileNames.h"

#include <windows.h>

std::string deviceNameForDisplay(const std::string& deviceName) {
    if (deviceName.empty()) return {};
    const int size = static_cast<int>(deviceName.size());
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, deviceName.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, deviceName.data(), size, wide.data(), wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, text.data(), length, nullptr, nullptr);
    return text;
}

std::optional<std::string> deviceNameFromLocal(const std::string& localName) {
    if (localName.empty()) return std::string();
    const int size = static_cast<int>(localName.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, localName.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, localName.data(), size, wide.data(), wideLength);
    BOOL usedDefault = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0, nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    std::string name(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, name.data(), length, nullptr, nullptr);
    return name;
}
