// The nimbrel program mounting for real, with its real timing.
#include "CliTestSupport.h"

namespace {

using MountToolTest = DevicesTest;

TEST_F(MountToolTest, TheToolMountsUntilCtrlCOrFusermountAndNamesDevicesFromItsCatalogue) {
    startDevices();
    run({
        {"set -m; nimbrel mount -f $MNT > $PC/said & waitfor 'mountpoint -q $MNT'; ls $MNT; kill -INT $!; wait $!; "
         "r=$?; cat $PC/said; exit $r",
         0, "=Corvia 80\nMinnow\n2 devices mounted at " + dir_.file("mnt") + "; Ctrl+C unmounts.\n"},
        {"mountpoint -q $MNT", 32},
        // In the background, one device's files at the root, until fusermount3 -u.
        {"nimbrel --device $C mount --allow-system-files $MNT", 0},
        {"ls $MNT && rm $MNT/KORVEL.NSF && ls $CF", 0, "=BOOK.BRF\nKORVEL.NSF\nLETTER.TXT\nBOOK.BRF\nLETTER.TXT\n"},
        {"fusermount3 -u $MNT", 0},
        {"mountpoint -q $MNT", 32},
        {"nimbrel mount $PC/nowhere", 1},
    });
    // Ctrl+C while a file is being read: the device is told at its next
    // package, and the mount ends with its copies gone.
    startDevices(",pace");
    run(
        {{"head -c 65536 /dev/urandom > $CF/BOOK.BRF; export TMPDIR=$D/tmp; mkdir $TMPDIR; set -m; "
          "nimbrel -d $C mount -f $MNT >/dev/null & m=$!; waitfor 'mountpoint -q $MNT'; cat $MNT/BOOK.BRF >/dev/null "
          "2>&1 & "
          "waitfor 'find $TMPDIR -name \"~NB_*\" -size +1k | grep -q .'; kill -INT $m; wait $m; r=$?; wait; "
          "ls -A $TMPDIR; grep -c 'broke off sending BOOK.BRF' $LOG; exit $r",
          0, "=1\n"}});
}

}  // namespace
