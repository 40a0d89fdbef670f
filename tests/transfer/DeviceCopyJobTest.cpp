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
using Answer = OverwriteAnswer;
using Notice = TransferNotice;
using Files = std::vector<std::pair<std::string, std::size_t>>;

DeviceInfo deviceOn(int port, std::uint8_t typeCode) {
    DeviceInfo info;
    info.typeCode = typeCode;
    std::snprintf(info.serial, sizeof info.serial, "DEV-%d", port);
    info.portNumber = static_cast<std::uint32_t>(port);
    info.protocolVersion = 2;
    return info;
}

devsim::Bytes contentOf(const std::string& name, std::size_t size) {
    devsim::Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(name[0] + i);
    return bytes;
}

// What the source of the files was told.
struct SourceRecord {
    std::mutex lock;
    bool started = false;
    std::optional<bool> completed;  // moved?
    bool finished = false;
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

struct JobCase {
    const char* what;
    Files onTarget;  // files the target has before the job, of 't' bytes
    bool move;
    std::deque<Answer> answers;
    devsim::Faults sourceFaults;
    devsim::Faults targetFaults;
    std::size_t questions;
    std::vector<Notice> told;
    std::optional<bool> completed;    // none: the job was cancelled
    std::vector<std::string> copied;  // files on the target that now hold the source's bytes
};

}  // namespace

TEST(DeviceCopyJobTest, JobsCopyInOrderAskBeforeReplacingAndConfirmAMoveOnlyWhenEveryFileArrived) {
    const Files sourceFiles = {{"A.TXT", 300}, {"B.TXT", 200}, {"C.TXT", 0}};
    const devsim::Faults none;
    const JobCase cases[] = {
        {"a copy", {}, false, {}, none, none, 0, {}, false, {"A.TXT", "B.TXT", "C.TXT"}},
        {"a move", {}, true, {}, none, none, 0, {}, true, {"A.TXT", "B.TXT", "C.TXT"}},
        {"No keeps a move a copy", {{"B.TXT", 5}}, true, {Answer::No}, none, none, 1, {}, false, {"A.TXT", "C.TXT"}},
        {"Yes to all answers every later question",
         {{"A.TXT", 5}, {"B.TXT", 5}, {"C.TXT", 5}},
         true,
         {Answer::YesToAll},
         none,
         none,
         1,
         {},
         true,
         {"A.TXT", "B.TXT", "C.TXT"}},
        {"Cancel confirms nothing", {{"A.TXT", 5}}, true, {Answer::Cancel}, none, none, 1, {}, std::nullopt, {}},
        {"a failed receive is told and keeps the move a copy",
         {},
         true,
         {},
         devsim::Faults{.nak = devsim::Faults::Nak{.at = 1, .code = 13, .confirming = 0x21}},
         none,
         0,
         {Notice::ReceiveFailed},
         false,
         {}},
        {"a failed send is told and cancels",
         {},
         true,
         {},
         none,
         devsim::Faults{.nak = devsim::Faults::Nak{.at = 1, .code = 14, .confirming = 0x16}},
         0,
         {Notice::SendFailed},
         std::nullopt,
         {}},
        {"the target's refusal to replace is asked on the send side",
         {{"b.txt", 5}},
         true,
         {Answer::No},
         none,
         none,
         1,
         {},
         false,
         {"A.TXT", "C.TXT"}},
        {"a cancel on the target ends the job",
         {},
         false,
         {},
         none,
         devsim::Faults{.nak = devsim::Faults::Nak{.at = 2, .code = 23, .confirming = 0x16}},
         0,
         {},
         std::nullopt,
         {}},
        {"a cancel on the source ends the receiving",
         {},
         true,
         {},
         devsim::Faults{.cancelDownloadAt = 2},
         none,
         0,
         {},
         false,
         {}},
    };
    for (const JobCase& test : cases) {
        SCOPED_TRACE(test.what);
        NoPauses noPauses;
        PrivateTemporaryFolder temporary;
        devsim::SimulatedBus bus;
        auto& source = bus.attach(sourcePort, {.typeCode = 0x72, .serial = "DEV-3"});
        auto& target = bus.attach(targetPort, {.typeCode = 0x78, .serial = "DEV-4"});
        std::vector<TransferListEntry> files;
        for (const auto& [name, size] : sourceFiles) {
            source.putFile(name, contentOf(name, size));
            files.push_back({name, static_cast<std::uint32_t>(size)});
        }
        std::vector<DeviceFileRecord> listing;
        for (const auto& [name, size] : test.onTarget) {
            target.putFile(name, devsim::Bytes(size, 't'));
            listing.push_back({name, static_cast<std::uint32_t>(size)});
        }
        source.setFaults(test.sourceFaults);
        target.setFaults(test.targetFaults);

        ScriptedUser asked(test.answers);
        SourceRecord record;
        const DeviceInfo from = deviceOn(sourcePort, 0x72);
        const auto progress =
            TransferProgress::create(asked, deviceOn(targetPort, 0x78), TransferMode::DeviceToDevice, 3, 500, &from);
        ASSERT_TRUE(startDeviceCopyJob({from, deviceOn(targetPort, 0x78), files, listing, test.move}, progress,
                                       std::make_unique<ForwardingUser>(asked),
                                       std::make_unique<RecordingSource>(record)));
        waitForBackgroundWork();

        EXPECT_EQ(asked.asked.size(), test.questions);
        std::vector<Notice> told;
        for (const auto& message : asked.told) told.push_back(message.notice);
        EXPECT_EQ(told, test.told);
        EXPECT_TRUE(record.started && record.finished);
        EXPECT_EQ(record.completed, test.completed);
        for (const std::string& name : test.copied) {
            EXPECT_TRUE(target.hasFile(name)) << name << " is missing";
            EXPECT_EQ(target.fileData(name), source.fileData(name)) << name;
        }
        for (const auto& [name, size] : test.onTarget) {
            const bool copied = std::find(test.copied.begin(), test.copied.end(), name) != test.copied.end();
            if (!copied) {
                EXPECT_EQ(target.fileData(name), devsim::Bytes(size, 't')) << name << " was replaced";
            }
        }
        EXPECT_EQ(record.refreshes, test.copied.empty() ? 0 : 1);
        EXPECT_EQ(source.files().size(), sourceFiles.size()) << "the job itself deleted on the source";
        EXPECT_EQ(temporary.files(), std::vector<std::string>{}) << "files stayed in the temporary folder";
        ASSERT_EQ(asked.displays.size(), 1u);
        EXPECT_GE(asked.displays[0].closes, 1) << "the job's dialog stayed";
    }
}

