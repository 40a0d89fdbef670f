// The mount served in this process, the protocol's waits taken out, used
// through the programs people use (ls, cat, cp, mv, rm, df).
#include <signal.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include "CliTestSupport.h"
#include "FuseMount.h"
#include "devices/FileCatalogueStore.h"
#include "link/Pause.h"
#include "link/PortOpener.h"
#include "link/PosixSerialPort.h"

namespace {

class MountTest : public DevicesTest {
protected:
    // The mount's copies go to $D/tmp; its reports of failed operations to $D/reports.
    void SetUp() override {
        DevicesTest::SetUp();
        ::setenv("TMPDIR", dir_.file("tmp").c_str(), 1);
        sh("mkdir -p $D/tmp");
    }
    void TearDown() override {
        unmount();
        DevicesTest::TearDown();
    }

    // Serves the devices here: the root holds their folders, or with
    // `deviceAtRoot` the Corvia's files.
    void mount(bool deviceAtRoot = false) {
        const std::vector<std::string> links = {dir_.file("ttyCorvia"), dir_.file("ttyMinnow")};
        const std::vector<int> ports = deviceAtRoot ? std::vector<int>{1} : std::vector<int>{1, 2};
        for (const int port : ports) setPortPath(port, links[port - 1]);
        DeviceCatalogue catalogue(std::make_unique<FileCatalogueStore>(dir_.file("devices")));
        MountRequest request{dir_.file("mnt"), listDevices(probePorts(ports), catalogue), deviceAtRoot, {}};
        ASSERT_EQ(request.devices.size(), ports.size()) << "the simulated devices did not answer";
        request.settings.listingLifetime = std::chrono::milliseconds(0);
        request.settings.report = [this](const DeviceInfo&, const std::string& what, const NBException&) {
            const std::lock_guard lock(reportsMutex_);
            std::ofstream(dir_.file("reports"), std::ios::app) << what << "\n";
        };
        try {
            mount_ = std::make_unique<FuseMount>(request);
        } catch (const std::exception& error) {
            FAIL() << "cannot mount here (it needs root, /dev/fuse and fusermount3): " << error.what();
        }
        server_ = std::thread([this] { mount_->serve(); });
    }
    void unmount() {
        if (!mount_) return;
        mount_->requestUnmount();
        server_.join();
        mount_.reset();
    }

