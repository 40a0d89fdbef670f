// The nimbrel program mounting for real, with its real timing.
#include "MountTestSupport.h"

namespace {

TEST_F(MountTest, TheToolMountsUntilCtrlCOrFusermountAndNamesDevicesFromItsCatalogue) {
    startDevices();
    std::string listed;
    const CliResult foreground = nimbrel({"mount", "-f", mountPoint()}, [&](const std::string&, const std::string&) {
        if (!isMounted(mountPoint())) return false;
        listed = sh("ls " + mountPoint()).out;
        return true;
    });
    EXPECT_EQ(foreground.exitCode, 0) << foreground.err;
    EXPECT_EQ(foreground.out, "2 devices mounted at " + mountPoint() + "; Ctrl+C unmounts.\n");
    EXPECT_EQ(listed, "Corvia 80\nMinnow\n");
    EXPECT_FALSE(isMounted(mountPoint()));

    // In the background, one device's files at the root, until fusermount3 -u.
    const CliResult background = nimbrel({"--device", corviaLink(), "mount", "--allow-system-files", mountPoint()});
    ASSERT_EQ(background.exitCode, 0) << background.err;
    EXPECT_EQ(sh("ls " + mountPoint()).out, "BOOK.BRF\nKORVEL.NSF\nLETTER.TXT\n");
    EXPECT_EQ(sh("rm " + mountPoint() + "/KORVEL.NSF").exitCode, 0);
    EXPECT_FALSE(fs::exists(corviaFiles() / "KORVEL.NSF"));
    EXPECT_EQ(sh("fusermount3 -u " + mountPoint()).exitCode, 0);
    EXPECT_FALSE(isMounted(mountPoint()));

    EXPECT_EQ(nimbrel({"mount", dir_.file("nowhere")}).exitCode, 1);
}

}  // namespace
