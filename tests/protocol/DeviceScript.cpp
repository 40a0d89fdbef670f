#include "DeviceScript.h"

#include <cstdio>

#include "link/NBException.h"

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

std::string hexOf(const Bytes& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", byte);
        if (!text.empty()) text += ' ';
        text += hex;
    }
    return text;
}

class ScriptedPort : public SerialPort {
public:
    explicit ScriptedPort(DeviceScript& script) : script_(script) {
        std::lock_guard lock(script_.mutex_);
        script_.log_.push_back("open");
        ++script_.openPorts_;
    }
    ~ScriptedPort() override {
        std::lock_guard lock(script_.mutex_);
        script_.log_.push_back("close");
        --script_.openPorts_;
    }

    void purgeBuffers() override {
        std::lock_guard lock(script_.mutex_);
        script_.log_.push_back("purge");
        script_.readPosition_ = script_.readable_.size();
    }
    void writeBuffer(const std::uint8_t* bytes, std::uint32_t count) override {
        write(Bytes(bytes, bytes + count), "[" + hexOf(Bytes(bytes, bytes + count)) + "]");
    }
    void writeByte(std::uint8_t byte) override { write(Bytes{byte}, hexOf(Bytes{byte})); }

    std::uint32_t readBuffer(std::uint8_t* bytes, std::uint32_t count) override {
        std::lock_guard lock(script_.mutex_);
        script_.releaseDue();
        std::uint32_t got = 0;
        while (got < count && script_.readPosition_ < script_.readable_.size()) {
            bytes[got++] = script_.readable_[script_.readPosition_++];
        }
        if (got == 0) throw PortExceptions::CannotReadFromPort("ScriptedPort::readBuffer -- no byte");
        return got;
    }
    std::uint8_t readByte() override {
        std::lock_guard lock(script_.mutex_);
        script_.releaseDue();
        if (script_.readPosition_ >= script_.readable_.size()) {
            throw PortExceptions::CannotReadFromPort("ScriptedPort::readByte -- No Byte arrived.");
        }
        return script_.readable_[script_.readPosition_++];
    }

private:
    void write(const Bytes& bytes, std::string entry) {
        std::lock_guard lock(script_.mutex_);
        if (script_.failWrites_) {
            throw PortExceptions::CannotWriteToPort("ScriptedPort::writeBuffer -- failed");
        }
        script_.log_.push_back(std::move(entry));
        script_.written_.insert(script_.written_.end(), bytes.begin(), bytes.end());
    }

    DeviceScript& script_;
};

DeviceScript& DeviceScript::pc(const Bytes& bytes) {
    std::lock_guard lock(mutex_);
    scriptedPcBytes_ += bytes.size();
    scriptedPc_.insert(scriptedPc_.end(), bytes.begin(), bytes.end());
    return *this;
}

DeviceScript& DeviceScript::device(const Bytes& bytes) {
    std::lock_guard lock(mutex_);
    chunks_.push_back({scriptedPcBytes_, bytes});
    return *this;
}

void DeviceScript::releaseDue() {
    while (nextChunk_ < chunks_.size() && chunks_[nextChunk_].afterWritten <= written_.size()) {
        const Bytes& bytes = chunks_[nextChunk_++].bytes;
        readable_.insert(readable_.end(), bytes.begin(), bytes.end());
    }
}

std::unique_ptr<SerialPort> DeviceScript::openPort() { return std::make_unique<ScriptedPort>(*this); }

std::vector<std::string> DeviceScript::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<std::string> DeviceScript::writes() const {
    std::vector<std::string> result;
    for (const std::string& entry : log()) {
        if (entry != "open" && entry != "close" && entry != "purge") result.push_back(entry);
    }
    return result;
}

Bytes DeviceScript::written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

Bytes DeviceScript::scriptedPc() const {
    std::lock_guard lock(mutex_);
    return scriptedPc_;
}

std::size_t DeviceScript::unreadDeviceBytes() const {
    std::lock_guard lock(mutex_);
    std::size_t unread = readable_.size() - readPosition_;
    for (std::size_t i = nextChunk_; i < chunks_.size(); ++i) unread += chunks_[i].bytes.size();
    return unread;
}

int DeviceScript::openPorts() const {
    std::lock_guard lock(mutex_);
    return openPorts_;
}

void DeviceScript::failWrites(bool fail) {
    std::lock_guard lock(mutex_);
    failWrites_ = fail;
}
