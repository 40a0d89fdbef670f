#include <windows.h>

#include <mutex>

#include "link/PortHolder.h"

namespace {
// Parameters of the requests to the resident device server.
constexpr WPARAM serverQueryPort = 1;
constexpr LPARAM serverQueryPortArg = 2;
constexpr WPARAM serverPortControl = 100;
constexpr LPARAM serverRelease = 1;
constexpr LPARAM serverGiveBack = 0;
// The sibling program answers its own messages; 0x472 is both the port
// query and the give-back notice.
constexpr UINT siblingRelease = WM_USER + 113;
constexpr UINT siblingQueryOrGiveBack = WM_USER + 114;

constexpr std::int32_t residentServer = 0;
constexpr std::int32_t siblingProgram = 1;

struct HolderState {
    HWND window = nullptr;
    std::int32_t kind = residentServer;
    UINT serverMessage = 0;
};

std::mutex stateLock;
HolderState state;

HolderState currentState() {
    std::lock_guard<std::mutex> lock(stateLock);
    return state;
}

// A request waits for the holder's answer, but never for a hung holder.
// Returns false when the request was not answered.
bool sendToHolder(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
    result = 0;
    if (window == nullptr) return true;  // nobody to tell, like a send to a null window
    return ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, holderAnswerTimeoutMs, &result) !=
           0;
}

void notifyHolder(std::int32_t serverParam, UINT siblingMessage) {
    const HolderState holder = currentState();
    DWORD_PTR ignored = 0;
    if (holder.kind == residentServer) {
        sendToHolder(holder.window, holder.serverMessage, serverPortControl, serverParam, ignored);
    } else {
        sendToHolder(holder.window, siblingMessage, 0, 0, ignored);
    }
}
}  // namespace

bool findPortHolder() {
    if (HWND server = ::FindWindowA("Korvel_Server", "Korvel Server")) {
        const UINT message = ::RegisterWindowMessageA("Korvel_Server");
        std::lock_guard<std::mutex> lock(stateLock);
        state.window = server;
        state.kind = residentServer;
        state.serverMessage = message;
        return message != 0;
    }
    HWND sibling = ::FindWindowA("LUMIDOT32", "LUMIDOT32");
    std::lock_guard<std::mutex> lock(stateLock);
    state.window = sibling;
    if (sibling == nullptr) return false;
    state.kind = siblingProgram;
    return true;
}

int queryHolderPort() {
    const HolderState holder = currentState();
    DWORD_PTR answer = 0;
    if (holder.kind == residentServer) {
        if (!sendToHolder(holder.window, holder.serverMessage, serverQueryPort, serverQueryPortArg, answer)) return -1;
        return static_cast<int>(answer);
    }
    if (!sendToHolder(holder.window, siblingQueryOrGiveBack, 0, 0, answer)) return -1;
    return static_cast<int>((answer >> 8) & 0xFF);
}

void requestPortRelease() {
    notifyHolder(serverRelease, siblingRelease);
}

void announcePortReturn() {
    notifyHolder(serverGiveBack, siblingQueryOrGiveBack);
}

PortHolderState portHolderState() {
    const HolderState holder = currentState();
    return {reinterpret_cast<std::uintptr_t>(holder.window), holder.kind, holder.serverMessage};
}
