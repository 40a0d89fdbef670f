// A hostile or broken device as Explorer meets it, through nimbrel-devsim on
// a mapped COM port: what it sends never freezes the view's thread, never
// becomes data and leaves no temporary file; the user hears of it through
// the listing's and the download's own messages.
#include "ShellTransferSupport.h"

namespace {

constexpr int port = 7;

struct HostileDevice {
    const char* behaviour;
    std::string keys;
    UINT message;
};

const HostileDevice hostileDevices[] = {
    {"a file list that never ends", "endless", IDS_ERROR_READ_LIST},
    {"a download beyond the size the device listed", "overrun=5", IDS_ERROR_DOWNLOAD},
};

using HostileDeviceTest = ShellTransferTest;

}  // namespace

TEST_F(HostileDeviceTest, TheListingAndTheDataObjectRefuseWhatNoRealDeviceSends) {
    const auto before = temporaryTransferFiles();
    std::vector<UINT> shown;
    for (const HostileDevice& hostile : hostileDevices) {
        SCOPED_TRACE(hostile.behaviour);
        const DevsimDevices devices({{port, "model=CV8,text=LETTER.TXT:Dear," + hostile.keys}});
        const OpenedDevice device = openDevice(port, "CV8-0001", 0x78, sourceWindow_.get());
        if (device.files.result == S_OK) {
            const auto data = dataObjectOf(device, {"LETTER.TXT"}, sourceWindow_.get());
            FORMATETC contents{static_cast<CLIPFORMAT>(formats().fileContents), nullptr, DVASPECT_CONTENT, 0,
                               TYMED_ISTREAM};
            STGMEDIUM medium{};
            EXPECT_EQ(data->GetData(&contents, &medium), E_ABORT);
        }
        shown.push_back(hostile.message);
        EXPECT_EQ(environment_.shownTexts(), shown);
        EXPECT_EQ(temporaryTransferFiles(), before) << "a temporary file was left";
    }
}
