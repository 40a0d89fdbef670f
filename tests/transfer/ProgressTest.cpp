// The progress counters as the protocol's reports drive them: the bars,
// captions and remaining times of each transfer, each report bound to its
// own transfer.
#include "TransferTestSupport.h"
#include "protocol/LocalPathName.h"

#include <gtest/gtest.h>

namespace {

using Caption = ProgressUpdate::Caption;
const DeviceInfo source = deviceOn(3, 0x72);
const DeviceInfo target = deviceOn(4);

}  // namespace

TEST(ProgressTest, TransfersBetweenThePcAndADeviceShowFileAndTotalProgressInSixtyFourBits) {
    ScriptedUser one, several;
    auto single = TransferProgress::create(one, TransferMode::PcAndDevice, 1, 1000);
    single->setCurrentName(std::string("\"folder") + localPathSeparator + "report.brf\"");
    single->report()(&target, 1000, 370, 37.0, 52'000);
    ProgressUpdate update = one->updates.back();
    EXPECT_EQ(std::tie(update.name, update.captionName), std::make_tuple("report.brf", "report.brf"));
    EXPECT_EQ(update.caption, Caption::FileOfOne);
    EXPECT_EQ(std::tie(update.percent, update.fileBar, update.remainingSeconds), std::make_tuple(37, 37, 52u));
    EXPECT_FALSE(update.abortEnabled) << "no device to cancel";
    single->fileFinished(1000);
    EXPECT_EQ(one->closes, 1) << "the dialog closes after the last file";

    // 1,000,000 bytes left: (12,500 blocks + 2) at 50 ms, 0:10:25.
    auto many = TransferProgress::create(several, TransferMode::PcAndDevice, 3, 1'000'300);
    many->fileFinished(100);
    many->skipFile(100, false);
    many->report()(&target, 500, 100, 20.0, 0);
    update = several->updates.back();
    EXPECT_EQ(update.caption, Caption::FilesOfMany);
    EXPECT_EQ(std::tie(update.percent, update.remainingSeconds), std::make_tuple(0, 625u));  // 200 of 1,000,200
    EXPECT_EQ(many->fileCount(), 2u);
    // Sizes beyond 32 bits; an empty transfer is complete.
    EXPECT_EQ(percentOf(5'000'000'000ull, 10'000'000'000ull), 50u);
    EXPECT_EQ(percentOf(0, 0), 100u);
}

TEST(ProgressTest, DeviceToDeviceReceivesIntoTheFirstHalfOfTheBarAndSendsIntoTheSecond) {
    ScriptedUser user;
    auto job = TransferProgress::create(user, TransferMode::DeviceToDevice, 2, 400);
    EXPECT_EQ(job->totalBytes(), 800u);
    job->setReceiveName("FIRST.TXT");
    job->setCurrentName("FIRST.TXT");
    job->receiveReport()(&source, 200, 120, 60.0, 0);
    ProgressUpdate update = user->updates.back();
    EXPECT_EQ(std::tie(update.fileBar, update.percent), std::make_tuple(30, 15));
    EXPECT_EQ(update.caption, Caption::DeviceToDevice);
    job->fileFinished(200);
    job->setSendBusy(true);
    job->setReceiveName("SECOND.TXT");
    job->sendReport()(&target, 200, 120, 60.0, 0);
    EXPECT_EQ(user->updates.back().fileBar, 80);
    job->receiveReport()(&source, 200, 100, 50.0, 0);
    EXPECT_FALSE(user->updates.back().setFileBar) << "the bar belongs to the sending while it runs";
    EXPECT_EQ(user->updates.back().name, "FIRST.TXT");
    job->skipFile(200, true);
    EXPECT_EQ(job->totalBytes(), 400u);
    job->fileFinished(200);
    EXPECT_EQ(user->closes, 0) << "only the job closes its dialog";
}

// Each report is bound to its transfer: two transfers with one device (the
// same serial text) keep to their own displays, and Abort reaches its own.
TEST(ProgressTest, TwoTransfersWithOneDeviceKeepTheirOwnDisplaysAndAbortReachesItsOwn) {
    ScriptedUser first, second;
    auto older = TransferProgress::create(first, TransferMode::PcAndDevice, 2, 100);
    auto newer = TransferProgress::create(second, TransferMode::PcAndDevice, 2, 100);
    const ProgressCallback olderReport = older->report();
    newer->destroy();
    olderReport(&target, 10, 5, 50.0, 0);
    EXPECT_EQ(std::make_pair(first->updates.size(), second->updates.size()),
              std::make_pair(std::size_t{1}, std::size_t{0}));

    int handled = 0;
    older->setAbortHandler([&] { ++handled; });
    older->abort();
    EXPECT_TRUE(older->aborted() && !newer->aborted());
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(first->closes, 1);
}
