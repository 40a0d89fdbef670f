// The mount served in this process, the protocol's waits taken out.
#include "MountTestSupport.h"

namespace {

TEST_F(MountTest, DevicesAreFoldersWhoseFilesCopyBothWaysByteForByte) {
    startDevices();
    mount();
    EXPECT_EQ(sh("ls " + mountPoint()).out, "Corvia 80\nMinnow\n");

    // Sizes and dates as the device lists them; system files are read-only.
    const CliResult listing = sh("cd " + corvia() + " && stat -c '%n %s %Y %A' *");
    const auto deviceTime = [&](const char* name) {
        return std::to_string(
            std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::file_clock::to_sys(fs::last_write_time(corviaFiles() / name)).time_since_epoch())
                .count());
    };
    EXPECT_EQ(listing.out, "BOOK.BRF 16384 " + deviceTime("BOOK.BRF") + " -rw-r--r--\nKORVEL.NSF 6 " +
                               deviceTime("KORVEL.NSF") + " -r--r--r--\nLETTER.TXT 38 " + deviceTime("LETTER.TXT") +
                               " -rw-r--r--\n")
        << listing.err;

    ASSERT_EQ(sh("cp " + corvia() + "/BOOK.BRF " + pc().string()).exitCode, 0);
    EXPECT_EQ(readText(pc() / "BOOK.BRF"), pattern(16 * 1024));
    EXPECT_EQ(sh("cat " + corvia() + "/LETTER.TXT").out, readText(corviaFiles() / "LETTER.TXT"));

    writeText(pc() / "NEW.BIN", pattern(5000).substr(7));
    writeText(pc() / "LETTER.TXT", "A new letter.\n");
    CliResult copy = sh("cp " + (pc() / "NEW.BIN").string() + " " + (pc() / "LETTER.TXT").string() + " " + minnow() +
                        "/ && cp " + (pc() / "LETTER.TXT").string() + " " + corvia() + "/");
    ASSERT_EQ(copy.exitCode, 0) << copy.err;
    EXPECT_EQ(readText(minnowFiles() / "NEW.BIN"), pattern(5000).substr(7));
    EXPECT_EQ(readText(corviaFiles() / "LETTER.TXT"), "A new letter.\n") << "overwritten";
    EXPECT_EQ(sh("stat -c %s " + minnow() + "/NEW.BIN " + corvia() + "/LETTER.TXT").out, "4993\n14\n");

    // df: the device's free space; all of them together at the root.
    const auto available = [&](const std::string& folder) {
        return std::stol(sh("df -B1 --output=avail " + folder + " | tail -1").out);
    };
    EXPECT_EQ(available(minnow()), 100000 - 4993 - 14);
    EXPECT_EQ(available(mountPoint()), available(corvia()) + available(minnow()));
}

TEST_F(MountTest, MoveRenameAndDeleteChangeTheDevicesAndRefuseWhatTheyCannotDo) {
    startDevices();
    mount();
    ASSERT_EQ(sh("mv " + corvia() + "/LETTER.TXT " + corvia() + "/OLD.TXT").exitCode, 0);
    EXPECT_TRUE(fs::exists(corviaFiles() / "OLD.TXT"));
    EXPECT_FALSE(fs::exists(corviaFiles() / "LETTER.TXT"));

    // Between devices: copied, and deleted at the source only then.
    ASSERT_EQ(sh("mv " + corvia() + "/OLD.TXT " + minnow() + "/").exitCode, 0);
    EXPECT_EQ(readText(minnowFiles() / "OLD.TXT"), "Dear Anna,\nthe meeting is on Tuesday.\n");
    EXPECT_FALSE(fs::exists(corviaFiles() / "OLD.TXT"));

    ASSERT_EQ(sh("rm " + minnow() + "/SHOPPING.TXT").exitCode, 0);
    EXPECT_FALSE(fs::exists(minnowFiles() / "SHOPPING.TXT"));
    EXPECT_EQ(sh("ls " + minnow()).out, "OLD.TXT\n");

    struct Refusal {
        std::string command;
        int error;
    };
    const Refusal refusals[] = {
        {"mv " + minnow() + "/OLD.TXT " + corvia() + "/BOOK.BRF", EEXIST},
        {"mv " + corvia() + "/BOOK.BRF " + corvia() + "/KORVEL.NSF", EPERM},
        {"rm " + corvia() + "/KORVEL.NSF", EPERM},
        {"echo x > " + corvia() + "/KORVEL.NSF", EACCES},
        {"mkdir " + corvia() + "/FOLDER", EPERM},
        {"ln -s BOOK.BRF " + corvia() + "/LINK", EPERM},
        {"chmod 600 " + corvia() + "/BOOK.BRF", EPERM},
        {"cat " + corvia() + "/MISSING.TXT", ENOENT},
        {"echo x > " + corvia() + "/" + std::string(65, 'N'), ENAMETOOLONG},
        {"echo x > " + mountPoint() + "/ROOT.TXT", EACCES},
        {"touch " + corvia() + "/' LEADING BLANK'", EINVAL},
    };
    for (const Refusal& refusal : refusals) {
        const CliResult result = sh(refusal.command);
        EXPECT_NE(result.exitCode, 0) << refusal.command;
        EXPECT_NE(result.err.find(errorText(refusal.error)), std::string::npos)
            << refusal.command << ": " << result.err;
    }
    EXPECT_EQ(readText(corviaFiles() / "KORVEL.NSF"), "system");
    EXPECT_TRUE(fs::exists(minnowFiles() / "OLD.TXT"));
}

