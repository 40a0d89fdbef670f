#pragma once
// What the transfer tests share: a user who answers from a script and
// records what the transfer told and showed, device records, files written
// as short texts ("A.TXT=100 DIR/"), and the protocol's waits skipped.
#include "PauseLog.h"
#include "TestFiles.h"
#include "devsim/SimulatedBus.h"
#include "transfer/TransferProgress.h"
#include "transfer/TransferUser.h"

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

using Files = std::vector<std::pair<std::string, std::size_t>>;
using Contents = std::map<std::string, devsim::Bytes>;
inline constexpr std::size_t folderSize = static_cast<std::size_t>(-1);

// "A.TXT=100 B=0 DIR/": names with sizes; a trailing slash makes a folder.
inline Files filesOf(const std::string& text) {
    Files files;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        if (word.back() == '/') files.emplace_back(word.substr(0, word.size() - 1), folderSize);
        if (equals != std::string::npos)
            files.emplace_back(word.substr(0, equals), std::stoul(word.substr(equals + 1)));
    }
    return files;
}

inline devsim::Bytes filled(std::size_t size, char with) {
    return devsim::Bytes(size, static_cast<std::uint8_t>(with));
}

// The files of `text` filled with `with`, over those of `contents`.
inline Contents withFiles(Contents contents, const std::string& text, char with) {
    for (const auto& [name, size] : filesOf(text)) contents[name] = filled(size, with);
    return contents;
}

inline Contents contentsOf(const devsim::SimulatedDevice& device) {
    Contents contents;
    for (const auto& file : device.files()) contents[file.name] = *device.fileData(file.name);
    return contents;
}

inline DeviceInfo deviceOn(int port, std::uint8_t typeCode = 0x78) {
    DeviceInfo info;
    info.typeCode = typeCode;
    std::snprintf(info.serial, sizeof info.serial, "DEV-%d", port);
    info.portNumber = static_cast<std::uint32_t>(port);
    info.protocolVersion = 2;
    return info;
}

// What a scripted user was asked, told and shown; the copies of one
// ScriptedUser share it, so a job can own one while the test reads another.
struct UserRecord {
    std::mutex lock;
    std::deque<OverwriteAnswer> answers;
    std::vector<std::string> asked;
    std::vector<TransferMessage> told;
    std::vector<ProgressUpdate> updates;
    int displays = 0, closes = 0;
    std::function<void(TransferProgress&)> onUpdate;  // on the transferring thread

    std::vector<TransferNotice> notices() {
        const std::lock_guard<std::mutex> guard(lock);
        std::vector<TransferNotice> all;
        for (const auto& message : told) all.push_back(message.notice);
        return all;
    }
};

class ScriptedUser : public TransferUser {
public:
    // The answers to the overwrite questions, in order.
    explicit ScriptedUser(std::vector<OverwriteAnswer> answers = {}) {
        record_->answers.assign(answers.begin(), answers.end());
    }
    UserRecord* operator->() const { return record_.get(); }

    OverwriteAnswer askOverwrite(const std::string& name) override {
        const std::lock_guard<std::mutex> guard(record_->lock);
        record_->asked.push_back(name);
        if (record_->answers.empty()) return OverwriteAnswer::Closed;
        const OverwriteAnswer answer = record_->answers.front();
        record_->answers.pop_front();
        return answer;
    }
    void tell(const TransferMessage& message) override {
        const std::lock_guard<std::mutex> guard(record_->lock);
        record_->told.push_back(message);
    }
    std::unique_ptr<ProgressDisplay> makeProgressDisplay(TransferProgress& progress) override {
        const std::lock_guard<std::mutex> guard(record_->lock);
        ++record_->displays;
        return std::make_unique<Display>(record_, progress);
    }

private:
    struct Display : ProgressDisplay {
        Display(std::shared_ptr<UserRecord> record, TransferProgress& progress) : record(record), progress(progress) {}
        void show(const ProgressUpdate& update) override {
            std::unique_lock<std::mutex> guard(record->lock);
            record->updates.push_back(update);
            const auto hook = record->onUpdate;
            guard.unlock();
            if (hook) hook(progress);
        }
        void fillFileBar() override {}
        void bringToFront() override {}
        void close() override {
            const std::lock_guard<std::mutex> guard(record->lock);
            ++record->closes;
        }
        std::shared_ptr<UserRecord> record;
        TransferProgress& progress;
    };
    std::shared_ptr<UserRecord> record_ = std::make_shared<UserRecord>();
};
