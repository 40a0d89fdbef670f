#pragma once
// Transfers take turns on a device's port: in this process one upload,
// download or free-space check at a time per port, the others waiting.
// Two at once would mix their bytes on the line where the port can be
// opened twice (Wine, a terminal without exclusive use), and fail where it
// cannot. A thread holds the turn of one port at a time, so two jobs
// between the same two devices never wait for each other in a circle.
#include <cstdint>

class PortTurn {
public:
    // Waits until no other transfer holds the port.
    explicit PortTurn(std::uint32_t portNumber);
    ~PortTurn();
    PortTurn(const PortTurn&) = delete;
    PortTurn& operator=(const PortTurn&) = delete;

private:
    std::uint32_t portNumber_;
};
