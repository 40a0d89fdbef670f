// Device-to-device jobs between two simulated devices, with the user's
// answers scripted: what arrives on the target, what the source is told,
// and that nothing of the files stays in the temporary folder.
#include "TransferTestSupport.h"
#include "transfer/BackgroundWork.h"
#include "transfer/DeviceCopyJob.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int sourcePort = 3;
constexpr int targetPort = 4;
using Notice = TransferNotice;
using Nak = devsim::Faults::Nak;

devsim::Bytes contentOf(const std::string& name, std::size_t size) {
    devsim::Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(name[0] + i);
    return bytes;
}

// What the source of the files was told.
struct SourceRecord {
    std::mutex lock;
    bool started = false, finished = false;
    std::optional<bool> completed;  // moved?
    int refreshes = 0;
};

class RecordingSource : public DeviceCopySource {
public:
    explicit RecordingSource(SourceRecord& record) : record_(record) {}
    bool starting(bool) override {
        return set([&] { record_.started = true; });
    }
    void completed(bool moved) override {
        set([&] { record_.completed = moved; });
    }
    void finished() override {
        set([&] { record_.finished = true; });
    }
    void refreshTarget() override {
        set([&] { ++record_.refreshes; });
    }

private:
    template <typename Change>
    bool set(Change&& change) {
        const std::lock_guard<std::mutex> guard(record_.lock);
        change();
        return true;
    }
    SourceRecord& record_;
};

// Runs one job to its end; the files of the source are A.TXT, B.TXT, C.TXT.
struct Job {
    explicit Job(const std::string& answers) : user(answers) {
        source.putFile("A.TXT", contentOf("A", 300));
        source.putFile("B.TXT", contentOf("B", 200));
        source.putFile("C.TXT", contentOf("C", 0));
    }
    bool run(std::vector<TransferListEntry> files, bool move) {
        const DeviceInfo from = deviceOn(sourcePort, 0x72);
        std::vector<DeviceFileRecord> listing;
        for (const auto& file : target.files()) listing.push_back({file.name, file.size});
        std::uint64_t total = 0;
        for (const auto& file : files) total += file.size;
        const auto progress = TransferProgress::create(user, deviceOn(targetPort), TransferMode::DeviceToDevice,
                                                       static_cast<std::uint32_t>(files.size()), total, &from);
        const bool started =
            startDeviceCopyJob({from, deviceOn(targetPort), std::move(files), listing, move}, progress,
                               std::make_unique<ScriptedUser>(user), std::make_unique<RecordingSource>(record));
        waitForBackgroundWork();
        if (!started) progress->destroy();
        return started;
    }

    NoPauses noPauses;
    PrivateTemporaryFolder temporary;
    devsim::SimulatedBus bus;
    devsim::SimulatedDevice& source = bus.attach(sourcePort, {.typeCode = 0x72, .serial = "DEV-3"});
    devsim::SimulatedDevice& target = bus.attach(targetPort, {.typeCode = 0x78, .serial = "DEV-4"});
    ScriptedUser user;
    SourceRecord record;
};

const std::vector<TransferListEntry> threeFiles = {{"A.TXT", 300}, {"B.TXT", 200}, {"C.TXT", 0}};

struct JobCase {
    const char* what;
    const char* onTarget;  // files the target has before the job, of 't' bytes
    bool move;
    const char* answers;
    devsim::Faults sourceFaults, targetFaults;
    std::size_t questions;
    std::vector<Notice> told;
    std::optional<bool> completed;    // none: the job was cancelled
    std::vector<std::string> copied;  // files on the target that now hold the source's bytes
};

}  // namespace

