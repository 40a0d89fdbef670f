// Uploads and downloads between the PC and a simulated device, with the
// user's answers scripted: what arrives where, what the user is told, and
// what the shell is asked to do afterwards; device names made local names.
#include "TransferTestSupport.h"
#include "transfer/FileNames.h"
#include "transfer/PcTransfers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

constexpr int port = 4;
using Notice = TransferNotice;

// Local files of `size` bytes of 'p' (or folders) in `dir`, as an upload takes them.
std::vector<UploadSource> localFiles(const TempDir& dir, const Files& files) {
    std::vector<UploadSource> sources;
    for (const auto& [name, size] : files) {
        const std::string path = dir.file(name);
        if (size == folderSize) std::filesystem::create_directory(hostPath(path));
        if (size != folderSize) writeText(path, std::string(size, 'p'));
        sources.push_back({hostPath(path), name});
    }
    return sources;
}

class PcTransfersTest : public ::testing::Test {
protected:
    PcTransfersTest() : device_(bus_.attach(port, {.serial = "DEV-4", .stepTimeout = devsim::Milliseconds(300)})) {}
    PauseLog pauses_;
    devsim::SimulatedBus bus_{devsim::Milliseconds(300)};
    devsim::SimulatedDevice& device_;
    TempDir dir_;
};

}  // namespace

TEST_F(PcTransfersTest, UploadsCheckEverythingFirstThenAskBeforeReplacingAndReportTheOutcome) {
    using enum TransferNotice;
    using enum OverwriteAnswer;
    const struct {
        const char* what;
        const char* onDevice;  // files of 'd' bytes
        std::uint32_t freeSpace;
        const char* dropped;
        std::vector<OverwriteAnswer> answers;
        std::vector<Notice> told;
        const char* fromPc;  // device files that now hold the PC's bytes ('p')
        UploadOutcome outcome;
    } cases[] = {
        {"new files arrive", "", 1000, "A=100 B=0 C=250", {}, {}, "A=100 B=0 C=250", {true, true, true}},
        {"files that do not fit", "", 100, "A=60 B=60", {}, {NotEnoughSpace}, "", {}},
        {"a folder among the files", "", 1000, "A=60 DIR/", {}, {DirectoryDropped}, "", {}},
        {"yes, no, all",
         "A=5 B=5 C=5 D=5",
         1000,
         "A=9 B=9 C=9 D=9",
         {Yes, No, YesToAll},
         {},
         "A=9 C=9 D=9",
         {true, false, true}},
        {"cancel stops the rest", "B=5", 1000, "A=10 B=10 C=10", {Cancel}, {}, "A=10", {true, false, true}},
        {"closing the question stops the rest", "A=5", 1000, "A=10 B=10", {Closed}, {}, "", {true, false, false}},
        {"one declined file changes nothing", "A=5", 1000, "A=10", {No}, {}, "", {true, false, false}},
        {"a replaced file's room counts", "NOTES=100", 50, "notes=120", {Yes}, {}, "NOTES=120", {true, true, true}},
    };
    for (const auto& test : cases) {
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

        EXPECT_EQ(user->asked.size(), test.answers.size());
        EXPECT_EQ(user->notices(), test.told);
        EXPECT_EQ(contentsOf(device), withFiles(withFiles({}, test.onDevice, 'd'), test.fromPc, 'p'));
        EXPECT_EQ(std::tie(outcome.processed, outcome.allSucceeded, outcome.refreshView),
                  std::tie(test.outcome.processed, test.outcome.allSucceeded, test.outcome.refreshView));
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

    // Abort at the first report: no message, nothing sent, the dialog gone.
    ScriptedUser aborting;
    aborting->onUpdate = [](TransferProgress& progress) { progress.abort(); };
    outcome = uploadFiles(deviceOn(port), localFiles(dir_, filesOf("G=2000 H=10")), {}, aborting);
    EXPECT_TRUE(aborting->told.empty());
    EXPECT_FALSE(device_.hasFile("G") || device_.hasFile("H"));
    EXPECT_FALSE(outcome.allSucceeded || outcome.refreshView);
    EXPECT_GE(aborting->closes, 1) << "the dialog stayed";
}

TEST_F(PcTransfersTest, TwoDropsOnOneDeviceTakeTurnsOnItsPort) {
    // The second drop comes while the first one's file is on its way: it
    // waits, so no exchange of the device ever has a second line open.
    std::atomic<unsigned> mostLines{0};
    device_.setEventObserver([&](const std::string&) {
        for (unsigned lines = device_.servedLines(), most = mostLines; lines > most;)
            if (mostLines.compare_exchange_weak(most, lines)) break;
    });
    std::thread second;
    ScriptedUser first;
    first->onUpdate = [&](TransferProgress&) {
        if (second.joinable() || device_.servedLines() == 0) return;
        second = std::thread([&] {
            ScriptedUser user;
            uploadFiles(deviceOn(port), localFiles(dir_, filesOf("B=500")), {}, user);
        });
        // Time enough for the second drop to run, were it not waiting.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    uploadFiles(deviceOn(port), localFiles(dir_, filesOf("A=500")), {}, first);
    second.join();
    device_.setEventObserver(nullptr);
    EXPECT_EQ(mostLines, 1u);
    EXPECT_EQ(contentsOf(device_), withFiles({}, "A=500 B=500", 'p'));
}

TEST_F(PcTransfersTest, DownloadsWriteTheDevicesBytesAndLeaveNoFileWhenTheyFail) {
    device_.putFile("LETTER.TXT", filled(300, 'x'));
    ScriptedUser user;
    const auto progress = TransferProgress::create(user, TransferMode::PcAndDevice, 2, 300);
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

TEST(FileNamesTest, UnsafeDeviceNamesBecomeOneSafeLocalName) {
    std::istringstream rows(
        "LETTER.TXT=LETTER.TXT;../x.txt=.._x.txt;C:\\WINDOWS\\win.ini=C__WINDOWS_win.ini;a<b>c|d?e*f\"g=a_b_c_d_e_f_g;"
        "bell\a\x1B[2J=bell__[2J;.=_;..=__;=_;NOTES. .=NOTES___;CON=_CON;nul.txt=_nul.txt;com7.brf=_com7.brf;"
        "COM0.TXT=_COM0.TXT;lpt0=_lpt0;CONIN$=_CONIN$;conout$.log=_conout$.log;COM\xC2\xB9.TXT=_COM\xC2\xB9.TXT;"
        "LPT\xB3=_LPT\xB3;COM10.TXT=COM10.TXT;CONSOLE.TXT=CONSOLE.TXT;\xE4rger.txt=\xE4rger.txt");  // device=local;...
    for (std::string row; std::getline(rows, row, ';');) {
        const std::size_t equals = row.find('=');
        EXPECT_EQ(safeLocalFileName(row.substr(0, equals)), row.substr(equals + 1)) << row;
    }
    EXPECT_EQ(distinctNames({"A:B", "A_B", "a_b", "x"}, safeLocalFileName),
              (std::vector<std::string>{"A_B~2", "A_B", "a_b~3", "x"}))
        << "two device names became one local name";
    EXPECT_TRUE(sameDeviceName("Notes.txt", "NOTES.TXT"));
    EXPECT_FALSE(sameDeviceName("NOTES.TXT", "NOTES.TX"));
    EXPECT_FALSE(sameDeviceName("\xE4.TXT", "\xC4.TXT")) << "only ASCII letters fold";
}
