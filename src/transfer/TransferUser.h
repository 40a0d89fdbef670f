#pragma once
// How a transfer meets the user: the overwrite question, the messages that
// tell of a failure, and the progress display. The shell shows dialogs and
// message boxes; tests answer from a script. Texts handed over here are
// UTF-8 (device names are converted with deviceNameForDisplay).
#include <cstdint>
#include <memory>
#include <string>

class TransferProgress;

// The buttons of the overwrite question; Closed when it was closed
// otherwise (its close box).
enum class OverwriteAnswer { Yes, YesToAll, No, Cancel, Closed };

// Why a transfer stopped or skipped a file; each has its own text.
enum class TransferNotice {
    NotEnoughSpace,         // the dropped files do not fit (checked before anything is sent)
    DeviceRefusedForSpace,  // the device has no room for the file being sent
    UploadFailed,           // name: the local path
    DownloadFailed,         // name: the device file
    DirectoryDropped,       // a folder among the dropped files
    ReceiveFailed,          // device to device, the source failed; name: the device file
    SendFailed,             // device to device, the target failed; name: the device file
    CopyToItself,           // device to device onto the source device
};

struct TransferMessage {
    TransferNotice notice;
    std::string name;       // file named in the text, if the text names one
    std::string model;      // model of the device named in the text
    int port = 0;           // its COM port
    std::int32_t code = 0;  // the error code behind a failure, when one was raised
};

// What the progress object shows; the dialog turns it into texts and bars.
struct ProgressUpdate {
    enum class Caption { FileOfOne, FilesOfMany, DeviceToDevice };

    std::string name;  // file name shown (the name part of the current name)
    int fileBar = 0;   // 0..100
    bool setFileBar = true;
    int totalBar = 0;  // 0..100
    Caption caption = Caption::FileOfOne;
    int percent = 0;          // for the caption
    std::string captionName;  // for Caption::FileOfOne
    std::uint32_t remainingSeconds = 0;
    bool abortEnabled = true;
};

// The progress dialog of one transfer, or a stand-in. Called from the
// transferring threads; close() may come from any thread, more than once.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void show(const ProgressUpdate& update) = 0;
    virtual void fillFileBar() = 0;
    virtual void bringToFront() = 0;
    virtual void close() = 0;
};

class TransferUser {
public:
    virtual ~TransferUser() = default;
    // `name` is the file as the user knows it (a local path or a device name).
    virtual OverwriteAnswer askOverwrite(const std::string& name) = 0;
    virtual void tell(const TransferMessage& message) = 0;
    // The display of a new progress object; it calls progress.abort() when
    // the user presses Abort. Null shows nothing.
    virtual std::unique_ptr<ProgressDisplay> makeProgressDisplay(TransferProgress& progress) = 0;
};
