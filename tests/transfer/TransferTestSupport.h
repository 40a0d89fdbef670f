#pragma once
// What the transfer tests share: a user who answers from a script and
// records what the transfer told and showed, device records, files written
// as short texts ("A.TXT=100 DIR/"), and a temporary folder of the test's own.
#include "TestFiles.h"
#include "devsim/SimulatedBus.h"
#include "link/Pause.h"
#include "transfer/TransferProgress.h"
#include "transfer/TransferUser.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

using Files = std::vector<std::pair<std::string, std::size_t>>;
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

// "yanc-": Yes, Yes to all, No, Cancel, closed.
inline std::deque<OverwriteAnswer> answersOf(const std::string& keys) {
    std::deque<OverwriteAnswer> answers;
    for (const char key : keys)
        answers.push_back(key == 'y'   ? OverwriteAnswer::Yes
                          : key == 'a' ? OverwriteAnswer::YesToAll
                          : key == 'n' ? OverwriteAnswer::No
                          : key == 'c' ? OverwriteAnswer::Cancel
                                       : OverwriteAnswer::Closed);
    return answers;
}

inline DeviceInfo deviceOn(int port, std::uint8_t typeCode = 0x78) {
    DeviceInfo info;
    info.typeCode = typeCode;
    std::snprintf(info.serial, sizeof info.serial, "DEV-%d", port);
    info.portNumber = static_cast<std::uint32_t>(port);
    info.protocolVersion = 2;
    return info;
}

inline devsim::Bytes filled(std::size_t size, char with) {
    return devsim::Bytes(size, static_cast<std::uint8_t>(with));
}

// What a scripted user saw; copies of one ScriptedUser share it, so a job
// can own one while the test reads another.
struct UserRecord {
    std::mutex lock;
    std::deque<OverwriteAnswer> answers;
    std::vector<std::string> asked;
    std::vector<TransferMessage> told;
    std::vector<ProgressUpdate> updates;
    int displays = 0;
    int closes = 0;
    std::function<void(TransferProgress&)> onUpdate;  // on the transferring thread

    std::vector<TransferNotice> notices() {
        const std::lock_guard<std::mutex> guard(lock);
        std::vector<TransferNotice> all;
        for (const auto& message : told) all.push_back(message.notice);
        return all;
    }
    ProgressUpdate last() {
        const std::lock_guard<std::mutex> guard(lock);
        return updates.back();
    }
};

class ScriptedUser : public TransferUser {
public:
    explicit ScriptedUser(const std::string& answers = "") : record_(std::make_shared<UserRecord>()) {
        record_->answers = answersOf(answers);
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
    class Display : public ProgressDisplay {
    public:
        Display(std::shared_ptr<UserRecord> record, TransferProgress& progress)
            : record_(std::move(record)), progress_(progress) {}
        void show(const ProgressUpdate& update) override {
            std::function<void(TransferProgress&)> hook;
            {
                const std::lock_guard<std::mutex> guard(record_->lock);
                record_->updates.push_back(update);
                hook = record_->onUpdate;
            }
            if (hook) hook(progress_);
        }
        void fillFileBar() override {}
        void bringToFront() override {}
        void close() override {
            const std::lock_guard<std::mutex> guard(record_->lock);
            ++record_->closes;
        }

    private:
        std::shared_ptr<UserRecord> record_;
        TransferProgress& progress_;
    };
    std::shared_ptr<UserRecord> record_;
};

// The protocol's fixed waits skipped for one test.
struct NoPauses {
    ScopedPause pause{[](std::uint32_t) {}};
};

// The user's temporary folder, for this test alone: what transfers leave
// there can be seen.
class PrivateTemporaryFolder {
public:
    PrivateTemporaryFolder() {
#ifdef _WIN32
        SetEnvironmentVariableA("TMP", (hostPath(dir_.path()) + "\\").c_str());
#else
        setenv("TMPDIR", dir_.path().c_str(), 1);
#endif
    }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(hostPath(dir_.path())))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    TempDir dir_;
};
