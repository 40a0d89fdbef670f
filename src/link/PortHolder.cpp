#include "link/PortHolder.h"

#include <mutex>

#include "link/Pause.h"

bool borrowPortFromHolder(int portNumber, const std::function<bool()>& tryOpen) {
    // A second probe thread must not replace the holder state, or send its
    // own release requests, in the middle of this handshake.
    static std::mutex handshake;
    std::lock_guard<std::mutex> lock(handshake);

    if (!findPortHolder()) return false;
    const int heldPort = queryHolderPort();
    if (heldPort != portNumber && heldPort != 0) return false;

    for (int attempt = 0; attempt < borrowAttempts; ++attempt) {
        requestPortRelease();
        pauseFor(borrowPauseMs);
        if (tryOpen()) return true;
        pauseFor(borrowPauseMs);
        announcePortReturn();
    }
    return false;
}
