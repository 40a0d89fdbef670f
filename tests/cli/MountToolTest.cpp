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
}

}  // namespace
