// Uploads and downloads between the PC and a simulated device, with the
// user's answers scripted: what arrives where, what the user is told, and
// what the shell is asked to do afterwards.
#include "TestFiles.h"
#include "TransferTestSupport.h"
#include "link/NBException.h"
#include "transfer/PcTransfers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace {

constexpr int port = 4;
constexpr std::size_t folderSize = static_cast<std::size_t>(-1);
using Answer = OverwriteAnswer;
using Notice = TransferNotice;

DeviceInfo corvia(int portNumber = port) {
    DeviceInfo info;
    info.typeCode = 0x78;
    std::snprintf(info.serial, sizeof info.serial, "CV8-%04d", portNumber);
    info.portNumber = static_cast<std::uint32_t>(portNumber);
    info.protocolVersion = 2;
    return info;
}

devsim::Bytes filled(std::size_t size, char with) {
    return devsim::Bytes(size, static_cast<std::uint8_t>(with));
}

// Local files of `size` bytes of 'p' (or folders) in `dir`, as an upload takes them.
std::vector<UploadSource> localFiles(const TempDir& dir,
                                     const std::vector<std::pair<std::string, std::size_t>>& files) {
    std::vector<UploadSource> sources;
    for (const auto& [name, size] : files) {
        const std::string path = dir.file(name);
        if (size == folderSize) {
            std::filesystem::create_directory(path);
        } else {
            std::ofstream(path, std::ios::binary) << std::string(size, 'p');
        }
        sources.push_back({hostPath(path), name});
    }
    return sources;
}

class PcTransfersTest : public ::testing::Test {
protected:
    PcTransfersTest() : device_(bus_.attach(port, {.serial = "CV8-0004", .stepTimeout = devsim::Milliseconds(300)})) {}

    std::vector<UploadSource> drop(const std::vector<std::pair<std::string, std::size_t>>& files) {
        return localFiles(dir_, files);
    }
    std::vector<DeviceFileRecord> listing() const {
        std::vector<DeviceFileRecord> records;
        for (const auto& file : device_.files()) records.push_back({file.name, file.size});
        return records;
    }
    std::vector<Notice> notices(const ScriptedUser& user) const {
        std::vector<Notice> told;
        for (const auto& message : user.told) told.push_back(message.notice);
        return told;
    }

    NoPauses noPauses_;
    devsim::SimulatedBus bus_{devsim::Milliseconds(300)};
    devsim::SimulatedDevice& device_;
    TempDir dir_;
};

struct UploadCase {
    const char* what;
    std::vector<std::pair<std::string, std::size_t>> onDevice;  // files of 'd' bytes
    std::uint32_t freeSpace;
    std::vector<std::pair<std::string, std::size_t>> dropped;
    std::deque<Answer> answers;
    std::size_t questions;
    std::vector<Notice> told;
    std::map<std::string, std::size_t> fromPc;  // device files that now hold the PC's bytes
    UploadOutcome outcome;
};

}  // namespace

TEST_F(PcTransfersTest, UploadsCheckEverythingFirstThenAskBeforeReplacingAndReportTheOutcome) {
    const UploadCase cases[] = {
        {"new files arrive in order",
         {},
         1000,
         {{"A.TXT", 100}, {"B.TXT", 0}, {"C.TXT", 250}},
         {},
         0,
         {},
         {{"A.TXT", 100}, {"B.TXT", 0}, {"C.TXT", 250}},
         {true, true, true}},
        {"files that do not fit are refused before any byte",
         {},
         100,
         {{"A.TXT", 60}, {"B.TXT", 60}},
         {},
         0,
         {Notice::NotEnoughSpace},
         {},
         {}},
        {"a folder among the files is refused before any byte",
         {},
         1000,
         {{"A.TXT", 60}, {"DIR", folderSize}},
         {},
         0,
         {Notice::DirectoryDropped},
         {},
         {}},
        {"yes, no and yes to all: the last answers every later question",
         {{"A", 5}, {"B", 5}, {"C", 5}, {"D", 5}},
         1000,
         {{"A", 10}, {"B", 10}, {"C", 10}, {"D", 10}, {"E", 10}},
         {Answer::Yes, Answer::No, Answer::YesToAll},
         3,
         {},
         {{"A", 10}, {"C", 10}, {"D", 10}, {"E", 10}},
         {true, false, true}},
        {"cancel stops the rest",
         {{"B", 5}},
         1000,
         {{"A", 10}, {"B", 10}, {"C", 10}},
         {Answer::Cancel},
         1,
         {},
         {{"A", 10}},
         {true, false, true}},
        {"closing the question stops the rest",
         {{"A", 5}},
         1000,
         {{"A", 10}, {"B", 10}},
         {},
         1,
         {},
         {},
         {true, false, false}},
        {"one declined file changes nothing",
         {{"A", 5}},
         1000,
         {{"A", 10}},
         {Answer::No},
         1,
         {},
         {},
         {true, false, false}},
        {"the replaced file's room counts, whatever the case of its name",
         {{"NOTES.TXT", 100}},
         50,
         {{"notes.txt", 120}},
         {Answer::Yes},
         1,
         {},
         {{"NOTES.TXT", 120}},
         {true, true, true}},
    };
    for (const UploadCase& test : cases) {
        SCOPED_TRACE(test.what);
        devsim::SimulatedDevice& device = bus_.attach(port, {.serial = "CV8-0004", .freeSpace = test.freeSpace});
        for (const auto& [name, size] : test.onDevice) device.putFile(name, filled(size, 'd'));
        const TempDir local;
        const auto files = localFiles(local, test.dropped);
        std::vector<DeviceFileRecord> records;
        for (const auto& file : device.files()) records.push_back({file.name, file.size});

        ScriptedUser user(test.answers);
        const UploadOutcome outcome = uploadFiles(corvia(), files, records, user);

        EXPECT_EQ(user.asked.size(), test.questions);
        std::vector<Notice> told;
        for (const auto& message : user.told) told.push_back(message.notice);
        EXPECT_EQ(told, test.told);
        for (const auto& file : device.files()) {
            const auto expected = test.fromPc.find(file.name);
            const auto data = *device.fileData(file.name);
            if (expected != test.fromPc.end()) {
                EXPECT_EQ(data, filled(expected->second, 'p')) << file.name << " does not hold the PC's file";
            } else {
                EXPECT_TRUE(data.empty() || data.front() == 'd') << file.name << " was written";
            }
        }
        for (const auto& [name, size] : test.fromPc) EXPECT_TRUE(device.hasFile(name)) << name << " is missing";
        EXPECT_EQ(outcome.processed, test.outcome.processed);
        EXPECT_EQ(outcome.allSucceeded, test.outcome.allSucceeded);
        EXPECT_EQ(outcome.refreshView, test.outcome.refreshView);
        EXPECT_EQ(user.displays.size(), test.outcome.processed ? 1u : 0u) << "progress shown";
    }
}

