// The progress counters as the protocol's callbacks drive them: which
// transfer hears of a device, and the bars, captions and remaining times
// it shows.
#include "TransferTestSupport.h"
#include "protocol/LocalPathName.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

DeviceInfo deviceWithSerial(const char* serial) {
    DeviceInfo info;
    info.typeCode = 0x72;
    std::snprintf(info.serial, sizeof info.serial, "%s", serial);
    return info;
}

const DeviceInfo source = deviceWithSerial("MN2-1");
const DeviceInfo target = deviceWithSerial("CV8-2");

ProgressUpdate last(ScriptedUser& user, std::size_t display = 0) {
    const std::lock_guard<std::mutex> guard(user.displays.at(display).lock);
    return user.displays.at(display).updates.back();
}

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
    NoPauses noPauses;
    ScriptedUser user;
    auto single = TransferProgress::create(user, target, TransferMode::PcAndDevice, 1, 1000);
    single->setCurrentName(std::string("\"folder") + localPathSeparator + "report.brf\"");
    TransferProgress::singleTransferProgress(&target, 1000, 370, 37.0, 52'000);
    ProgressUpdate update = last(user);
    EXPECT_EQ(update.name, "report.brf");
    EXPECT_EQ(update.caption, ProgressUpdate::Caption::FileOfOne);
    EXPECT_EQ(update.captionName, "report.brf");
    EXPECT_EQ(update.percent, 37);
    EXPECT_EQ(update.fileBar, 37);
    EXPECT_EQ(update.remainingSeconds, 52u);
    EXPECT_FALSE(update.abortEnabled) << "no device to cancel";
    single->fileFinished(1000);
    EXPECT_EQ(user.displays[0].closes, 1) << "the dialog closes after the last file";
    single->destroy();

    auto several = TransferProgress::create(user, target, TransferMode::PcAndDevice, 3, 1'000'300);
    several->fileFinished(100);
    several->skipFile(100, false);
    TransferProgress::singleTransferProgress(&target, 500, 100, 20.0, 0);
    update = last(user, 1);
    EXPECT_EQ(update.caption, ProgressUpdate::Caption::FilesOfMany);
    EXPECT_EQ(update.percent, 0);  // 200 of 1,000,200
    EXPECT_EQ(update.remainingSeconds, 625u);
    EXPECT_EQ(several->fileCount(), 2u);
    several->destroy();
    TransferProgress::singleTransferProgress(&target, 500, 200, 40.0, 0);
    EXPECT_EQ(user.displays[1].updates.size(), 1u) << "a destroyed transfer heard of its device";
}

TEST(ProgressTest, DeviceToDeviceReceivesIntoTheFirstHalfOfTheBarAndSendsIntoTheSecond) {
    NoPauses noPauses;
    ScriptedUser user;
    auto job = TransferProgress::create(user, target, TransferMode::DeviceToDevice, 2, 400, &source);
    EXPECT_EQ(job->totalBytes(), 800u);
    job->setReceiveName("FIRST.TXT");
    job->setCurrentName("FIRST.TXT");
    TransferProgress::receiveSideProgress(&source, 200, 120, 60.0, 0);
    ProgressUpdate update = last(user);
    EXPECT_EQ(update.fileBar, 30);
    EXPECT_EQ(update.percent, 15);
    EXPECT_EQ(update.caption, ProgressUpdate::Caption::DeviceToDevice);
    EXPECT_EQ(update.remainingSeconds, (680 / 80 + 4) * 50 / 1000);
    job->fileFinished(200);
    job->setSendBusy(true);
    job->setReceiveName("SECOND.TXT");
    TransferProgress::sendSideProgress(&target, 200, 120, 60.0, 0);
    update = last(user);
    EXPECT_EQ(update.fileBar, 80);
    EXPECT_EQ(update.name, "FIRST.TXT");
    TransferProgress::receiveSideProgress(&source, 200, 100, 50.0, 0);
    EXPECT_FALSE(last(user).setFileBar) << "the bar belongs to the sending while it runs";
    EXPECT_EQ(last(user).name, "FIRST.TXT");
    job->skipFile(200, true);
    EXPECT_EQ(job->totalBytes(), 400u);
    job->fileFinished(200);
    EXPECT_EQ(user.displays[0].closes, 0) << "only the job closes its dialog";
    job->destroy();
}

TEST(ProgressTest, TwoTransfersToOneDeviceKeepTheirOwnDisplaysAndAbortReachesItsOwn) {
    NoPauses noPauses;
    ScriptedUser user;
    auto older = TransferProgress::create(user, target, TransferMode::PcAndDevice, 2, 100);
    auto newer = TransferProgress::create(user, target, TransferMode::PcAndDevice, 2, 100);
    TransferProgress::singleTransferProgress(&target, 10, 5, 50.0, 0);
    EXPECT_EQ(user.displays[1].updates.size(), 1u) << "the newest transfer hears of its device";
    newer->destroy();
    TransferProgress::singleTransferProgress(&target, 10, 5, 50.0, 0);
    EXPECT_EQ(user.displays[0].updates.size(), 1u) << "the older transfer lost its display";

    int handled = 0;
    older->setAbortHandler([&] { ++handled; });
    older->abort();
    EXPECT_TRUE(older->aborted());
    EXPECT_FALSE(newer->aborted());
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(user.displays[0].closes, 1);
    older->destroy();
}
