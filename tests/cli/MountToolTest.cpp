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
    // Without --device the folder follows plugging: a device's folder comes
    // and goes with its link, a file open on it then fails, and the same
    // device coming back shows its files again.
    run(
        {{"unset NIMBREL_PORTS; export NIMBREL_PORT_FOLDER=$D/dev; mkdir $D/dev; sim() { nimbrel-devsim -q --device "
          "link=$D/dev/ttyUSB0,model=CV8,serial=CV8-1001,files=$CF --pid-file $D/pid & waitfor '[ -d \"$cv\" ]'; }; "
          "set -m; nimbrel mount -f $MNT >$PC/said & m=$!; waitfor 'mountpoint -q $MNT'; ls $MNT; sim; ls \"$cv\"; "
          "exec 3<\"$cv/LETTER.TXT\"; kill $(cat $D/pid); waitfor '[ ! -d \"$cv\" ]'; cat <&3 2>/dev/null; echo "
          "read $?; exec 3<&-; ls $MNT; sim; ls $MNT; kill $(cat $D/pid); kill -INT $m; wait $m; r=$?; cat $PC/said; "
          "exit $r",
          0,
          "=BOOK.BRF\nLETTER.TXT\nread 1\nCorvia 80\nNo device yet; folders come as devices are plugged in, "
          "mounted at " +
              dir_.file("mnt") + "; Ctrl+C unmounts.\n"}});
}

}  // namespace
