#include <cctype>

#include "Ports.h"
#include "devices/Discovery.h"
#include "link/WinHandle.h"

std::vector<int> candidatePorts(const std::vector<std::string>& explicitPorts) {
    std::vector<int> numbers;
    for (const std::string& text : explicitPorts)
        if (auto number = portFromText(text)) numbers.push_back(*number);
    return numbers.empty() ? scannedPorts() : numbers;
}

std::optional<int> portFromText(const std::string& text) {
    if (text.size() < 4) return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return std::nullopt;
    int number = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])) || number > 255) return std::nullopt;
        number = number * 10 + (text[i] - '0');
    }
    if (number < 1) return std::nullopt;
    return number;
}

std::string portLabel(int number) {
    return "COM" + std::to_string(number);
}

// Only a port that is not there is named here: one that is denied may be
// lent by the program that holds it, which the probe asks for.
std::optional<std::string> portProblem(int number) {
    const std::string path = "\\\\.\\COM" + std::to_string(number);
    const UniqueFileHandle port(
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port.valid() && ::GetLastError() == ERROR_FILE_NOT_FOUND) return "it does not exist";
    return std::nullopt;
}
