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