TEST(DeviceCopyJobTest, AbortCancelsBothDevicesAndAJobWithoutFilesIsNotStarted) {
    NoPauses noPauses;
    PrivateTemporaryFolder temporary;
    devsim::SimulatedBus bus;
    auto& source = bus.attach(sourcePort, {.typeCode = 0x72, .serial = "DEV-3"});
    auto& target = bus.attach(targetPort, {.typeCode = 0x78, .serial = "DEV-4"});
    source.putFile("BIG.BRF", contentOf("BIG", 4000));
    source.putFile("NEXT.BRF", contentOf("NEXT", 10));
    ScriptedUser user;
    user.onUpdate = [](TransferProgress& progress, const ProgressUpdate&) { progress.abort(); };
    SourceRecord record;
    const DeviceInfo from = deviceOn(sourcePort, 0x72);
    const auto progress =
        TransferProgress::create(user, deviceOn(targetPort, 0x78), TransferMode::DeviceToDevice, 2, 4010, &from);
    ASSERT_TRUE(startDeviceCopyJob({from, deviceOn(targetPort, 0x78), {{"BIG.BRF", 4000}, {"NEXT.BRF", 10}}, {}, true},
                                   progress, std::make_unique<ForwardingUser>(user),
                                   std::make_unique<RecordingSource>(record)));
    waitForBackgroundWork();
    EXPECT_FALSE(record.completed) << "an aborted job confirmed something";
    EXPECT_TRUE(target.files().empty());
    EXPECT_EQ(temporary.files(), std::vector<std::string>{});

    ScriptedUser nobody;
    const auto unused =
        TransferProgress::create(nobody, deviceOn(targetPort, 0x78), TransferMode::DeviceToDevice, 0, 0);
    EXPECT_FALSE(startDeviceCopyJob({deviceOn(sourcePort, 0x72), deviceOn(targetPort, 0x78), {}, {}, false}, unused,
                                    std::make_unique<ScriptedUser>(), std::make_unique<RecordingSource>(record)));
    unused->destroy();
}
