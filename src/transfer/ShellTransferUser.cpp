#include "transfer/ShellTransferUser.h"

#include "resources/resource.h"
#include "shell/Prompt.h"
#include "transfer/Announcer.h"
#include "transfer/OverwriteDialog.h"
#include "transfer/TransferProgress.h"

#include <iterator>

namespace {

struct NoticeText {
    UINT text;
    UINT icon;
};

// In the order of TransferNotice.
constexpr NoticeText noticeTexts[] = {
    {IDS_ERROR_DEVICE_FULL, MB_ICONEXCLAMATION},        // NotEnoughSpace
    {IDS_ERROR_DEVICE_FULL, MB_ICONHAND},               // DeviceRefusedForSpace
    {IDS_ERROR_UPLOAD, MB_ICONEXCLAMATION},             // UploadFailed
    {IDS_ERROR_DOWNLOAD, MB_ICONEXCLAMATION},           // DownloadFailed
    {IDS_ERROR_DIRECTORY_DROPPED, MB_ICONEXCLAMATION},  // DirectoryDropped
    {IDS_ERROR_RECEIVE_FROM, MB_ICONEXCLAMATION},       // ReceiveFailed
    {IDS_ERROR_SEND_TO, MB_ICONEXCLAMATION},            // SendFailed
    {IDS_ERROR_COPY_TO_ITSELF, MB_ICONHAND},            // CopyToItself
};
static_assert(std::size(noticeTexts) == static_cast<std::size_t>(TransferNotice::CopyToItself) + 1);

}  // namespace

OverwriteAnswer ShellTransferUser::askOverwrite(const std::string& name) {
    return ::askOverwrite(widenUtf8(name), owner_);
}

void ShellTransferUser::tell(const TransferMessage& message) {
    const NoticeText& text = noticeTexts[static_cast<std::size_t>(message.notice)];
    tellFailure(owner_, text.text, MB_OK | text.icon, {widenUtf8(message.name), message.model, message.port});
}

std::unique_ptr<ProgressDisplay> ShellTransferUser::makeProgressDisplay(TransferProgress& progress) {
    return std::make_unique<ProgressDialog>(progress, progress.fileCount() > 1, owner_);
}

HWND progressWindowOf(const TransferProgress& progress) {
    const auto* dialog = dynamic_cast<const ProgressDialog*>(progress.display());
    return dialog ? dialog->window() : nullptr;
}
