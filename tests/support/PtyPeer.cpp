#include "PtyPeer.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::string nextTag(const TempDir& dir) {
    static std::atomic<unsigned> counter{0};
    return dir.file("ptypeer-" + std::to_string(++counter));
}
}  // namespace

PtyPeer::PtyPeer(const TempDir& dir, const std::string& linkPath, const std::string& script, int idleLimitSeconds)
    : tag_(nextTag(dir)),
      capturePath_(tag_ + ".capture"),
      process_(launchFor(tag_, linkPath, script, idleLimitSeconds)) {}

ToolLaunch PtyPeer::launchFor(const std::string& tag, const std::string& linkPath, const std::string& script,
                              int idleLimitSeconds) {
    ToolLaunch launch;
    launch.program = nativeTool("nimbrel-ptypeer");
    launch.pidFile = tag + ".pid";
    launch.readyPath = linkPath;
    launch.args = {"--link",         linkPath,   "--pid-file", launch.pidFile, "--capture",
                   tag + ".capture", "--script", script,       "--idle-limit", std::to_string(idleLimitSeconds)};
    return launch;
}

std::vector<std::uint8_t> PtyPeer::capturedAtLeast(std::size_t count, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::uint8_t> bytes = captured();
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        bytes = captured();
    }
    return bytes;
}
