// The nimbrel program run for real against simulated devices on
// pseudo-terminals: what it prints, what it leaves on the PC and on the
// devices, and its exit codes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "CliRunner.h"
#include "NimbrelVersion.h"
#include "TestFiles.h"
#include "ToolProcess.h"

namespace fs = std::filesystem;

namespace {

class CliTest : public ::testing::Test {
protected:
    // Two devices: a Corvia 80 and a Minnow, each keeping its files in a
    // folder the test can look into.
    void SetUp() override {
        fs::create_directories(corviaFiles());
        fs::create_directories(minnowFiles());
        fs::create_directories(home());
        writeText(corviaFiles() / "LETTER.TXT", "Dear Anna,\nthe meeting is on Tuesday.\n");
        writeText(corviaFiles() / "NOTES.BRF", std::string(300, 'n'));
        writeText(corviaFiles() / "KORVEL.NSF", "system");
        writeText(minnowFiles() / "SHOPPING.TXT", "bread, milk\n");
    }

    void startDevices(const std::string& corviaExtra = "", const std::string& minnowExtra = "") {
        devices_ = std::make_unique<ToolProcess>(ToolLaunch{
            nativeTool("nimbrel-devsim"),
            {"--quiet", "--idle-limit", "120", "--pid-file", dir_.file("devsim.pid"), "--device",
             "link=" + corviaLink() + ",model=CV8,serial=CV8-1001,files=" + corviaFiles().string() + corviaExtra,
             "--device",
             "link=" + minnowLink() + ",model=MN2,serial=MN2-2002,free=100000,files=" + minnowFiles().string() +
                 minnowExtra},
            minnowLink(),
            dir_.file("devsim.pid")});
    }

    CliResult nimbrel(std::vector<std::string> args, const std::string& input = "",
                      std::function<bool(const std::string&, const std::string&)> interruptWhen = {}) {
        CliRun run;
        run.args = std::move(args);
        run.environment = {"XDG_CONFIG_HOME=" + home().string(), "NIMBREL_PORTS=" + corviaLink() + ":" + minnowLink()};
        run.input = input;
        run.interruptWhen = std::move(interruptWhen);
        return runCli(nativeTool("nimbrel"), run);
    }

    std::string corviaLink() const { return dir_.file("ttyCorvia"); }
    std::string minnowLink() const { return dir_.file("ttyMinnow"); }
    fs::path corviaFiles() const { return dir_.file("corvia"); }
    fs::path minnowFiles() const { return dir_.file("minnow"); }
    fs::path home() const { return dir_.file("config"); }
    fs::path pcFolder() const { return dir_.file("pc"); }

