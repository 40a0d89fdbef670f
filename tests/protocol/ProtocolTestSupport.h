#pragma once
// What the protocol tests share: a device scripted as wire text, recorded
// pauses, a scratch directory and error checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "PauseLog.h"
#include "TestFiles.h"
#include "WireText.h"
#include "link/NBException.h"
#include "link/PortOpener.h"
#include "protocol/DeviceInfo.h"
#include "protocol/SLVFamilyDevice.h"

using Log = std::vector<std::string>;

inline Bytes uploadHeader(const std::string& name, std::uint8_t flag) {
    return lengthBytes(name.size() + 4) + Bytes{0x1C} + bytesOf(name) + Bytes{0x05, flag, 0x0F, 0x16};
}
// A file record as the device lists it; day, hour and minute are 7, 8, 9.
inline Bytes fileRecord(const std::string& name, Bytes year = {0, 24}, std::uint8_t month = 1, std::uint8_t second = 5,
                        Bytes size = {0, 0, 0, 9}) {
    return Bytes{0x1C, std::uint8_t(name.size())} + bytesOf(name) + Bytes{0xEE} + year + Bytes{month, 7, 8, 9, second} +
           size;
}
// File list entries as "NAME year-month-day hour:minute:second size, ...".
inline std::string described(const std::vector<FileListEntry>& entries) {
    std::ostringstream text;
    for (const FileListEntry& e : entries)
        text << (&e == entries.data() ? "" : ", ") << e.name << " " << e.year << "-" << +e.month << "-" << +e.day << " "
             << +e.hour << ":" << +e.minute << ":" << +e.second << " " << e.size;
    return text.str();
}
inline std::string joined(const Log& log, const std::string& separator = " ") {
    std::string text;
    for (const std::string& entry : log) text += (text.empty() ? "" : separator) + entry;
    return text;
}

// The device's side of the exchange: a device answer becomes readable once
// the PC has written every byte scripted before it; a read with nothing
// readable fails like a time-out. While the script lives, every port number
// opens a port on it. The log has "open", "close", "purge", "08" for a
// single-byte write and "[05 00 41]" for one writeBuffer call.
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
    DeviceScript& play(const std::string& wire) {
        for (const auto& [fromPc, bytes] : parseWire(wire)) fromPc ? pc(bytes) : device(bytes);
        return *this;
    }
    DeviceScript& devicePackage(const Bytes& payload) {
        device({0x03}).pc({0x06, 0x03}).device(lengthBytes(payload.size()) + payload + Bytes{0x16});
        return pc({0x06, 0x16});
    }
    DeviceScript& pcPackage(const Bytes& payload) {
        return play("cmd:03").pc(lengthBytes(payload.size()) + payload + Bytes{0x16}).device({0x06, 0x16});
    }
    DeviceScript& header(const std::string& name, std::uint8_t flag) {
        return play("take cmd:03").pc(uploadHeader(name, flag)).device({0x06, 0x16});
    }
    DeviceScript& diskSpace(std::uint32_t free) {
        play("take > 25")
            .device(Bytes{0x06, 0x25, 0, 0, 0, 0} + Bytes{std::uint8_t(free >> 24), std::uint8_t(free >> 16)} +
                    Bytes{std::uint8_t(free >> 8), std::uint8_t(free), 0x16});
        return play("> 06 16 give");
    }

    std::unique_ptr<SerialPort> openPort();
    std::string log() const {
        std::lock_guard lock(mutex_);
        return joined(log_);
    }
    std::string writes() const {  // the log without open, close and purge
        std::lock_guard lock(mutex_);
        Log result;
        std::copy_if(log_.begin(), log_.end(), std::back_inserter(result),
                     [](auto& e) { return e.size() == 2 || e[0] == '['; });
        return joined(result);
    }
    int openPorts() const {
        std::lock_guard lock(mutex_);
        return openPorts_;
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
        std::lock_guard lock(s_.mutex_);
        s_.readPosition_ = s_.readable_.size();
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

// A scratch folder whose paths are in the form this program's files take.
struct ScratchDirectory : TempDir {
    std::string path(const std::string& name) const { return hostPath(file(name)); }
    static Bytes read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void write(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
};

// A scripted device, a scratch directory and no real pauses.
class ScriptedDeviceTest : public ::testing::Test {
protected:
    DeviceScript script;
    PauseLog pauses;
    ScratchDirectory scratch;
};
