// Device-to-device jobs between two simulated devices, with the user's
// answers scripted: what arrives on the target, what the source is told,
// and that nothing of the files stays in the temporary folder.
#include "TransferTestSupport.h"
#include "transfer/BackgroundWork.h"
#include "protocol/DeviceErrors.h"
#include "protocol/ProtocolBytes.h"
#include "transfer/DeviceCopyJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr int sourcePort = 3;
constexpr int targetPort = 4;
using Notice = TransferNotice;
using Nak = devsim::Faults::Nak;

const std::vector<TransferListEntry> threeFiles = {{"A", 300}, {"B", 200}, {"C", 0}};

// What the source of the files was told; read once the job has ended.
struct SourceRecord {
    std::atomic<bool> started = false, finished = false;
    std::atomic<int> completed = -1;  // -1: no word, 0: copied, 1: moved
    std::atomic<int> refreshes = 0;
};
enum Completed { Cancelled = -1, Copied, Moved };

struct RecordingSource : DeviceCopySource {
    explicit RecordingSource(SourceRecord& record) : record(record) {}
    bool starting(bool) override { return record.started = true; }
    void completed(bool moved) override { record.completed = moved; }
    void finished() override { record.finished = true; }
    void refreshTarget() override { ++record.refreshes; }
    SourceRecord& record;
};

// The user's temporary folder, for this test alone: what jobs leave there can be seen.
class PrivateTemporaryFolder {
public:
    PrivateTemporaryFolder() {
#ifdef _WIN32
        SetEnvironmentVariableA("TMP", (hostPath(dir_.path()) + "\\").c_str());
#else
        setenv("TMPDIR", dir_.path().c_str(), 1);
#endif
    }
    bool empty() const {
        return std::filesystem::is_empty(hostPath(dir_.path()));
    }

private:
    TempDir dir_;
};

// The device refuses its `at`-th confirmation of `confirming` with `code`.
devsim::Faults refusing(unsigned at, std::uint8_t code, std::uint8_t confirming) {
    return {.nak = Nak{.at = at, .code = code, .confirming = confirming}};
}

// Runs one job to its end; the files of the source are A, B and C.
struct Job {
    explicit Job(std::vector<OverwriteAnswer> answers) : user(std::move(answers)) {
        for (const auto& [name, size] : threeFiles) source.putFile(name, filled(size, name[0]));
    }
    bool run(std::vector<TransferListEntry> files, bool move) {
        const DeviceInfo from = deviceOn(sourcePort, 0x72);
        std::vector<DeviceFileRecord> listing;
        for (const auto& file : target.files()) listing.push_back({file.name, file.size});
        std::uint64_t total = 0;
        for (const auto& file : files) total += file.size;
        const auto progress = TransferProgress::create(user, TransferMode::DeviceToDevice,
                                                       static_cast<std::uint32_t>(files.size()), total);
        const bool started =
            startDeviceCopyJob({from, deviceOn(targetPort), std::move(files), listing, move}, progress,
                               std::make_unique<ScriptedUser>(user), std::make_unique<RecordingSource>(record));
        waitForBackgroundWork();
        if (!started) progress->destroy();
        return started;
    }

    PauseLog pauses;
    PrivateTemporaryFolder temporary;
    devsim::SimulatedBus bus;
    devsim::SimulatedDevice& source = bus.attach(sourcePort, {.typeCode = 0x72, .serial = "DEV-3"});
    devsim::SimulatedDevice& target = bus.attach(targetPort, {.typeCode = 0x78, .serial = "DEV-4"});
    ScriptedUser user;
    SourceRecord record;
};

}  // namespace

TEST(DeviceCopyJobTest, JobsCopyInOrderAskBeforeReplacingConfirmAMoveOnlyWhenEveryFileArrivedAndNeedFiles) {
    using enum TransferNotice;
    using enum OverwriteAnswer;
    using namespace ProtocolBytes;
    const devsim::Faults noOpen = refusing(1, DeviceError::CannotOpenFile, GET_FILE),
                         noWrite = refusing(1, DeviceError::CannotWriteToFile, SYNC),
                         cancelled = refusing(2, DeviceError::CanceledByPc, SYNC);
    const struct {
        const char* what;
        const char* onTarget;  // files the target has before the job, of 't' bytes
        bool move;
        std::vector<OverwriteAnswer> answers;
        devsim::Faults sourceFaults, targetFaults;
        std::vector<Notice> told;
        Completed completed;
        const char* copied;  // files on the target that now hold the source's bytes
    } cases[] = {
        {"a copy", "", false, {}, {}, {}, {}, Copied, "A B C"},
        {"a move", "", true, {}, {}, {}, {}, Moved, "A B C"},
        {"No keeps a move a copy", "B=5", true, {No}, {}, {}, {}, Copied, "A C"},
        {"Yes to all answers every later question", "A=5 B=5 C=5", true, {YesToAll}, {}, {}, {}, Moved, "A B C"},
        {"Cancel confirms nothing", "A=5", true, {Cancel}, {}, {}, {}, Cancelled, ""},
        {"a failed receive keeps a move a copy", "", true, {}, noOpen, {}, {ReceiveFailed}, Copied, ""},
        {"a failed send cancels", "", true, {}, {}, noWrite, {SendFailed}, Cancelled, ""},
        {"the target's refusal to replace is asked", "b=5", true, {No}, {}, {}, {}, Copied, "A C"},
        {"a cancel on the target ends the job", "", false, {}, {}, cancelled, {}, Cancelled, ""},
        {"a cancel on the source ends the receiving", "", true, {}, {.cancelDownloadAt = 2}, {}, {}, Copied, ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        Job job(test.answers);
        for (const auto& [name, size] : filesOf(test.onTarget)) job.target.putFile(name, filled(size, 't'));
        job.source.setFaults(test.sourceFaults);
        job.target.setFaults(test.targetFaults);
        ASSERT_TRUE(job.run(threeFiles, test.move));

        EXPECT_EQ(job.user->asked.size(), test.answers.size());
        EXPECT_EQ(job.user->notices(), test.told);
        EXPECT_TRUE(job.record.started && job.record.finished);
        EXPECT_EQ(job.record.completed.load(), test.completed);
        Contents expected = withFiles({}, test.onTarget, 't');
        std::istringstream copied(test.copied);
        for (std::string name; copied >> name;) expected[name] = *job.source.fileData(name);
        EXPECT_EQ(contentsOf(job.target), expected);
        EXPECT_EQ(job.record.refreshes.load(), *test.copied ? 1 : 0);
        EXPECT_EQ(job.source.files().size(), 3u) << "the job itself deleted on the source";
        EXPECT_TRUE(job.temporary.empty()) << "files stayed in the temporary folder";
        EXPECT_EQ(job.user->displays, 1);
        EXPECT_GE(job.user->closes, 1) << "the job's dialog stayed";
    }
    // Abort in the job's dialog: the shell's device-to-device test.
    Job empty({});
    EXPECT_FALSE(empty.run({}, false)) << "a job without files started";
    EXPECT_FALSE(empty.record.started);
}
