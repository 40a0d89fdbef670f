// Uploads and downloads between the PC and a simulated device, with the
// user's answers scripted: what arrives where, what the user is told, and
// what the shell is asked to do afterwards.
#include "TransferTestSupport.h"
#include "transfer/PcTransfers.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

constexpr int port = 4;
using Notice = TransferNotice;

// Local files of `size` bytes of 'p' (or folders) in `dir`, as an upload takes them.
std::vector<UploadSource> localFiles(const TempDir& dir, const Files& files) {
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

struct UploadCase {
    const char* what;
    const char* onDevice;  // files of 'd' bytes
    std::uint32_t freeSpace;
    const char* dropped;
    const char* answers;
    std::size_t questions;
    std::vector<Notice> told;
    const char* fromPc;  // device files that now hold the PC's bytes
    UploadOutcome outcome;
};

class PcTransfersTest : public ::testing::Test {
protected:
    PcTransfersTest() : device_(bus_.attach(port, {.serial = "DEV-4", .stepTimeout = devsim::Milliseconds(300)})) {}
    NoPauses noPauses_;
    devsim::SimulatedBus bus_{devsim::Milliseconds(300)};
    devsim::SimulatedDevice& device_;
    TempDir dir_;
};

}  // namespace

TEST_F(PcTransfersTest, UploadsCheckEverythingFirstThenAskBeforeReplacingAndReportTheOutcome) {
    const UploadCase cases[] = {
        {"new files arrive",
         "",
         1000,
         "A.TXT=100 B.TXT=0 C.TXT=250",
         "",
         0,
         {},
         "A.TXT=100 B.TXT=0 C.TXT=250",
         {true, true, true}},
        {"files that do not fit", "", 100, "A.TXT=60 B.TXT=60", "", 0, {Notice::NotEnoughSpace}, "", {}},
        {"a folder among the files", "", 1000, "A.TXT=60 DIR/", "", 0, {Notice::DirectoryDropped}, "", {}},
        {"yes, no, yes to all",
         "A=5 B=5 C=5 D=5",
         1000,
         "A=10 B=10 C=10 D=10 E=10",
         "yna",
         3,
         {},
         "A=10 C=10 D=10 E=10",
         {true, false, true}},
        {"cancel stops the rest", "B=5", 1000, "A=10 B=10 C=10", "c", 1, {}, "A=10", {true, false, true}},
        {"closing the question stops the rest", "A=5", 1000, "A=10 B=10", "-", 1, {}, "", {true, false, false}},
        {"one declined file changes nothing", "A=5", 1000, "A=10", "n", 1, {}, "", {true, false, false}},
        {"the replaced file's room counts, whatever its case",
         "NOTES.TXT=100",
         50,
         "notes.txt=120",
         "y",
         1,
         {},
         "NOTES.TXT=120",
         {true, true, true}},
    };
    for (const UploadCase& test : cases) {
        SCOPED_TRACE(test.what);
        devsim::SimulatedDevice& device = bus_.attach(port, {.serial = "DEV-4", .freeSpace = test.freeSpace});
        std::vector<DeviceFileRecord> records;
        for (const auto& [name, size] : filesOf(test.onDevice)) {
            device.putFile(name, filled(size, 'd'));
            records.push_back({name, static_cast<std::uint32_t>(size)});
        }
        const TempDir local;
        ScriptedUser user(test.answers);
        const UploadOutcome outcome =
            uploadFiles(deviceOn(port), localFiles(local, filesOf(test.dropped)), records, user);

        EXPECT_EQ(user->asked.size(), test.questions);
        EXPECT_EQ(user->notices(), test.told);
        const Files fromPc = filesOf(test.fromPc);
        for (const auto& file : device.files()) {
            const auto pc = std::find_if(fromPc.begin(), fromPc.end(), [&](auto& f) { return f.first == file.name; });
            const auto data = *device.fileData(file.name);
            if (pc != fromPc.end()) {
                EXPECT_EQ(data, filled(pc->second, 'p')) << file.name << " does not hold the PC's file";
            } else {
                EXPECT_TRUE(data.empty() || data.front() == 'd') << file.name << " was written";
            }
        }
        for (const auto& [name, size] : fromPc) EXPECT_TRUE(device.hasFile(name)) << name << " is missing";
        EXPECT_EQ(outcome.processed, test.outcome.processed);
        EXPECT_EQ(outcome.allSucceeded, test.outcome.allSucceeded);
        EXPECT_EQ(outcome.refreshView, test.outcome.refreshView);
        EXPECT_EQ(user->displays, test.outcome.processed ? 1 : 0) << "progress shown";
    }
}