TEST_F(MountTest, HostileDeviceNamesAreShownSafelyAndReachTheDeviceExactly) {
    const std::string pidFile = dir_.file("hostile.pid");
    const ToolProcess hostile({nativeTool("nimbrel-devsim"),
                               {"--quiet", "--pid-file", pidFile, "--device",
                                "link=" + corviaLink() +
                                    ",model=CV8,text=../x.txt:evil,text=a/b:slash,text=a_b:plain,"
                                    "text=\x1B[2Jclear.txt:bad,text=..:dots"},
                               corviaLink(),
                               pidFile});
    mount({corviaLink()}, true);
    const CliResult listing = sh("ls -a " + mountPoint());
    std::set<std::string> names;
    std::istringstream lines(listing.out);
    for (std::string line; std::getline(lines, line);) names.insert(line);
    EXPECT_EQ(names, (std::set<std::string>{".", "..", ".._x.txt", "__", "_[2Jclear.txt", "a_b", "a_b~2"}))
        << listing.out;
    EXPECT_EQ(sh("cd " + mountPoint() + " && cat .._x.txt a_b~2 a_b __").out, "evilslashplaindots");

    // A rename reaches the device under the file's exact name.
    ASSERT_EQ(sh("mv " + mountPoint() + "/a_b~2 " + mountPoint() + "/SLASH.TXT").exitCode, 0);
    EXPECT_EQ(sh("cat " + mountPoint() + "/SLASH.TXT; ls " + mountPoint() + " | grep -c a_b").out, "slash1\n");
}

TEST_F(MountTest, SeveralReadersAtOnceShareOneDownload) {
    startDevices();
    mount();
    std::string command;
    for (int reader = 0; reader < 4; ++reader)
        command += "cat " + corvia() + "/BOOK.BRF > " + (pc() / std::to_string(reader)).string() + " & ";
    command += "cat " + minnow() + "/SHOPPING.TXT > " + (pc() / "shopping").string() + " & wait";
    ASSERT_EQ(sh(command).exitCode, 0);
    for (int reader = 0; reader < 4; ++reader) EXPECT_EQ(readText(pc() / std::to_string(reader)), pattern(16 * 1024));
    EXPECT_EQ(readText(pc() / "shopping"), "bread, milk\n");
    const std::string log = readText(dir_.file("devsim.log"));
    EXPECT_EQ(log.find("sent BOOK.BRF"), log.rfind("sent BOOK.BRF")) << log;
}

TEST_F(MountTest, DeviceErrorsBecomeErrnoAndASilentDeviceNeverHangsTheMount) {
    writeText(minnowFiles() / "BIG.BRF", "old");
    // The Corvia cannot open the first file it is asked for; the Minnow has 100000 bytes free.
    startDevices(",nak=1:13:0x21");
    mount();
    writeText(pc() / "BIG.BRF", std::string(100004, 'b'));
    struct Failure {
        std::string command;
        int error;
    };
    const Failure failures[] = {
        {"cat " + corvia() + "/LETTER.TXT", EIO},
        {"cp " + (pc() / "BIG.BRF").string() + " " + minnow() + "/BIG.BRF", ENOSPC},
        {"rm " + corviaFiles().string() + "/BOOK.BRF && cat " + corvia() + "/BOOK.BRF", ENOENT},
    };
    for (const Failure& failure : failures) {
        const CliResult result = sh(failure.command);
        EXPECT_NE(result.exitCode, 0) << failure.command;
        EXPECT_NE(result.err.find(errorText(failure.error)), std::string::npos)
            << failure.command << ": " << result.err;
    }
    EXPECT_EQ(readText(minnowFiles() / "BIG.BRF"), "old") << "a failed upload leaves the device's file";

    shortReads_ = true;
    ::kill(static_cast<pid_t>(devices_->pid()), SIGSTOP);
    const CliResult silent = sh("cat " + minnow() + "/SHOPPING.TXT");
    EXPECT_NE(silent.err.find(errorText(EIO)), std::string::npos) << silent.err;
    mount_->requestUnmount();
    server_.join();
    mount_.reset();
    EXPECT_FALSE(isMounted(mountPoint()));
    ::kill(static_cast<pid_t>(devices_->pid()), SIGCONT);
}

}  // namespace
