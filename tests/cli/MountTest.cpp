// The mount served in this process, the protocol's waits taken out, used
// through the programs people use (ls, cat, cp, mv, rm, df).
#include <signal.h>

#include <atomic>
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
};

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

TEST_F(MountTest, HostileDeviceNamesAreShownSafelyAndReachTheDeviceExactly) {
    startDevices("", true);
    mount(true);
    run({{"ls -a $MNT", 0, "=.\n..\n.._x.txt\n_[2Jclear.txt\n__\na_b\na_b~2\n"},
         {"cd $MNT && cat .._x.txt a_b~2 a_b __", 0, "=evilslashplaindots"},
         // A rename reaches the device under the file's exact name.
         {"mv $MNT/a_b~2 $MNT/SLASH.TXT && cat $MNT/SLASH.TXT && ls $MNT | grep -c a_b", 0, "=slash1\n"}});
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
