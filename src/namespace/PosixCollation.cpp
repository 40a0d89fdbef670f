// POSIX: the C library's collation of the current locale (LC_COLLATE),
// applied to the case-folded texts. Texts are folded as wide characters so
// multibyte letters fold too; a text that is not valid in the locale's
// encoding is folded byte by byte instead.
#include "namespace/Collation.h"

#include <cctype>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <optional>

namespace {

std::optional<std::wstring> foldWide(const std::string& text) {
    std::mbstate_t state{};
    std::wstring folded;
    const char* next = text.c_str();
    const char* const end = next + text.size();
    while (next < end) {
        wchar_t wide = 0;
        const std::size_t used = std::mbrtowc(&wide, next, static_cast<std::size_t>(end - next), &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) || used == 0) {
            return std::nullopt;
        }
        folded.push_back(static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(wide))));
        next += used;
    }
    return folded;
}

std::string foldBytes(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

}  // namespace

int collateIgnoringCase(const std::string& a, const std::string& b) {
    const auto wideA = foldWide(a);
    const auto wideB = foldWide(b);
    if (wideA && wideB) return std::wcscoll(wideA->c_str(), wideB->c_str());
    return std::strcoll(foldBytes(a).c_str(), foldBytes(b).c_str());
}