TEST_F(PcTransfersTest, FailuresAndAbortStopTheUploadAndAreToldOnce) {
    // The device's room is taken by someone else while the first file goes.
    device_.setEventObserver([&](const std::string& event) {
        if (event.starts_with("received A")) device_.setFreeSpace(5);
    });
    ScriptedUser full;
    auto outcome = uploadFiles(deviceOn(port), localFiles(dir_, filesOf("A=10 B=10 C=10")), {}, full);
    EXPECT_EQ(full->notices(), std::vector<Notice>{Notice::DeviceRefusedForSpace});
    EXPECT_TRUE(device_.hasFile("A") && !device_.hasFile("B"));
    EXPECT_TRUE(outcome.refreshView && !outcome.allSucceeded);
    device_.setEventObserver(nullptr);

    // A device that falls silent in the middle of a file: one message naming
    // the file, the model and the port, and no further file is tried.
    device_.setFreeSpace(100000);
    device_.setFaults({.silenceAfterBytes = 40});
    ScriptedUser silent;
    const auto files = localFiles(dir_, filesOf("D=500 E=10"));
    outcome = uploadFiles(deviceOn(port), files, {}, silent);
    ASSERT_EQ(silent->told.size(), 1u);
    const TransferMessage& told = silent->told[0];
    EXPECT_EQ(std::tie(told.notice, told.name, told.model, told.port),
              std::make_tuple(Notice::UploadFailed, files[0].localPath, "Corvia 80", port));
    EXPECT_FALSE(outcome.refreshView);
    device_.clearFaults();
    EXPECT_FALSE(device_.hasFile("D") || device_.hasFile("E"));

    // A name the device cannot take is refused before any byte.
    ScriptedUser unnamed;
    auto odd = localFiles(dir_, filesOf("F=1"));
    odd.front().deviceName.reset();
    EXPECT_FALSE(uploadFiles(deviceOn(port), odd, {}, unnamed).processed);
    EXPECT_EQ(unnamed->notices(), std::vector<Notice>{Notice::UploadFailed});

    // Abort at the first report: no message, nothing sent, the dialog gone.
    ScriptedUser aborting;
    aborting->onUpdate = [](TransferProgress& progress) { progress.abort(); };
    outcome = uploadFiles(deviceOn(port), localFiles(dir_, filesOf("G=2000 H=10")), {}, aborting);
    EXPECT_TRUE(aborting->told.empty());
    EXPECT_FALSE(device_.hasFile("G") || device_.hasFile("H"));
    EXPECT_FALSE(outcome.allSucceeded || outcome.refreshView);
    EXPECT_GE(aborting->closes, 1) << "the dialog stayed";
}

TEST_F(PcTransfersTest, DownloadsWriteTheDevicesBytesAndLeaveNoFileWhenTheyFail) {
    device_.putFile("LETTER.TXT", filled(300, 'x'));
    ScriptedUser user;
    const auto progress = TransferProgress::create(user, deviceOn(port), TransferMode::PcAndDevice, 2, 300);
    const std::string local = dir_.file("letter.txt");
    EXPECT_TRUE(downloadOneFile(deviceOn(port), "LETTER.TXT", hostPath(local), 300, *progress, user));
    EXPECT_EQ(readFileBytes(local), filled(300, 'x'));

    const std::string missing = dir_.file("missing.txt");
    std::ofstream(missing) << "temporary";
    EXPECT_FALSE(downloadOneFile(deviceOn(port), "GONE.TXT", hostPath(missing), 10, *progress, user));
    EXPECT_FALSE(pathExists(missing));
    ASSERT_EQ(user->notices(), std::vector<Notice>{Notice::DownloadFailed});
    EXPECT_EQ(user->told[0].name, "GONE.TXT");

    progress->abort();  // between files: the next one is cancelled quietly
    EXPECT_FALSE(downloadOneFile(deviceOn(port), "LETTER.TXT", hostPath(local), 300, *progress, user));
    EXPECT_FALSE(pathExists(local));
    EXPECT_EQ(user->told.size(), 1u);
    progress->destroy();
}
