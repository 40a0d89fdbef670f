#pragma once
// What the protocol tests share: a byte-scripted device, recorded pauses,
// a scratch directory and error checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/NBException.h"
#include "link/Pause.h"
#include "link/PortOpener.h"
#include "protocol/DeviceInfo.h"
#include "protocol/SLVFamilyDevice.h"

using Bytes = std::vector<std::uint8_t>;
using Log = std::vector<std::string>;

inline Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
inline Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}
// Hex text of bytes, "06 16", for failure messages and the log.
inline std::string hexOf(const Bytes& bytes) {
    std::string text;
    char hex[4];
    for (std::uint8_t byte : bytes)
        text.append(hex, std::snprintf(hex, sizeof hex, text.empty() ? "%02X" : " %02X", byte));
    return text;
}
// The bytes `n` as the device or the PC sends a package length.
inline Bytes lengthBytes(std::size_t n) {
    return {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8)};
}
inline Bytes countingBytes(std::size_t count, std::uint8_t start = 0) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(start + i);
    return bytes;
}
// The wire text of a name package and of an upload header.
inline std::string nameWrite(const std::string& name, std::uint8_t command) {
    return "[" + hexOf(lengthBytes(name.size() + 1) + bytesOf(name) + Bytes{command}) + "]";
}
inline Bytes uploadHeader(const std::string& name, std::uint8_t flag) {
    return lengthBytes(name.size() + 4) + Bytes{0x1C} + bytesOf(name) + Bytes{0x05, flag, 0x0F, 0x16};
}

// A file record as the device lists it; day, hour and minute are 7, 8, 9.
inline Bytes fileRecord(const std::string& name, Bytes year = {0, 24}, std::uint8_t month = 1, std::uint8_t second = 5,
                        Bytes size = {0, 0, 0, 9}) {
    return Bytes{0x1C, std::uint8_t(name.size())} + bytesOf(name) + Bytes{0xEE} + year + Bytes{month, 7, 8, 9, second} +
           size;
}
// File list entries as "NAME year-month-day hour:minute:second size".
inline Log described(const std::vector<FileListEntry>& entries) {
    Log result;
    for (const FileListEntry& e : entries) {
        std::ostringstream text;
        text << e.name << " " << e.year << "-" << +e.month << "-" << +e.day << " " << +e.hour << ":" << +e.minute << ":"
             << +e.second << " " << e.size;
        result.push_back(text.str());
    }
    return result;
}

// The exchange as the wire pictures draw it: what the PC writes, then what
// the device answers. A device answer becomes readable once the PC has
// written every byte scripted before it; a read with nothing readable fails
// like a time-out. While the script lives, every port number opens a port
// on it. The log has "open", "close", "purge", "08" for a single-byte write
// and "[05 00 41]" for one writeBuffer call.
class DeviceScript {
public:
    DeviceScript& pc(const Bytes& bytes) {
        std::lock_guard lock(mutex_);
        scriptedPc_ = scriptedPc_ + bytes;
        return *this;
    }
    DeviceScript& device(const Bytes& bytes) {
        std::lock_guard lock(mutex_);
        chunks_.emplace_back(scriptedPc_.size(), bytes);
        return *this;
    }
    // The steps transactions are built of, each answered as all is well.
    DeviceScript& acquire() { return pc({0x0B, 0x00}).device({0x06, 0x00}); }
    DeviceScript& release() { return pc({0x0B, 0x00}).device({0x06, 0x02}); }
    DeviceScript& command(std::uint8_t byte) { return pc({byte}).device({0x06, byte}); }
    DeviceScript& namePackage(const std::string& name, std::uint8_t command) {
        return pc(lengthBytes(name.size() + 1) + bytesOf(name) + Bytes{command, 0x16}).device({0x06, 0x16});
    }
    DeviceScript& getFile(const std::string& name) { return acquire().command(0x21).namePackage(name, 0x21); }
    DeviceScript& header(const std::string& name, std::uint8_t flag) {
        return pc(uploadHeader(name, flag)).device({0x06, 0x16});
    }
    DeviceScript& devicePackage(const Bytes& payload) {
        device({0x03}).pc({0x06, 0x03}).device(lengthBytes(payload.size()) + payload + Bytes{0x16});
        return pc({0x06, 0x16});
    }
    DeviceScript& pcPackage(const Bytes& payload) {
        return command(0x03).pc(lengthBytes(payload.size()) + payload + Bytes{0x16}).device({0x06, 0x16});
    }
    DeviceScript& diskSpace(std::uint32_t free) {
        acquire().pc({0x25}).device({0x06, 0x25, 0, 0, 0, 0, std::uint8_t(free >> 24), std::uint8_t(free >> 16),
                                     std::uint8_t(free >> 8), std::uint8_t(free), 0x16});
        return pc({0x06, 0x16}).release();
    }

    std::unique_ptr<SerialPort> openPort();
    Log log() const {
        return locked([this] { return log_; });
    }
    Log writes() const {  // the log without open, close and purge
        Log all = log(), result;
        std::copy_if(all.begin(), all.end(), std::back_inserter(result),
                     [](auto& e) { return e.size() == 2 || e[0] == '['; });
        return result;
    }
    int openPorts() const {
        return locked([this] { return openPorts_; });
    }
    std::atomic<bool> failWrites{false};  // CannotWriteToPort while set
    // Every scripted PC byte written and nothing more, every device byte read.
    void expectComplete() const {
        std::lock_guard lock(mutex_);
        EXPECT_EQ(hexOf(written_), hexOf(scriptedPc_)) << "the PC's bytes (left) differ from the wire picture";
        std::size_t unread = readable_.size() - readPosition_;
        for (std::size_t i = nextChunk_; i < chunks_.size(); ++i) unread += chunks_[i].second.size();
        EXPECT_EQ(unread, 0u) << "device bytes were left unread";
    }
    // The port is closed and the object is ready for the next transaction.
    void expectReleased(SLVFamilyDevice& device) const {
        EXPECT_EQ(openPorts(), 0) << "the port was left open";
        EXPECT_FALSE(device.isBusy()) << "the device object stayed busy";
        EXPECT_EQ(device.currentPortMode(), IDLE);
    }
    void expectFinished(SLVFamilyDevice& device) const { expectComplete(), expectReleased(device); }

private:
    friend class ScriptedPort;
    template <typename F>
    auto locked(F f) const -> decltype(f()) {
        std::lock_guard lock(mutex_);
        return f();
    }

