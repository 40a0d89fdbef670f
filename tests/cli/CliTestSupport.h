#pragma once
// The nimbrel program and its mount used as people use them: command lines
// typed into a shell (bash, LC_ALL=C) against two devices of nimbrel-devsim
// on pseudo-terminals, a Corvia 80 ($C) and a Minnow ($M), whose files lie
// in $CF and $MF. $PC is a folder of the user's, $MNT a mount point, $DEVSIM
// the simulator's pid; "$cv" and $mn are the devices' folders in the mount.
// Mounting needs root and /dev/fuse: a test that cannot mount fails.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "TestFiles.h"
#include "ToolProcess.h"

inline const std::string letter = "Dear Anna,\nthe meeting is on Tuesday.\n";

struct ShellResult {
    int exitCode = -1;
    std::string out, err;
};

// One command line and what it must return (-1: any failure) and print on
// each stream: "" nothing checked; "=TEXT" exactly TEXT; else pieces split
// at '|' that must appear, or with a leading '!' must not.
struct Step {
    std::string command;
    int exitCode = 0;
    std::string out = "", err = "";
};

inline void expectText(const std::string& text, const std::string& expected) {
    if (expected.starts_with('=')) {
        EXPECT_EQ(text, expected.substr(1));
        return;
    }
    std::istringstream pieces(expected);
    for (std::string piece; std::getline(pieces, piece, '|');) {
        if (piece.starts_with('!'))
            EXPECT_EQ(text.find(piece.substr(1)), std::string::npos) << piece << " in:\n" << text;
        else
            EXPECT_NE(text.find(piece), std::string::npos) << piece << " not in:\n" << text;
    }
}

class DevicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);  // the device's clock and the listings agree on UTC
        ::tzset();
        sh("mkdir -p $CF $MF $PC $MNT $XDG_CONFIG_HOME && head -c 16384 /dev/urandom > $CF/BOOK.BRF && printf system > "
           "$CF/KORVEL.NSF && echo 'bread, milk' > $MF/SHOPPING.TXT");
        writeText(dir_.file("corvia/LETTER.TXT"), letter);
    }
    void TearDown() override { sh("fusermount3 -u -z $MNT 2>/dev/null"); }

    // The simulator's transaction lines go to $LOG. A hostile Corvia comes
    // alone, keeps its files in memory and has only what `corviaExtra` says.
    void startDevices(const std::string& corviaExtra = "", bool hostile = false) {
        const std::string corvia =
            hostile ? "," + corviaExtra : ",serial=CV8-1001,files=" + dir_.file("corvia") + corviaExtra;
        const std::string minnow = " --device 'link=" + dir_.file("ttyMinnow") +
                                   ",model=MN2,serial=MN2-2002,free=100000,files=" + dir_.file("minnow") + "'";
        devices_.reset();
        devices_ = std::make_unique<ToolProcess>(
            ToolLaunch{"/bin/sh",
                       {"-c", "exec " + nativeTool("nimbrel-devsim") +
                                  " --idle-limit 120 --device 'link=" + dir_.file("ttyCorvia") + ",model=CV8" + corvia +
                                  "'" + (hostile ? "" : minnow) + " >" + dir_.file("devsim.log")},
                       dir_.file(hostile ? "ttyCorvia" : "ttyMinnow"),
                       {}});
    }

    ShellResult sh(const std::string& command) {
        writeText(dir_.file("command"),
                  "D=" + dir_.path() + "; DEVSIM=" + std::to_string(devices_ ? devices_->pid() : 0) +
                      "; PATH=" + std::filesystem::path(nativeTool("nimbrel")).parent_path().string() + R"(:$PATH
C=$D/ttyCorvia; M=$D/ttyMinnow; CF=$D/corvia; MF=$D/minnow; PC=$D/pc; MNT=$D/mnt; LOG=$D/devsim.log
export XDG_CONFIG_HOME=$D/config NIMBREL_PORTS=$C:$M LC_ALL=C; cv="$MNT/Corvia 80"; mn=$MNT/Minnow
size() { stat -c %s "$1" 2>/dev/null || echo 0; }
waitfor() { for i in $(seq 600); do eval "$1" && return; sleep 0.05; done; return 1; }
)" + command + "\n");
        const int status = std::system(
            ("bash " + dir_.file("command") + " </dev/null >" + dir_.file("out") + " 2>" + dir_.file("err")).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(dir_.file("out")), readText(dir_.file("err"))};
    }

    void run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.command);
            const ShellResult result = sh(step.command);
            if (step.exitCode < 0)
                EXPECT_NE(result.exitCode, 0);
            else
                EXPECT_EQ(result.exitCode, step.exitCode) << result.err;
            expectText(result.out, step.out);
            expectText(result.err, step.err);
        }
    }

    TempDir dir_;
    std::unique_ptr<ToolProcess> devices_;
};
