#include "link/NBException.h"

#include <cstring>

namespace {
constexpr char defaultDescription[] = "No error description available";
}

NBException::NBException(const char* text, std::int32_t errorCode, const char* concreteTypeName)
    : typeName("NBException"), code(errorCode) {
    std::memcpy(description, defaultDescription, sizeof defaultDescription);
    applyDescription(text);
    typeName = concreteTypeName;
}

void NBException::applyDescription(const char* text) {
    if (text == nullptr) return;
    const std::size_t length = std::strlen(text);
    const std::size_t kept = length < maxDescription ? length : maxDescription;
    std::memcpy(description, text, kept);
    description[kept] = '\0';
}
