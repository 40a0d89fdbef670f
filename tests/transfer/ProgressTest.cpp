// The progress counters as the protocol's callbacks drive them: which
// transfer hears of a device, and the bars, captions and remaining times
// it shows.
#include "TransferTestSupport.h"
#include "protocol/LocalPathName.h"

#include <gtest/gtest.h>

namespace {

using Caption = ProgressUpdate::Caption;
const DeviceInfo source = deviceOn(3, 0x72);
const DeviceInfo target = deviceOn(4);

}  // namespace

TEST(ProgressTest, EstimatesAreSixtyFourBitAndAnEmptyTransferIsComplete) {
    EXPECT_EQ(percentOf(0, 0), 100u);
    EXPECT_EQ(percentOf(1, 3), 33u);
    EXPECT_EQ(percentOf(5'000'000'000ull, 10'000'000'000ull), 50u);
    EXPECT_EQ(percentOf(7, 5), 100u);
    // 1,000,000 bytes left: (12,500 blocks + 2) at 50 ms, 0:10:25.
    EXPECT_EQ(remainingMilliseconds(1'000'000, 0, 2) / 1000, 625u);
    EXPECT_EQ(remainingMilliseconds(100, 400, 4), 200u);
}

TEST(ProgressTest, TransfersBetweenThePcAndADeviceShowFileAndTotalProgress) {
    PauseLog pauses;
    ScriptedUser one, several;
    auto single = TransferProgress::create(one, target, TransferMode::PcAndDevice, 1, 1000);
    single->setCurrentName(std::string("\"folder") + localPathSeparator + "report.brf\"");
    TransferProgress::singleTransferProgress(&target, 1000, 370, 37.0, 52'000);
    ProgressUpdate update = one->updates.back();
    EXPECT_EQ(std::tie(update.name, update.captionName), std::make_tuple("report.brf", "report.brf"));
    EXPECT_EQ(update.caption, Caption::FileOfOne);
    EXPECT_EQ(std::tie(update.percent, update.fileBar, update.remainingSeconds), std::make_tuple(37, 37, 52u));
    EXPECT_FALSE(update.abortEnabled) << "no device to cancel";
    single->fileFinished(1000);
    EXPECT_EQ(one->closes, 1) << "the dialog closes after the last file";
    single->destroy();

    auto many = TransferProgress::create(several, target, TransferMode::PcAndDevice, 3, 1'000'300);
    many->fileFinished(100);
    many->skipFile(100, false);
    TransferProgress::singleTransferProgress(&target, 500, 100, 20.0, 0);
    update = several->updates.back();
    EXPECT_EQ(update.caption, Caption::FilesOfMany);
    EXPECT_EQ(std::tie(update.percent, update.remainingSeconds), std::make_tuple(0, 625u));  // 200 of 1,000,200
    EXPECT_EQ(many->fileCount(), 2u);
    many->destroy();
    TransferProgress::singleTransferProgress(&target, 500, 200, 40.0, 0);
    EXPECT_EQ(several->updates.size(), 1u) << "a destroyed transfer heard of its device";
}

TEST(ProgressTest, DeviceToDeviceReceivesIntoTheFirstHalfOfTheBarAndSendsIntoTheSecond) {
    PauseLog pauses;
    ScriptedUser user;
    auto job = TransferProgress::create(user, target, TransferMode::DeviceToDevice, 2, 400, &source);
    EXPECT_EQ(job->totalBytes(), 800u);
    job->setReceiveName("FIRST.TXT");
    job->setCurrentName("FIRST.TXT");
    TransferProgress::receiveSideProgress(&source, 200, 120, 60.0, 0);
    ProgressUpdate update = user->updates.back();
    EXPECT_EQ(std::tie(update.fileBar, update.percent), std::make_tuple(30, 15));
    EXPECT_EQ(update.caption, Caption::DeviceToDevice);
    EXPECT_EQ(update.remainingSeconds, (680u / 80 + 4) * 50 / 1000);
    job->fileFinished(200);
    job->setSendBusy(true);
    job->setReceiveName("SECOND.TXT");
    TransferProgress::sendSideProgress(&target, 200, 120, 60.0, 0);
    EXPECT_EQ(user->updates.back().fileBar, 80);
    TransferProgress::receiveSideProgress(&source, 200, 100, 50.0, 0);
    EXPECT_FALSE(user->updates.back().setFileBar) << "the bar belongs to the sending while it runs";
    EXPECT_EQ(user->updates.back().name, "FIRST.TXT");
    job->skipFile(200, true);
    EXPECT_EQ(job->totalBytes(), 400u);
    job->fileFinished(200);
    EXPECT_EQ(user->closes, 0) << "only the job closes its dialog";
    job->destroy();
}

TEST(ProgressTest, TwoTransfersToOneDeviceKeepTheirOwnDisplaysAndAbortReachesItsOwn) {
    PauseLog pauses;
    ScriptedUser first, second;
    auto older = TransferProgress::create(first, target, TransferMode::PcAndDevice, 2, 100);
    auto newer = TransferProgress::create(second, target, TransferMode::PcAndDevice, 2, 100);
    TransferProgress::singleTransferProgress(&target, 10, 5, 50.0, 0);
    EXPECT_EQ(second->updates.size(), 1u) << "the newest transfer hears of its device";
    newer->destroy();
    TransferProgress::singleTransferProgress(&target, 10, 5, 50.0, 0);
    EXPECT_EQ(first->updates.size(), 1u) << "the older transfer lost its display";

    int handled = 0;
    older->setAbortHandler([&] { ++handled; });
    older->abort();
    EXPECT_TRUE(older->aborted() && !newer->aborted());
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(first->closes, 1);
    older->destroy();
}
