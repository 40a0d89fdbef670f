#pragma once
// Helpers shared by the link tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PauseLog.h"
#include "TestFiles.h"
#include "ToolProcess.h"
#include "WireText.h"
#include "link/NBException.h"
#include "link/SerialPort.h"

// The link through which Wine reaches COM<n> (see the Wine prefix script).
inline std::string comLink(int portNumber) {
    return std::string(NIMBREL_PORT_DIR) + "/COM" + std::to_string(portNumber);
}

// The far end of the line behind `link`: a simulated Minnow (protocol
// version 1) sending at the line's real rate.
inline std::unique_ptr<ToolProcess> startDevice(const TempDir& dir, const std::string& link) {
    return std::make_unique<ToolProcess>(devsimLaunch(link, "model=MN2,version=1,pace", dir.file("devsim.pid")));
}

// What an action raised, as "<class name>: <description>"; the class name
// stands for the code too (see ExceptionTest).
template <typename Action>
std::string raisedBy(Action action) {
    try {
        action();
    } catch (const NBException& raised) {
        return std::string(raised.typeName) + ": " + raised.description;
    }
    return "nothing raised";
}

// `count` bytes by readBuffer, as hex text, and how many came.
inline std::string readHex(SerialPort& port, std::uint32_t count) {
    Bytes bytes(count);
    bytes.resize(port.readBuffer(bytes.data(), count));
    return hexOf(bytes);
}
