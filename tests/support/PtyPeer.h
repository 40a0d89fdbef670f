#pragma once
// The far end of a serial line: nimbrel-ptypeer on a pseudo-terminal whose
// slave is reached through `linkPath`, playing `script` (see ptypeer.cpp)
// and recording what it receives.
#include <cstdint>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "ToolProcess.h"

class PtyPeer {
public:
    PtyPeer(const TempDir& dir, const std::string& linkPath, const std::string& script = "", int idleLimitSeconds = 60);

    // Every byte received so far.
    std::vector<std::uint8_t> captured() const { return readFileBytes(capturePath_); }
    // Waits up to `timeoutMs` until at least `count` bytes have been received.
    std::vector<std::uint8_t> capturedAtLeast(std::size_t count, int timeoutMs = 5000) const;
    void stop() { process_.stop(); }

private:
    static ToolLaunch launchFor(const std::string& tag, const std::string& linkPath, const std::string& script,
                                int idleLimitSeconds);

    std::string tag_;  // path of this peer's files, less the extension
    std::string capturePath_;
    ToolProcess process_;
};