    ScopedPause noWaits_{[](std::uint32_t) {}};
    // Set for a silent device, which is then given up on within about a second a read.
    std::atomic<bool> shortReads_{false};
    ScopedPortOpener opener_{[this](int number) {
        return std::make_unique<PosixSerialPort>(number, shortReads_ ? ReadTiming{50, 500} : ReadTiming{});
    }};
    std::unique_ptr<FuseMount> mount_;
    std::thread server_;
    std::mutex reportsMutex_;
};

// One hostile or broken device per row, alone, its files in memory, used
// through the tool and the mount (its files at the root, unless it cannot
// be mounted).
struct HostileDevice {
    const char* behaviour;
    std::string keys;
    std::vector<Step> steps;
    bool mountable = true;
};

// Each row ends with the tool, which gives the kernel time to close what
// the mount's users opened before the folder is unmounted.
const HostileDevice hostileDevices[] = {
    {"names that leave a folder, drive the terminal or make one local name of two",
     "text=../x.txt:evil,text=a/b:slash,text=a_b:plain,text=A%3AB:colon,text=%1B[2Jclear.txt:bad,text=..:dots",
     {{"ls -a $MNT", 0, "=.\n..\n.._x.txt\nA:B\n_[2Jclear.txt\n__\na_b\na_b~2\n"},
      // Every name reaches the device exactly.
      {"cd $MNT && cat .._x.txt a_b~2 a_b __ && mv a_b~2 SLASH.TXT && cat SLASH.TXT && ls | grep -c a_b", 0,
       "=evilslashplaindotsslash1\n"},
      {"nimbrel -d $C ls", 0, "\\x1B[2Jclear.txt|!\x1B"},
      {"mkdir $PC/in && nimbrel -d $C get ../x.txt A:B a_b $'\\e[2Jclear.txt' -o $PC/in && ls -A $PC/in && "
       "cat $PC/in/A_B~2 $PC/in/a_b",
       0, "Copied \"\\x1B[2Jclear.txt\"|.._x.txt\nA_B~2\n_[2Jclear.txt\na_b\ncolonplain|!\x1B"},
      {"! grep -q $'\\e' $LOG && grep -c 'sent \\\\x1B\\[2Jclear.txt' $LOG", 0, "=1\n"},
      {"touch \"$PC/$(printf 'new\\033[2J')\" && nimbrel -d $C put --as NEW.TXT $PC/new* && "
       "nimbrel -d $C name \"$(printf '\\033[31mDesk')\"",
       0, "new\\x1B[2J to|is now called \"\\x1B[31mDesk\"|!\x1B"}}},
    {"a file list that never ends",
     "endless,text=A.TXT:a",
     {{"ls $MNT", -1, "", "Input/output error"}, {"nimbrel -d $C ls", 1, "", "answered unexpectedly"}}},
    {"a download beyond the size the device listed",
     "overrun=5,text=LETTER.TXT:Dear,text=%1B]0;t%07.TXT:x",
     {{"cat $MNT/LETTER.TXT", -1, "", "Input/output error"},
      {"cat \"$MNT/_]0;t_.TXT\"", -1, "", "Input/output error"},
      {"find $D/tmp -type f | wc -l; cat $D/reports", 0, "0\n|cannot read \"\\x1B]0;t\\x07.TXT\"|!\x1B"},
      {"echo mine > $PC/LETTER.TXT; nimbrel -d $C get --overwrite LETTER.TXT -o $PC; r=$?; ls $PC; cat $PC/LETTER.TXT; "
       "exit $r",
       1, "=LETTER.TXT\nmine\n", "cannot copy \"LETTER.TXT\""}}},
    {"a serial number that drives the terminal, on firmware too old",
     "version=0,serial=%1B]0;pwned%07",
     {{"nimbrel scan", 1, "", "(serial \\x1B]0;pwned\\x07)|!\x1B"}},
     false},
    {"names in the device's code page",
     "text=M%DCLLER.TXT:hallo",
     {{"touch $MNT/\xCE\xA9.TXT", -1, "", "Invalid or incomplete multibyte or wide character"},
      {"cat $MNT/M\xC3\x9CLLER.TXT > $PC/M\xC3\x9CLLER.TXT && cp $PC/M\xC3\x9CLLER.TXT $MNT/GR\xC3\x9C\xC3\x9F.TXT &&"
       " nimbrel -d $C ls && NIMBREL_CODEPAGE=CP437 nimbrel -d $C ls",
       0, "GR\xC3\x9C\xC3\x9F.TXT|M\xC3\x9CLLER.TXT|M\xE2\x96\x84LLER.TXT"},
      {"rm $PC/* && nimbrel -d $C get M\xC3\x9CLLER.TXT -o $PC && cat $PC/M\xC3\x9CLLER.TXT", 0, "hallo"},
      {"nimbrel -d $C mv M\xC3\x9CLLER.TXT \xCE\xA9.TXT", 1, "", "cannot be a file name on the device"},
      {"nimbrel --codepage NOPE ls", 2}}},
};

TEST_F(MountTest, AHostileOrBrokenDeviceLosesNothingHangsNothingAndShowsNothingUnescaped) {
    for (const HostileDevice& device : hostileDevices) {
        SCOPED_TRACE(device.behaviour);
        unmount();
        sh("rm -rf $PC $D/reports && mkdir $PC");
        startDevices(device.keys, true);
        if (device.mountable) mount(true);
        run(device.steps);
    }
}

TEST_F(MountTest, DevicesAreFoldersWhoseFilesCopyMoveAndDeleteAndRefuseWhatTheDevicesCannotDo) {
    startDevices();
    mount();
    run({
        {"ls $MNT", 0, "=Corvia 80\nMinnow\n"},
        // Sizes and dates as the device lists them; system files are read-only.
        {"diff <(cd \"$cv\" && stat -c '%n %s %Y' *) <(cd $CF && stat -c '%n %s %Y' *)", 0, "="},
        {"cd \"$cv\" && stat -c '%n %A' *", 0, "=BOOK.BRF -rw-r--r--\nKORVEL.NSF -r--r--r--\nLETTER.TXT -rw-r--r--\n"},
        // Several readers at once share one download.
        {"for i in 1 2 3 4; do cp \"$cv/BOOK.BRF\" $PC/$i & done; cat $mn/SHOPPING.TXT > $PC/list & wait; "
         "for i in 1 2 3 4; do cmp $PC/$i $CF/BOOK.BRF; done; cat $PC/list \"$cv/LETTER.TXT\"; grep -c 'sent BOOK' "
         "$LOG",
         0, "=bread, milk\n" + letter + "1\n"},
        {"head -c 5000 $CF/BOOK.BRF | tail -c 4993 > $PC/NEW.BIN; echo 'A new letter.' > $PC/LETTER.TXT; "
         "cp $PC/NEW.BIN $PC/LETTER.TXT $mn/ && cp $PC/LETTER.TXT \"$cv\"/ && cmp $PC/NEW.BIN $MF/NEW.BIN && "
         "cmp $PC/LETTER.TXT $CF/LETTER.TXT && stat -c %s $mn/NEW.BIN \"$cv/LETTER.TXT\"",
         0, "=4993\n14\n"},
        // df: the device's free space; all of them together at the root.
        {"free() { df -B1 --output=avail \"$1\" | tail -1; }; free $mn; [ $(free $MNT) = $(($(free \"$cv\") + "
         "$(free $mn))) ]",
         0, "=94993\n"},
        // Between devices a move copies, and deletes at the source only then.
        {"mv \"$cv/LETTER.TXT\" \"$cv/OLD.TXT\" && mv \"$cv/OLD.TXT\" $mn/ && rm $mn/SHOPPING.TXT && ls $CF $mn && "
         "cat $MF/OLD.TXT",
         0,
         "=" + dir_.file("corvia") + ":\nBOOK.BRF\nKORVEL.NSF\n\n" + dir_.file("mnt") +
             "/Minnow:\nLETTER.TXT\nNEW.BIN\nOLD.TXT\nA new letter.\n"},
        {"mv $mn/OLD.TXT \"$cv/BOOK.BRF\"", -1, "", "File exists"},
        {"mv \"$cv/BOOK.BRF\" \"$cv/KORVEL.NSF\"", -1, "", "Operation not permitted"},
        {"rm \"$cv/KORVEL.NSF\"", -1, "", "Operation not permitted"},
        {"echo x > \"$cv/KORVEL.NSF\"", -1, "", "Permission denied"},
        {"mkdir \"$cv/FOLDER\"", -1, "", "Operation not permitted"},
        {"ln -s BOOK.BRF \"$cv/LINK\"", -1, "", "Operation not permitted"},
        {"chmod 600 \"$cv/BOOK.BRF\"", -1, "", "Operation not permitted"},
        {"cat \"$cv/MISSING.TXT\"", -1, "", "No such file or directory"},
        {"echo x > \"$cv/$(printf %065d 0)\"", -1, "", "File name too long"},
        {"echo x > $MNT/ROOT.TXT", -1, "", "Permission denied"},
        {"touch \"$cv/ LEADING BLANK\"", -1, "", "Invalid argument"},
        {"cat $CF/KORVEL.NSF; ls $CF $MF", 0,
         "=system" + dir_.file("corvia") + ":\nBOOK.BRF\nKORVEL.NSF\n\n" + dir_.file("minnow") +
             ":\nLETTER.TXT\nNEW.BIN\nOLD.TXT\n"},
    });
}

TEST_F(MountTest, DeviceErrorsBecomeErrnoAndASilentDeviceNeverHangsTheMount) {
    writeText(dir_.file("minnow/BIG.BRF"), "old");
    // The Corvia cannot open the first file it is asked for; the Minnow has 100000 bytes free.
    startDevices(",nak=1:13:0x21");
    mount();
    run({{"cat \"$cv/LETTER.TXT\"", -1, "", "Input/output error"},
         {"head -c 100004 /dev/zero > $PC/BIG.BRF; cp $PC/BIG.BRF $mn/BIG.BRF", -1, "", "No space left on device"},
         {"rm $CF/BOOK.BRF && cat \"$cv/BOOK.BRF\"", -1, "", "No such file or directory"},
         {"cat $MF/BIG.BRF", 0, "=old"}});  // a failed upload leaves the device's file

    shortReads_ = true;
    ::kill(static_cast<pid_t>(devices_->pid()), SIGSTOP);
    run({{"cat $mn/SHOPPING.TXT", -1, "", "Input/output error"}});
    unmount();
    run({{"mountpoint -q $MNT", 32}});
    ::kill(static_cast<pid_t>(devices_->pid()), SIGCONT);
}

}  // namespace
