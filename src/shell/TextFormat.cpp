#include "shell/TextFormat.h"

#include <windows.h>

#include <cwctype>

namespace {

std::wstring toWide(std::string_view text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string fromWide(std::wstring_view text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrowed(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, narrowed.data(), length, nullptr, nullptr);
    return narrowed;
}

}  // namespace

std::wstring widen(std::string_view text) {
    return toWide(text, CP_ACP);
}

std::string narrow(std::wstring_view text) {
    return fromWide(text, CP_ACP);
}

std::wstring widenUtf8(std::string_view text) {
    return toWide(text, CP_UTF8);
}

std::string narrowUtf8(std::wstring_view text) {
    return fromWide(text, CP_UTF8);
}

std::wstring TextArg::asText() const {
    if (const auto* number = std::get_if<long long>(&value_)) {
        return std::to_wstring(*number);
    }
    return std::get<std::wstring>(value_);
}

namespace {

// Pads a converted field to its width: blanks on the left, on the right for
// '-', or zeros after the sign for '0'.
std::wstring pad(std::wstring field, size_t width, bool leftAlign, bool zeros) {
    if (field.size() >= width) {
        return field;
    }
    const size_t missing = width - field.size();
    if (leftAlign) {
        return field + std::wstring(missing, L' ');
    }
    if (zeros) {
        const size_t signLength = (!field.empty() && field[0] == L'-') ? 1 : 0;
        field.insert(signLength, missing, L'0');
        return field;
    }
    return std::wstring(missing, L' ') + field;
}

}  // namespace

std::wstring fillText(std::wstring_view pattern, std::initializer_list<TextArg> args) {
    std::wstring out;
    auto next = args.begin();
    size_t i = 0;
    while (i < pattern.size()) {
        const wchar_t c = pattern[i];
        if (c != L'%') {
            out += c;
            ++i;
            continue;
        }
        size_t j = i + 1;
        if (j < pattern.size() && pattern[j] == L'%') {
            out += L'%';
            i = j + 1;
            continue;
        }
        bool leftAlign = false;
        bool zeros = false;
        for (; j < pattern.size() && (pattern[j] == L'-' || pattern[j] == L'0'); ++j) {
            (pattern[j] == L'-' ? leftAlign : zeros) = true;
        }
        size_t width = 0;
        for (; j < pattern.size() && std::iswdigit(pattern[j]); ++j) {
            width = width * 10 + static_cast<size_t>(pattern[j] - L'0');
        }
        const wchar_t conversion = j < pattern.size() ? pattern[j] : L'\0';
        if (conversion != L's' && conversion != L'd' && conversion != L'i' && conversion != L'u') {
            out += pattern.substr(i, j - i);
            i = j;
            continue;
        }
        std::wstring field;
        if (next != args.end()) {
            field = (next++)->asText();
        }
        out += pad(std::move(field), width, leftAlign, zeros && conversion != L's');
        i = j + 1;
    }
    return out;
}
