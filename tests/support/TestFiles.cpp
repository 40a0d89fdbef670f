#include "TestFiles.h"

#include <fstream>
#include <iterator>

std::vector<std::uint8_t> readFileBytes(const std::string& unixPath) {
    std::ifstream file(hostPath(unixPath), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string readText(const std::string& unixPath) {
    std::ifstream file(hostPath(unixPath), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeText(const std::string& unixPath, const std::string& text) {
    std::ofstream(hostPath(unixPath), std::ios::binary) << text;
}

void pointLink(const std::string& link, const std::string& target) {
    runNative({"/bin/ln", "-sfn", target, link});
}

void removeLink(const std::string& link) {
    runNative({"/bin/rm", "-f", link});
}
