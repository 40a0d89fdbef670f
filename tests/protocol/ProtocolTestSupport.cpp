#include "ProtocolTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

DeviceInfo minnowRecord(std::uint16_t protocolVersion) {
    DeviceInfo info;
    info.typeCode = 0x72;
    std::strcpy(info.serial, "MN2-000417");
    info.portNumber = 3;
    info.protocolVersion = protocolVersion;
    return info;
}

std::optional<NBException> errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (NBException e) {
        return e;
    }
    return std::nullopt;
}

PauseLog::PauseLog(unsigned realMilliseconds)
    : pause_([this, realMilliseconds](std::uint32_t milliseconds) {
          {
              std::lock_guard lock(mutex_);
              waits_.push_back(milliseconds);
          }
          if (realMilliseconds) std::this_thread::sleep_for(std::chrono::milliseconds(realMilliseconds));
      }) {}

std::vector<std::uint32_t> PauseLog::waits() const {
    std::lock_guard lock(mutex_);
    return waits_;
}

ScratchDirectory::ScratchDirectory() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("nimbrel-protocol-" + std::to_string(random()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root_);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string ScratchDirectory::path(const std::string& name) const { return (root_ / name).string(); }

Bytes ScratchDirectory::read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ScratchDirectory::write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes lengthBytes(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8)};
}

Bytes countingBytes(std::size_t count, std::uint8_t start) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(start + i);
    return bytes;
}

ScriptedDeviceTest::ScriptedDeviceTest()
    : opener([this](int) { return script.openPort(); }) {}

void ScriptedDeviceTest::scriptAcquire() { script.pc({0x0B, 0x00}).device({0x06, 0x00}); }

void ScriptedDeviceTest::scriptRelease() { script.pc({0x0B, 0x00}).device({0x06, 0x02}); }

void ScriptedDeviceTest::expectExchangeComplete() const {
    EXPECT_EQ(hexOf(script.written()), hexOf(script.scriptedPc()))
        << "the PC's bytes differ from the wire picture";
    EXPECT_EQ(script.unreadDeviceBytes(), 0u) << "device bytes were left unread";
}

void ScriptedDeviceTest::expectReleased(SLVFamilyDevice& device) const {
    EXPECT_EQ(script.openPorts(), 0) << "the port was left open";
    EXPECT_FALSE(device.isBusy()) << "the device object stayed busy";
    EXPECT_EQ(device.currentPortMode(), IDLE);
}