    mutable std::mutex mutex_;
    std::vector<std::pair<std::size_t, Bytes>> chunks_;  // device bytes after so many PC bytes
    std::size_t nextChunk_ = 0, readPosition_ = 0;
    Bytes scriptedPc_, readable_, written_;
    Log log_;
    int openPorts_ = 0;
    ScopedPortOpener opener_{[this](int) { return openPort(); }};
};

class ScriptedPort : public SerialPort {
public:
    explicit ScriptedPort(DeviceScript& script) : s_(script) { note("open", +1); }
    ~ScriptedPort() override { note("close", -1); }
    void purgeBuffers() override {
        note("purge", 0);
        s_.locked([this] { return s_.readPosition_ = s_.readable_.size(); });
    }
    void writeBuffer(const std::uint8_t* bytes, std::uint32_t count) override {
        write(Bytes(bytes, bytes + count), "[" + hexOf(Bytes(bytes, bytes + count)) + "]");
    }
    void writeByte(std::uint8_t byte) override { write(Bytes{byte}, hexOf(Bytes{byte})); }
    std::uint32_t readBuffer(std::uint8_t* bytes, std::uint32_t count) override {
        std::lock_guard lock(s_.mutex_);
        for (; s_.nextChunk_ < s_.chunks_.size() && s_.chunks_[s_.nextChunk_].first <= s_.written_.size();
             ++s_.nextChunk_) {
            s_.readable_ = s_.readable_ + s_.chunks_[s_.nextChunk_].second;
        }
        std::uint32_t got = 0;
        for (; got < count && s_.readPosition_ < s_.readable_.size(); ++got)
            bytes[got] = s_.readable_[s_.readPosition_++];
        if (got == 0) throw PortExceptions::CannotReadFromPort("ScriptedPort::readBuffer -- no byte");
        return got;
    }
    std::uint8_t readByte() override {
        std::uint8_t byte;
        readBuffer(&byte, 1);
        return byte;
    }

private:
    void note(const char* entry, int opened) {
        std::lock_guard lock(s_.mutex_);
        s_.log_.push_back(entry);
        s_.openPorts_ += opened;
    }
    void write(const Bytes& bytes, std::string entry) {
        std::lock_guard lock(s_.mutex_);
        if (s_.failWrites) throw PortExceptions::CannotWriteToPort("ScriptedPort::write -- failed");
        s_.log_.push_back(std::move(entry));
        s_.written_ = s_.written_ + bytes;
    }
    DeviceScript& s_;
};

inline std::unique_ptr<SerialPort> DeviceScript::openPort() {
    return std::make_unique<ScriptedPort>(*this);
}

inline DeviceInfo minnowRecord(std::uint16_t protocolVersion = 1) {
    DeviceInfo info;
    info.typeCode = 0x72;
    std::strcpy(info.serial, "MN2-000417");
    info.portNumber = 3;
    info.protocolVersion = protocolVersion;
    return info;
}

// Runs `action` and returns the NBException it raised, if any.
inline std::optional<NBException> errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (NBException e) {
        return e;
    }
    return std::nullopt;
}
// `action` raises `code` with the description `text` (any text when empty).
inline void expectError(const std::function<void()>& action, std::int32_t code, const std::string& text) {
    const auto error = errorOf(action);
    ASSERT_TRUE(error) << "expected code " << code << " \"" << text << "\", nothing was raised";
    EXPECT_EQ(error->code, code) << error->description;
    if (!text.empty()) {
        EXPECT_EQ(error->description, text);
    }
}

// Every waited pause, in order. With `realMilliseconds` each pause also
// sleeps that long, for tests that run threads against each other.
class PauseLog {
public:
    explicit PauseLog(unsigned realMilliseconds = 0)
        : pause_([this, realMilliseconds](std::uint32_t milliseconds) {
              std::unique_lock lock(mutex_);
              waits_.push_back(milliseconds);
              lock.unlock();
              std::this_thread::sleep_for(std::chrono::milliseconds(realMilliseconds));
          }) {}
    std::vector<std::uint32_t> waits() const {
        std::lock_guard lock(mutex_);
        return waits_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> waits_;
    ScopedPause pause_;
};

class ScratchDirectory {
public:
    ScratchDirectory() { std::filesystem::create_directories(root_); }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    std::string path(const std::string& name) const { return (root_ / name).string(); }
    static Bytes read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void write(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

private:
    static inline std::atomic<unsigned> counter_{0};
    std::filesystem::path root_ =
        std::filesystem::temp_directory_path() /
        ("nimbrel-protocol-" + std::to_string(std::random_device()()) + "-" + std::to_string(counter_++));
};

// A scripted device, a scratch directory and no real pauses.
class ScriptedDeviceTest : public ::testing::Test {
protected:
    DeviceScript script;
    PauseLog pauses;
    ScratchDirectory scratch;
};