TEST_F(PcTransfersTest, UploadFailuresAreToldOnceAndStopTheUpload) {
    // The device's room is taken by someone else while the first file goes.
    device_.setEventObserver([&](const std::string& event) {
        if (event.starts_with("received A")) device_.setFreeSpace(5);
    });
    ScriptedUser full;
    auto outcome = uploadFiles(corvia(), drop({{"A", 10}, {"B", 10}, {"C", 10}}), {}, full);
    EXPECT_EQ(notices(full), std::vector<Notice>{Notice::DeviceRefusedForSpace});
    EXPECT_TRUE(device_.hasFile("A"));
    EXPECT_FALSE(device_.hasFile("B"));
    EXPECT_TRUE(outcome.refreshView);
    EXPECT_FALSE(outcome.allSucceeded);
    device_.setEventObserver(nullptr);

    // A device that falls silent in the middle of a file: one message naming
    // the file, the model and the port, and no further file is tried.
    device_.setFreeSpace(100000);
    device_.setFaults({.silenceAfterBytes = 40});
    ScriptedUser silent;
    const auto files = drop({{"D", 500}, {"E", 10}});
    outcome = uploadFiles(corvia(), files, listing(), silent);
    ASSERT_EQ(silent.told.size(), 1u);
    EXPECT_EQ(silent.told[0].notice, Notice::UploadFailed);
    EXPECT_EQ(silent.told[0].name, files[0].localPath);
    EXPECT_EQ(silent.told[0].model, "Corvia 80");
    EXPECT_EQ(silent.told[0].port, port);
    EXPECT_FALSE(outcome.refreshView);
    device_.clearFaults();
    EXPECT_FALSE(device_.hasFile("D"));
    EXPECT_FALSE(device_.hasFile("E"));

    // A name the device cannot take is refused before any byte.
    ScriptedUser unnamed;
    auto odd = drop({{"F", 1}});
    odd.front().deviceName.reset();
    EXPECT_FALSE(uploadFiles(corvia(), odd, {}, unnamed).processed);
    EXPECT_EQ(notices(unnamed), std::vector<Notice>{Notice::UploadFailed});
}

TEST_F(PcTransfersTest, AbortStopsTheRunningFileAndEveryLaterOneWithoutAMessage) {
    ScriptedUser user;
    user.onUpdate = [](TransferProgress& progress, const ProgressUpdate&) { progress.abort(); };
    const auto outcome = uploadFiles(corvia(), drop({{"A", 2000}, {"B", 10}}), {}, user);
    EXPECT_TRUE(user.told.empty());
    EXPECT_FALSE(device_.hasFile("A"));
    EXPECT_FALSE(device_.hasFile("B"));
    EXPECT_FALSE(outcome.allSucceeded);
    EXPECT_FALSE(outcome.refreshView);
    ASSERT_EQ(user.displays.size(), 1u);
    EXPECT_GE(user.displays[0].closes, 1) << "the dialog stayed";
}

TEST_F(PcTransfersTest, DownloadsWriteTheDevicesBytesAndLeaveNoFileWhenTheyFail) {
    const devsim::Bytes content = filled(300, 'x');
    device_.putFile("LETTER.TXT", content);
    ScriptedUser user;
    const auto progress = TransferProgress::create(user, corvia(), TransferMode::PcAndDevice, 2, 300);
    const std::string local = dir_.file("letter.txt");
    EXPECT_TRUE(downloadOneFile(corvia(), "LETTER.TXT", hostPath(local), 300, *progress, user));
    EXPECT_EQ(readFileBytes(local), content);

    const std::string missing = dir_.file("missing.txt");
    std::ofstream(missing) << "temporary";
    EXPECT_FALSE(downloadOneFile(corvia(), "GONE.TXT", hostPath(missing), 10, *progress, user));
    EXPECT_FALSE(pathExists(missing));
    ASSERT_EQ(notices(user), std::vector<Notice>{Notice::DownloadFailed});
    EXPECT_EQ(user.told[0].name, "GONE.TXT");

    progress->abort();  // between files: the next one is cancelled quietly
    EXPECT_FALSE(downloadOneFile(corvia(), "LETTER.TXT", hostPath(local), 300, *progress, user));
    EXPECT_FALSE(pathExists(local));
    EXPECT_EQ(user.told.size(), 1u);
    progress->destroy();
}
