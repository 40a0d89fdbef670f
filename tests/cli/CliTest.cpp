// The nimbrel program against simulated devices: what it prints, what it
// leaves on the PC and on the devices, and its exit codes.
#include "CliTestSupport.h"
#include "NimbrelVersion.h"

namespace {

using CliTest = DevicesTest;
const std::string corvia = "Corvia 80 (ttyCorvia)";

TEST_F(CliTest, CommandsListAndCopyFilesAndFailWithPlainMessagesAndExitCodes) {
    run({{"nimbrel ls", 1, "", "No supported devices connected."},
         // The simulator itself: its link and pid file gone when it ends, by
         // SIGTERM or its idle limit; unknown keys refused.
         {"nimbrel-devsim --device link=$D/COM3,model=MN2,serial=MN2-4711,version=1 --pid-file $D/pid --idle-limit 30 "
          ">$D/said & waitfor '[ -s $D/pid ]' && nimbrel -d $D/COM3 ls && nimbrel -d $D/COM3 ls; s=$?; kill $(cat "
          "$D/pid); wait $!; r=$?; [ $s = 0 ] && [ ! -L $D/COM3 ] && [ ! -e $D/pid ] && cat $D/said && exit $r",
          0,
          "There are no files on Minnow (COM3).|COM3: type 0x72, serial MN2-4711, version 1|COM3: sent file list (0 "
          "files)"},
         {"nimbrel-devsim --device link=$D/COM4 --idle-limit 0.3 && [ ! -L $D/COM4 ]", 0},
         {"nimbrel-devsim --device link=$D/COM4,colour=red", 2},
         {"nimbrel-devsim", 2, "", "give at least one device with --device"},
         {"nimbrel-devsim --device link=$D/COM4,model=XYZ", 2, "", "MN2 (Minnow), CV4 (Corvia 40)"},
         {"nimbrel-devsim --device link=$D/gone/COM4", 1, "", "the folder " + dir_.file("gone") + " of the link"},
         // A second simulator leaves the first one's link alone.
         {"nimbrel-devsim -q --device link=$D/COM5 --pid-file $D/pid & waitfor '[ -s $D/pid ]'; nimbrel-devsim "
          "--device link=$D/COM5; r=$?; nimbrel -d $D/COM5 ls >/dev/null; s=$?; kill $(cat $D/pid); exit $((r + s))",
          1, "", "another simulator runs"},
         // Why a port is passed over.
         {"nimbrel -d $D/ttyUSB9 ls", 1, "", "=nimbrel: cannot use " + dir_.file("ttyUSB9") + ": it does not exist.\n"},
         {"nimbrel -d /dev/null ls", 1, "", "/dev/null: it is not a serial port."},
         {"nimbrel -v --ports $D/ttyUSB9:/dev/null scan", 1, "",
          dir_.file("ttyUSB9") + ": passed over: it does not exist.|/dev/null: passed over: it is not a serial port."},
         // Devices coming and going in the ports folder, one line each; other names there are no ports.
         {"mkdir $D/dev; export NIMBREL_PORT_FOLDER=$D/dev XDG_CONFIG_HOME=$D/own; set -m; nimbrel scan --watch "
          ">$D/said & w=$!; waitfor "
          "'grep -q Watching $D/said'; nimbrel-devsim -q --device link=$D/dev/ttyUSB0,model=MN2,serial=MN2-4711 "
          "--device link=$D/dev/COM3 --pid-file $D/pid & waitfor 'grep -q connected $D/said'; kill $(cat $D/pid); "
          "waitfor 'grep -q disconnected $D/said'; kill -INT $w; wait $w; r=$?; cat $D/said; exit $r",
          0,
          "=Watching " + dir_.file("dev") + " for devices; Ctrl+C stops.\nMinnow connected on " +
              dir_.file("dev/ttyUSB0") + " (Minnow, serial MN2-4711).\nMinnow disconnected from " +
              dir_.file("dev/ttyUSB0") + ".\n"},
         // A mount never hides files, nor guesses at a folder.
         {"nimbrel mount $D", 1, "", "cannot mount at " + dir_.path() + ": it is not empty|--nonempty"},
         {"nimbrel mount $D/nowhere", 1, "",
          "=nimbrel: cannot mount at " + dir_.file("nowhere") + ": it does not exist.\n"},
         // The tool's own words for command lines it cannot take.
         {"nimbrel lss", 2, "",
          "=nimbrel: there is no command \"lss\"; the commands are scan, ls, df, get, put, rm, "
          "mv, name, monitor, table, mount (see nimbrel --help).\n"},
         {"nimbrel get", 2, "",
          "=nimbrel get: give the names of files on the device, or --all (see nimbrel get --help).\n"},
         {"nimbrel table /etc/hostname 10", 2, "", "slots are numbered 1 to 9, not 10"},
         {"nimbrel put $D/nothere.txt", 1, "",
          "=nimbrel: cannot copy " + dir_.file("nothere.txt") + ": it does not exist.\n"}});
    startDevices();
    run({
        {"nimbrel ls", 2, "", "--device"},
        {"nimbrel --device $C ls", 0, "LETTER.TXT|16384|KORVEL.NSF"},
        {"nimbrel df --device Minnow", 0, "100000 bytes free (97.7 KiB)"},
        // Columns by characters, sizes for people, a total.
        {"head -c 2000 /dev/zero > $PC/g && nimbrel -d Minnow put --as 'Grüße.TXT' $PC/g >/dev/null && rm $PC/g && "
         "nimbrel -d Minnow ls -h | sed 's/  20.*//'",
         0,
         "=File                  Size  Modified\nGrüße.TXT          2.0 KiB\nSHOPPING.TXT          12 B\n2 files, 2.0 "
         "KiB in all\n"},
        {"nimbrel -d $C get LETTER.TXT BOOK.BRF -o $PC >/dev/null && cmp $PC/LETTER.TXT $CF/LETTER.TXT && cmp "
         "$PC/BOOK.BRF $CF/BOOK.BRF",
         0},
        {"nimbrel -d $C get MISSING.TXT 'X*' -o $PC", 1, "",
         "\"MISSING.TXT\" from " + corvia + ": the file does not exist|\"X*\" from " + corvia +
             ": no file on the device matches it."},
        // Asked before a local file is replaced; a file name as the target,
        // with the device's date; patterns and names in any case.
        {"echo n | nimbrel -d $C get letter.txt -o $PC", 3, "Skipped \"LETTER.TXT\"",
         "=" + dir_.file("pc/LETTER.TXT") + " already exists. Overwrite? [y]es, [n]o, [a]ll, [q]uit: n\n"},
        {"nimbrel -d $C get '*.b?[e-g]' --no-overwrite -o $PC", 3, "Skipped \"BOOK.BRF\"", "!Overwrite"},
        {"touch -d '2021-03-04 05:06:07' $CF/LETTER.TXT && nimbrel -d $C get Letter.Txt -o $PC/anna.txt >/dev/null && "
         "cmp $PC/anna.txt $CF/LETTER.TXT && date -r $PC/anna.txt '+%F %T'",
         0, "=2021-03-04 05:06:07\n"},
        {"nimbrel -d $C get LETTER.TXT -o $PC/none/x.txt", 1, "",
         "=nimbrel: cannot copy to " + dir_.file("pc/none/x.txt") + ": there is no such folder.\n"},
        {"mkdir $PC/all && nimbrel -d Minnow get --all -o $PC/all && ls $PC/all", 0, "SHOPPING.TXT"},
        {"ls $PC", 0, "=BOOK.BRF\nLETTER.TXT\nall\nanna.txt\n"},
        {"head -c 10 /dev/zero > $PC/short.tbl && nimbrel -d $C table $PC/short.tbl 3", 1},
        {"head -c 256 /dev/zero | tr '\\0' A > $PC/german.tbl && nimbrel -d $C table $PC/german.tbl 3", 0, "slot 3"},
        {"chmod 755 $D && chgrp dialout $(readlink $C) && setpriv --reuid=65534 --regid=65534 --clear-groups nimbrel "
         "-d $C ls",
         1, "",
         "=nimbrel: cannot use " + dir_.file("ttyCorvia") +
             ": permission denied; the port belongs to the dialout "
             "group: sudo usermod -aG dialout $USER, then log in again.\n"},
        {"setpriv --reuid=65534 --regid=65534 --clear-groups nimbrel scan", 1, "",
         "No supported devices connected.|" + dir_.file("ttyMinnow") + ": permission denied"},
        {"nimbrel -d $C mv LETTER.TXT a/b.txt", 1, "", "cannot hold a slash"},
        // The names are remembered: a new one is kept for the next scan.
        {"nimbrel scan", 0, "Corvia 80|Minnow|CV8-1001|" + dir_.file("ttyCorvia")},
        {"nimbrel --device Minnow name 'Kitchen Minnow' >/dev/null && nimbrel scan", 0, "Kitchen Minnow"},
        {"nimbrel --device 'Kitchen Minnow' ls", 0},
        {"nimbrel -d $C name 'kitchen minnow'", 1, "", "another device (serial MN2-2002) is called \"Kitchen Minnow\""},
        {"printf 'name\\tCV8\\tCV8-1001\\tKitchen Minnow\\n' >> $XDG_CONFIG_HOME/nimbrel/devices; nimbrel -d 'Kitchen "
         "Minnow' ls",
         2, "CV8-1001|MN2-2002", "several connected devices are called \"Kitchen Minnow\""},
        {"nimbrel name $(printf %065d 0) --device $C", 2},
    });
}

TEST_F(CliTest, PutAsksBeforeReplacingAndRenameAndDeleteGuardSystemFiles) {
    startDevices();
    run({
        {"echo report > $PC/REPORT.BRF && nimbrel -d $C put $PC/REPORT.BRF >/dev/null && cat $CF/REPORT.BRF", 0,
         "=report\n"},
        {"echo 'A new letter.' > $PC/LETTER.TXT && echo n | nimbrel -d $C put $PC/LETTER.TXT", 3, "",
         "=\"LETTER.TXT\" already exists on " + corvia + ". Overwrite? [y]es, [n]o, [a]ll, [q]uit: n\n"},
        {"nimbrel -d $C put --no-overwrite $PC/LETTER.TXT; r=$?; cat $CF/LETTER.TXT; exit $r", 3,
         "=Skipped " + dir_.file("pc/LETTER.TXT") + ": \"LETTER.TXT\" already exists on " + corvia + "\n" + letter,
         "!Overwrite?"},
        // No answer: this file and the ones after it are left out.
        {"nimbrel -d $C put $PC/LETTER.TXT $PC/REPORT.BRF", 3,
         "=Skipped " + dir_.file("pc/LETTER.TXT") + "\nSkipped " + dir_.file("pc/REPORT.BRF") + "\n", "(no answer)"},
        {"echo y | nimbrel -d $C put $PC/LETTER.TXT && cmp $PC/LETTER.TXT $CF/LETTER.TXT", 0},
        {"echo Third > $PC/LETTER.TXT && nimbrel -d $C put --overwrite $PC/LETTER.TXT && cmp $PC/LETTER.TXT "
         "$CF/LETTER.TXT",
         0},
        // A failed file does not stop the others.
        {"head -c 100001 /dev/zero > $PC/BIG.BRF; nimbrel -d Minnow put $PC/BIG.BRF $PC/nothere $PC/REPORT.BRF", 1,
         "Copied " + dir_.file("pc/REPORT.BRF"), "not enough free space|nothere: it does not exist"},
        {"nimbrel -d $C put --as x/y.txt $PC/REPORT.BRF", 1, "", "cannot hold a slash"},
        {"nimbrel -d $C rm korvel.nsf", 1, "", "system file"},
        {"nimbrel -d $C mv book.brf 'OLD NOTES.BRF' && ls $CF", 0,
         "=Renamed \"book.brf\" to \"OLD NOTES.BRF\" on " + corvia +
             "\nKORVEL.NSF\nLETTER.TXT\nOLD NOTES.BRF\nREPORT.BRF\n"},
        {"nimbrel -d $C mv 'OLD NOTES.BRF' LETTER.TXT", 1, "", "already exists"},
        {"nimbrel -d $C rm 'OLD NOTES.BRF' && ls $CF $MF", 0,
         "=Deleted \"OLD NOTES.BRF\" on " + corvia + "\n" + dir_.file("corvia") +
             ":\nKORVEL.NSF\nLETTER.TXT\nREPORT.BRF\n\n" + dir_.file("minnow") + ":\nREPORT.BRF\nSHOPPING.TXT\n"},
    });
}

TEST_F(CliTest, EachCommandsHelpShowsItsOwnUsageAndExamplesAndTheVersionIsTheBuilds) {
    // Prints the commands whose help lacks its usage or examples of its own, or repeats the general help.
    run({{"for c in scan ls df get put rm mv name monitor table; do h=$(nimbrel $c --help) && grep -q \"^Usage: "
          "nimbrel $c\" <<<\"$h\" && sed -n '/^Examples:/,$p' <<<\"$h\" | grep -qE \"^  nimbrel.* $c( |$)\" && ! "
          "grep -q 'Exit codes:' <<<\"$h\" || echo $c; done",
          0, "="},
         {"nimbrel put --help", 0, "--overwrite"},
         {"nimbrel --help", 0, "Exit codes:"},
         {"nimbrel --version", 0, "=nimbrel " NIMBREL_VERSION_TEXT "\n"}});
}

// A paced 64 KiB file: Ctrl+C or an unplugged device once the first packages
// are through (the download's file beside the target has grown; an upload is
// stored only at its end, and takes 35 s paced, so after four seconds). The
// user's own copy of the file stays as it was.
TEST_F(CliTest, CtrlCOrAnUnpluggedDeviceEndsATransferWithoutPartialFilesAndMonitorRunsUntilCtrlC) {
    sh("head -c 65536 /dev/urandom | tee $CF/BOOK.BRF > $XDG_CONFIG_HOME/NEW.BRF");
    const std::string grown = "& waitfor '[ $(cat $PC/* 2>/dev/null | wc -c) -ge 800 ]'; ";
    const std::string unplugged = corvia + "|!::";
    const Step cases[] = {
        {"set -m; nimbrel -d $C get --overwrite BOOK.BRF -o $PC " + grown + "kill -INT $!; wait $!", 130, "",
         "cancelled"},
        {"nimbrel -d $C get --overwrite BOOK.BRF -o $PC " + grown + "kill -9 $DEVSIM; wait $!", 1, "", unplugged},
        {"nimbrel -d $C put $XDG_CONFIG_HOME/NEW.BRF & sleep 4; kill -9 $DEVSIM; wait $!", 1, "", unplugged},
    };
    for (const Step& step : cases) {
        startDevices(",pace");
        run({{"echo mine > $PC/BOOK.BRF"},
             step,
             {"ls $CF $PC; cat $PC/BOOK.BRF; cmp $CF/BOOK.BRF $XDG_CONFIG_HOME/NEW.BRF", 0,
              "=" + dir_.file("corvia") + ":\nBOOK.BRF\nKORVEL.NSF\nLETTER.TXT\n\n" + dir_.file("pc") +
                  ":\nBOOK.BRF\nmine\n"}});
    }
    // A device's line feeds and controls reach the terminal escaped.
    startDevices(",line=1:Hello%7F%0Aworld,line=2:Second line");
    run(
        {{"set -m; nimbrel -d $C monitor > $PC/lines & waitfor 'grep -q \"Second line\" $PC/lines'; kill -INT $!; "
          "wait $!; r=$?; cat $PC/lines; exit $r",
          130, "  1: Hello\\x7F\\x0Aworld\n", "=Waiting for text lines from Corvia 80 (ttyCorvia); Ctrl+C ends.\n"}});
}

}  // namespace