    TempDir dir_;
    std::unique_ptr<ToolProcess> devices_;
};

TEST_F(CliTest, ScanListsBothDevicesWithRememberedNamesPortsAndSerials) {
    startDevices();
    CliResult result = nimbrel({"scan"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Corvia 80"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Minnow"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("CV8-1001"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find(corviaLink()), std::string::npos) << result.out;

    // The names are remembered: renaming one is kept for the next scan.
    ASSERT_EQ(nimbrel({"--device", "Minnow", "name", "Kitchen Minnow"}).exitCode, 0);
    result = nimbrel({"scan"});
    EXPECT_NE(result.out.find("Kitchen Minnow"), std::string::npos) << result.out;
    EXPECT_EQ(nimbrel({"--device", "Kitchen Minnow", "ls"}).exitCode, 0);
    EXPECT_EQ(nimbrel({"name", std::string(65, 'x'), "--device", corviaLink()}).exitCode, 2);
}

TEST_F(CliTest, NoDeviceAnsweringIsAFailureWithAPlainMessage) {
    CliResult result = nimbrel({"ls"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("No supported devices connected."), std::string::npos) << result.err;
}

TEST_F(CliTest, ListNeedsAChoiceWhenSeveralDevicesAreConnected) {
    startDevices();
    CliResult result = nimbrel({"ls"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("--device"), std::string::npos) << result.err;

    result = nimbrel({"--device", corviaLink(), "ls"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("LETTER.TXT"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("300"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("KORVEL.NSF"), std::string::npos) << result.out;

    result = nimbrel({"df", "--device", "Minnow"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("100000 bytes free (97.7 KiB)"), std::string::npos) << result.out;
}

TEST_F(CliTest, GetCopiesFilesByteForByteAndNamesTheDeviceWhenAFileIsMissing) {
    startDevices();
    fs::create_directories(pcFolder());
    CliResult result = nimbrel({"-d", corviaLink(), "get", "LETTER.TXT", "NOTES.BRF", "-o", pcFolder().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readText(pcFolder() / "LETTER.TXT"), readText(corviaFiles() / "LETTER.TXT"));
    EXPECT_EQ(readText(pcFolder() / "NOTES.BRF"), std::string(300, 'n'));

    result = nimbrel({"-d", corviaLink(), "get", "MISSING.TXT", "-o", pcFolder().string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("\"MISSING.TXT\""), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Corvia 80 (" + corviaLink() + ")"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(pcFolder() / "MISSING.TXT"));
}

TEST_F(CliTest, AHostileDeviceNameStaysInsideTheFolderAndNeverDrivesTheTerminal) {
    const std::string pidFile = dir_.file("hostile.pid");
    const ToolProcess hostile({nativeTool("nimbrel-devsim"),
                               {"--quiet", "--pid-file", pidFile, "--device",
                                "link=" + corviaLink() + ",model=CV8,text=../x.txt:evil,text=\x1B[2Jclear.txt:bad"},
                               corviaLink(),
                               pidFile});
    CliResult result = nimbrel({"-d", corviaLink(), "ls"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.find('\x1B'), std::string::npos) << "an escape reached the terminal";
    EXPECT_NE(result.out.find("\\x1B[2Jclear.txt"), std::string::npos) << result.out;
    const fs::path folder = pcFolder() / "inside";
    fs::create_directories(folder);
    result = nimbrel({"-d", corviaLink(), "get", "../x.txt", "-o", folder.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readText(folder / ".._x.txt"), "evil");
    EXPECT_FALSE(fs::exists(pcFolder() / "x.txt")) << "the device's name led out of the folder";
}

TEST_F(CliTest, PutAsksBeforeOverwritingAndFollowsTheAnswer) {
    startDevices();
    fs::create_directories(pcFolder());
    writeText(pcFolder() / "LETTER.TXT", "A new letter.\n");
    writeText(pcFolder() / "REPORT.BRF", "report");
    const std::string original = readText(corviaFiles() / "LETTER.TXT");

    CliResult result = nimbrel({"-d", corviaLink(), "put", (pcFolder() / "REPORT.BRF").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readText(corviaFiles() / "REPORT.BRF"), "report");

    result = nimbrel({"-d", corviaLink(), "put", (pcFolder() / "LETTER.TXT").string()}, "n\n");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("already exists on Corvia 80"), std::string::npos) << result.err;
    EXPECT_EQ(readText(corviaFiles() / "LETTER.TXT"), original);

    result = nimbrel({"-d", corviaLink(), "put", "--no-overwrite", (pcFolder() / "LETTER.TXT").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err.find("Overwrite?"), std::string::npos) << "no question with --no-overwrite";
    EXPECT_EQ(readText(corviaFiles() / "LETTER.TXT"), original);

    result = nimbrel({"-d", corviaLink(), "put", (pcFolder() / "LETTER.TXT").string()}, "y\n");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readText(corviaFiles() / "LETTER.TXT"), "A new letter.\n");

    writeText(pcFolder() / "LETTER.TXT", "Third version.\n");
    result = nimbrel({"-d", corviaLink(), "put", "--overwrite", (pcFolder() / "LETTER.TXT").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readText(corviaFiles() / "LETTER.TXT"), "Third version.\n");
}

TEST_F(CliTest, PutRefusesAFileLargerThanTheFreeSpace) {
    startDevices();
    fs::create_directories(pcFolder());
    writeText(pcFolder() / "BIG.BRF", std::string(100001, 'b'));
    CliResult result = nimbrel({"-d", "Minnow", "put", (pcFolder() / "BIG.BRF").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("not enough free space"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(minnowFiles() / "BIG.BRF"));
}

TEST_F(CliTest, RenameAndDeleteChangeTheDeviceAndGuardSystemFiles) {
    startDevices();
    CliResult result = nimbrel({"-d", corviaLink(), "mv", "NOTES.BRF", "OLD NOTES.BRF"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(corviaFiles() / "OLD NOTES.BRF"));
    EXPECT_FALSE(fs::exists(corviaFiles() / "NOTES.BRF"));

    result = nimbrel({"-d", corviaLink(), "mv", "OLD NOTES.BRF", "LETTER.TXT"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("already exists"), std::string::npos) << result.err;

    result = nimbrel({"-d", corviaLink(), "rm", "KORVEL.NSF"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("system file"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::exists(corviaFiles() / "KORVEL.NSF"));

    result = nimbrel({"-d", corviaLink(), "rm", "OLD NOTES.BRF"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::exists(corviaFiles() / "OLD NOTES.BRF"));
}

TEST_F(CliTest, BadUsageExitsWithTwo) {
    EXPECT_EQ(nimbrel({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(nimbrel({"get"}).exitCode, 2);
    EXPECT_EQ(nimbrel({"table", "/etc/hostname", "10"}).exitCode, 2);
}

TEST_F(CliTest, EachCommandsHelpShowsItsOwnUsageAndExamplesAndTheVersionIsTheBuilds) {
    for (const char* command : {"scan", "ls", "df", "get", "put", "rm", "mv", "name", "monitor", "table"}) {
        CliResult help = nimbrel({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_NE(help.out.find(std::string("Usage: nimbrel ") + command), std::string::npos) << help.out;
        const std::size_t examples = help.out.find("Examples:\n  ");
        ASSERT_NE(examples, std::string::npos) << help.out;
        const std::string ownExamples = help.out.substr(examples);
        EXPECT_TRUE(ownExamples.find(std::string(" ") + command + " ") != std::string::npos ||
                    ownExamples.find(std::string(" ") + command + "\n") != std::string::npos)
            << help.out;
        EXPECT_EQ(help.out.find("Exit codes:"), std::string::npos) << "the general help again:\n" << help.out;
    }
    EXPECT_NE(nimbrel({"put", "--help"}).out.find("--overwrite"), std::string::npos);
    CliResult general = nimbrel({"--help"});
    EXPECT_NE(general.out.find("Exit codes:"), std::string::npos) << general.out;
    CliResult version = nimbrel({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "nimbrel " NIMBREL_VERSION_TEXT "\n");
}

TEST_F(CliTest, BrailleTablesMustHave256Bytes) {
    startDevices();
    fs::create_directories(pcFolder());
    writeText(pcFolder() / "short.tbl", "0123456789");
    writeText(pcFolder() / "german.tbl", std::string(256, '\x41'));
    EXPECT_EQ(nimbrel({"-d", corviaLink(), "table", (pcFolder() / "short.tbl").string(), "3"}).exitCode, 1);
    CliResult result = nimbrel({"-d", corviaLink(), "table", (pcFolder() / "german.tbl").string(), "3"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("slot 3"), std::string::npos) << result.out;
}

TEST_F(CliTest, CtrlCDuringADownloadCancelsItAndLeavesNoPartialFile) {
    writeText(corviaFiles() / "BOOK.BRF", std::string(64 * 1024, 'x'));
    startDevices(",pace");
    fs::create_directories(pcFolder());
    // Ctrl+C once the first packages have reached the local file.
    const fs::path local = pcFolder() / "BOOK.BRF";
    CliResult result = nimbrel({"-d", corviaLink(), "get", "BOOK.BRF", "-o", pcFolder().string()}, "",
                               [&local](const std::string&, const std::string&) {
                                   std::error_code error;
                                   return fs::file_size(local, error) >= 800 && !error;
                               });
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_NE(result.err.find("cancelled"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(local));
}

TEST_F(CliTest, ADeviceUnpluggedDuringGetOrPutIsNamedInAPlainErrorWithoutDescriptionAndLeavesNoPartialFile) {
    const std::string book(64 * 1024, 'x');
    writeText(corviaFiles() / "BOOK.BRF", book);
    fs::create_directories(pcFolder());
    const fs::path local = pcFolder() / "BOOK.BRF", source = home() / "NEW.BRF";
    writeText(source, book);
    for (const bool put : {false, true}) {
        SCOPED_TRACE(put ? "put" : "get");
        startDevices(",pace");
        // Unplugged once the first packages are through: the local file has
        // grown, or (an upload is stored only at its end, and takes 35 s
        // paced) four seconds have passed.
        const auto started = std::chrono::steady_clock::now();
        const auto unplug = [&](const std::string&, const std::string&) {
            std::error_code error;
            if (put ? std::chrono::steady_clock::now() - started > std::chrono::seconds(4)
                    : fs::file_size(local, error) >= 800 && !error)
                devices_->kill();
            return false;
        };
        const CliResult result =
            put ? nimbrel({"-d", corviaLink(), "put", source.string()}, "", unplug)
                : nimbrel({"-d", corviaLink(), "get", "BOOK.BRF", "-o", pcFolder().string()}, "", unplug);
        std::printf("%s: ended %.1f s after it began\n", put ? "put" : "get",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.err.find("Corvia 80 (" + corviaLink() + ")"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("::"), std::string::npos) << "a description was shown: " << result.err;
        EXPECT_FALSE(fs::exists(local)) << "a partial download was kept";
        EXPECT_TRUE(readText(source) == book) << "the user's file was changed";
        EXPECT_FALSE(fs::exists(corviaFiles() / "NEW.BRF")) << "a broken upload was stored";
    }
}

TEST_F(CliTest, MonitorPrintsTheDeviceLinesUntilInterrupted) {
    startDevices(",line=1:Hello world,line=2:Second line");
    CliResult result = nimbrel({"-d", corviaLink(), "monitor"}, "", [](const std::string& out, const std::string&) {
        return out.find("Second line") != std::string::npos;
    });
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_NE(result.out.find("Hello world"), std::string::npos) << result.out;
}

}  // namespace
