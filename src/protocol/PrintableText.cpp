#include "protocol/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace {

// One character of the text: a UTF-8 sequence, or one byte that is none.
struct Unit {
    std::size_t length = 1;
    char32_t codePoint = 0;
    bool utf8 = false;
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
Unit nextUnit(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {1, lead, true};
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {1, lead, false};
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high) return {1, lead, false};
    char32_t codePoint = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {1, lead, false};
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    return {length, codePoint, true};
}

bool unsafe(const Unit& unit) {
    if (!unit.utf8) return true;
    const char32_t c = unit.codePoint;
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string escaped(const Unit& unit) {
    char text[12];
    if (unit.length == 1)
        std::snprintf(text, sizeof text, "\\x%02X", static_cast<unsigned>(unit.codePoint));
    else
        std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(unit.codePoint));
    return text;
}

template <typename OnUnsafe>
std::string rewritten(std::string_view text, OnUnsafe&& onUnsafe) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Unit unit = nextUnit(text, at);
        if (unsafe(unit))
            result += onUnsafe(unit);
        else
            result.append(text.substr(at, unit.length));
        at += unit.length;
    }
    return result;
}

}  // namespace

std::string printable(std::string_view text) {
    return rewritten(text, escaped);
}

std::string unprintableReplaced(std::string_view text, char replacement) {
    return rewritten(text, [replacement](const Unit&) { return std::string(1, replacement); });
}

bool isPrintable(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Unit unit = nextUnit(text, at);
        if (unsafe(unit)) return false;
        at += unit.length;
    }
    return true;
}
