#include "transfer/PortTurn.h"

#include <condition_variable>
#include <mutex>
#include <set>

namespace {
std::mutex turnsLock;
std::condition_variable turnEnded;
std::set<std::uint32_t> portsInUse;
}  // namespace

PortTurn::PortTurn(std::uint32_t portNumber) : portNumber_(portNumber) {
    std::unique_lock<std::mutex> guard(turnsLock);
    turnEnded.wait(guard, [portNumber] { return portsInUse.count(portNumber) == 0; });
    portsInUse.insert(portNumber);
}

PortTurn::~PortTurn() {
    {
        const std::lock_guard<std::mutex> guard(turnsLock);
        portsInUse.erase(portNumber_);
    }
    turnEnded.notify_all();
}
