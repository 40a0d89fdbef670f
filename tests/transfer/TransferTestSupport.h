#pragma once
// What the transfer tests share: a user who answers from a script and
// records what the transfer told, a display that records the updates, and
// simulated devices behind port numbers with the protocol's waits skipped.
#include "TestFiles.h"
#include "devsim/SimulatedBus.h"
#include "link/Pause.h"
#include "transfer/TransferProgress.h"
#include "transfer/TransferUser.h"

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

struct RecordedDisplay {
    std::mutex lock;
    std::vector<ProgressUpdate> updates;
    int closes = 0;
    int filledBars = 0;
};

using UpdateHook = std::function<void(TransferProgress&, const ProgressUpdate&)>;

class RecordingDisplay : public ProgressDisplay {
public:
    RecordingDisplay(RecordedDisplay& record, TransferProgress& progress, UpdateHook hook)
        : record_(record), progress_(progress), hook_(std::move(hook)) {}
    void show(const ProgressUpdate& update) override {
        {
            const std::lock_guard<std::mutex> guard(record_.lock);
            record_.updates.push_back(update);
        }
        if (hook_) hook_(progress_, update);
    }
    void fillFileBar() override {
        const std::lock_guard<std::mutex> guard(record_.lock);
        ++record_.filledBars;
    }
    void bringToFront() override {}
    void close() override {
        const std::lock_guard<std::mutex> guard(record_.lock);
        ++record_.closes;
    }

private:
    RecordedDisplay& record_;
    TransferProgress& progress_;
    UpdateHook hook_;
};

class ScriptedUser : public TransferUser {
public:
    explicit ScriptedUser(std::deque<OverwriteAnswer> answers = {}) : answers_(std::move(answers)) {}

    OverwriteAnswer askOverwrite(const std::string& name) override {
        const std::lock_guard<std::mutex> guard(lock_);
        asked.push_back(name);
        if (answers_.empty()) return OverwriteAnswer::Closed;
        const OverwriteAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void tell(const TransferMessage& message) override {
        const std::lock_guard<std::mutex> guard(lock_);
        told.push_back(message);
    }
    std::unique_ptr<ProgressDisplay> makeProgressDisplay(TransferProgress& progress) override {
        const std::lock_guard<std::mutex> guard(lock_);
        displays.emplace_back();
        return std::make_unique<RecordingDisplay>(displays.back(), progress, onUpdate);
    }

    std::vector<std::string> asked;
    std::vector<TransferMessage> told;
    std::deque<RecordedDisplay> displays;
    UpdateHook onUpdate;  // runs on the transferring thread after each update

private:
    std::mutex lock_;
    std::deque<OverwriteAnswer> answers_;
};

// Hands a job what it says to a user the test keeps.
class ForwardingUser : public TransferUser {
public:
    explicit ForwardingUser(TransferUser& user) : user_(user) {}
    OverwriteAnswer askOverwrite(const std::string& name) override { return user_.askOverwrite(name); }
    void tell(const TransferMessage& message) override { user_.tell(message); }
    std::unique_ptr<ProgressDisplay> makeProgressDisplay(TransferProgress& progress) override {
        return user_.makeProgressDisplay(progress);
    }

private:
    TransferUser& user_;
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
