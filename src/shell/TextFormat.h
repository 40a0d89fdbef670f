#pragma once
// printf-style filling of the string table's texts (%s, %d, %i, %u with
// flags '-' and '0', a width, and %%), type-safe: each value says what it
// is, so a text whose translation mixes up its fields shows a wrong value
// rather than crashing.
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

// Conversions between the ANSI code page (device names, file names, the A
// functions of the platform) and the wide texts of the resources.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);
// The same for UTF-8 (local paths).
std::wstring widenUtf8(std::string_view text);
std::string narrowUtf8(std::wstring_view text);

class TextArg {
public:
    TextArg(int value) : value_(static_cast<long long>(value)) {}
    TextArg(long value) : value_(static_cast<long long>(value)) {}
    TextArg(long long value) : value_(value) {}
    TextArg(unsigned value) : value_(static_cast<long long>(value)) {}
    TextArg(unsigned long value) : value_(static_cast<long long>(value)) {}
    TextArg(unsigned long long value) : value_(static_cast<long long>(value)) {}
    TextArg(const char* text) : value_(widen(text ? text : "")) {}
    TextArg(std::string_view text) : value_(widen(text)) {}
    TextArg(const std::string& text) : value_(widen(text)) {}
    TextArg(const wchar_t* text) : value_(std::wstring(text ? text : L"")) {}
    TextArg(std::wstring_view text) : value_(std::wstring(text)) {}
    TextArg(const std::wstring& text) : value_(text) {}

    std::wstring asText() const;

private:
    std::variant<long long, std::wstring> value_;
};

// Fills pattern with args in order. A field without a value stays empty;
// anything after '%' that is not a known field is kept as it stands.
std::wstring fillText(std::wstring_view pattern, std::initializer_list<TextArg> args);