TEST(DeviceCopyJobTest, JobsCopyInOrderAskBeforeReplacingAndConfirmAMoveOnlyWhenEveryFileArrived) {
    const std::vector<std::string> all = {"A.TXT", "B.TXT", "C.TXT"};
    const JobCase cases[] = {
        {"a copy", "", false, "", {}, {}, 0, {}, false, all},
        {"a move", "", true, "", {}, {}, 0, {}, true, all},
        {"No keeps a move a copy", "B.TXT=5", true, "n", {}, {}, 1, {}, false, {"A.TXT", "C.TXT"}},
        {"Yes to all answers every later question", "A.TXT=5 B.TXT=5 C.TXT=5", true, "a", {}, {}, 1, {}, true, all},
        {"Cancel confirms nothing", "A.TXT=5", true, "c", {}, {}, 1, {}, std::nullopt, {}},
        {"a failed receive is told and keeps the move a copy",
         "",
         true,
         "",
         {.nak = Nak{.at = 1, .code = 13, .confirming = 0x21}},
         {},
         0,
         {Notice::ReceiveFailed},
         false,
         {}},
        {"a failed send is told and cancels",
         "",
         true,
         "",
         {},
         {.nak = Nak{.at = 1, .code = 14, .confirming = 0x16}},
         0,
         {Notice::SendFailed},
         std::nullopt,
         {}},
        {"the target's refusal to replace is asked on the send side",
         "b.txt=5",
         true,
         "n",
         {},
         {},
         1,
         {},
         false,
         {"A.TXT", "C.TXT"}},
        {"a cancel on the target ends the job",
         "",
         false,
         "",
         {},
         {.nak = Nak{.at = 2, .code = 23, .confirming = 0x16}},
         0,
         {},
         std::nullopt,
         {}},
        {"a cancel on the source ends the receiving", "", true, "", {.cancelDownloadAt = 2}, {}, 0, {}, false, {}},
    };
    for (const JobCase& test : cases) {
        SCOPED_TRACE(test.what);
        Job job(test.answers);
        for (const auto& [name, size] : filesOf(test.onTarget)) job.target.putFile(name, filled(size, 't'));
        job.source.setFaults(test.sourceFaults);
        job.target.setFaults(test.targetFaults);
        ASSERT_TRUE(job.run(threeFiles, test.move));

        EXPECT_EQ(job.user->asked.size(), test.questions);
        EXPECT_EQ(job.user->notices(), test.told);
        EXPECT_TRUE(job.record.started && job.record.finished);
        EXPECT_EQ(job.record.completed, test.completed);
        for (const std::string& name : test.copied) {
            EXPECT_TRUE(job.target.hasFile(name)) << name << " is missing";
            EXPECT_EQ(job.target.fileData(name), job.source.fileData(name)) << name;
        }
        for (const auto& [name, size] : filesOf(test.onTarget)) {
            if (std::find(test.copied.begin(), test.copied.end(), name) == test.copied.end()) {
                EXPECT_EQ(job.target.fileData(name), filled(size, 't')) << name << " was replaced";
            }
        }
        EXPECT_EQ(job.record.refreshes, test.copied.empty() ? 0 : 1);
        EXPECT_EQ(job.source.files().size(), 3u) << "the job itself deleted on the source";
        EXPECT_EQ(job.temporary.files(), std::vector<std::string>{}) << "files stayed in the temporary folder";
        EXPECT_EQ(job.user->displays, 1);
        EXPECT_GE(job.user->closes, 1) << "the job's dialog stayed";
    }
}

TEST(DeviceCopyJobTest, AbortCancelsBothDevicesAndAJobWithoutFilesIsNotStarted) {
    Job job("");
    job.source.putFile("BIG.BRF", contentOf("BIG", 4000));
    job.user->onUpdate = [](TransferProgress& progress) { progress.abort(); };
    ASSERT_TRUE(job.run({{"BIG.BRF", 4000}, {"A.TXT", 300}}, true));
    EXPECT_FALSE(job.record.completed) << "an aborted job confirmed something";
    EXPECT_TRUE(job.target.files().empty());
    EXPECT_EQ(job.temporary.files(), std::vector<std::string>{});

    Job empty("");
    EXPECT_FALSE(empty.run({}, false));
    EXPECT_FALSE(empty.record.started);
}
