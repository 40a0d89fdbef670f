#pragma once
// What the protocol tests share: a scripted device behind every port
// number, recorded pauses, a scratch directory and error capture.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "DeviceScript.h"
#include "link/NBException.h"
#include "link/Pause.h"
#include "link/PortOpener.h"
#include "protocol/DeviceInfo.h"
#include "protocol/SLVFamilyDevice.h"

DeviceInfo minnowRecord(std::uint16_t protocolVersion = 1);

// Runs `action` and returns the NBException it raised, if any.
std::optional<NBException> errorOf(const std::function<void()>& action);

// Every waited pause, in order. With `realMilliseconds` each pause also
// sleeps that long, for tests that run threads against each other.
class PauseLog {
public:
    explicit PauseLog(unsigned realMilliseconds = 0);
    std::vector<std::uint32_t> waits() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> waits_;
    ScopedPause pause_;
};

class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    std::string path(const std::string& name) const;
    static Bytes read(const std::string& path);
    static void write(const std::string& path, const Bytes& bytes);

private:
    std::filesystem::path root_;
};

// The bytes `n` as the device or the PC sends a package length.
Bytes lengthBytes(std::uint32_t n);
// Bytes 0, 1, 2, ... of the given count.
Bytes countingBytes(std::size_t count, std::uint8_t start = 0);

class ScriptedDeviceTest : public ::testing::Test {
protected:
    ScriptedDeviceTest();

    // The switch that starts and ends every transaction on an own port.
    void scriptAcquire();
    void scriptRelease();

    // The whole exchange went as scripted: every scripted PC byte written,
    // nothing more, every device byte read.
    void expectExchangeComplete() const;
    // The port is closed and the object is ready for the next transaction.
    void expectReleased(SLVFamilyDevice& device) const;

    DeviceScript script;
    PauseLog pauses;
    ScopedPortOpener opener;
};
