#pragma once
// Borrowing a COM port from the maker's resident device server or its
// sibling program, which hold their port open exclusively. The holder is
// reached through synchronous window messages; where no such program can
// exist (POSIX) no holder is ever found.
//
// The holder state (window, kind, message) is process-wide and replaced by
// every findPortHolder. Probe threads open ports at the same time, so the
// whole handshake of one open runs under one lock (borrowPortFromHolder).
#include <cstdint>
#include <functional>

// Looks for the resident device server first, then the sibling program.
bool findPortHolder();
// The COM port number the holder uses; 0 when it did not say; -1 when it did
// not answer in time (a hung holder), which matches no port.
int queryHolderPort();
void requestPortRelease();
// The give-back notice: the holder may take its port again.
void announcePortReturn();

// How long one request may wait for the holder's answer.
inline constexpr std::uint32_t holderAnswerTimeoutMs = 5000;
inline constexpr int borrowAttempts = 10;
inline constexpr std::uint32_t borrowPauseMs = 750;

// The handshake of a refused open: find the holder, check that it holds
// `portNumber` (or says 0), then up to 10 times ask it to let go and call
// `tryOpen`. Returns true once `tryOpen` succeeded (the port is borrowed).
// Only one handshake runs at a time in the process.
bool borrowPortFromHolder(int portNumber, const std::function<bool()>& tryOpen);

// A snapshot of the holder state, for diagnostics and tests.
struct PortHolderState {
    std::uintptr_t window = 0;  // 0: the last search found nothing
    std::int32_t kind = 0;      // 0 resident device server, 1 sibling program
    std::uint32_t serverMessage = 0;
};
PortHolderState portHolderState();
