// PC files dropped or pasted onto a device folder, as a file manager hands
// them over (a CF_HDROP list), against nimbrel-devsim on a mapped COM port:
// the files on the device, the questions and messages, the source's view of
// a move and the folder's refresh.
#include "FileListSource.h"
#include "ShellTransferSupport.h"
#include "shell/TextFormat.h"
#include "transfer/DroppedFiles.h"

#include <fstream>

namespace {

constexpr int port = 8;

class UploadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(environment_.ready()); }

    // Local files of `size` bytes of 'p' (a size of -1: a folder), in a
    // folder whose name has no ANSI form, as wide paths.
    std::vector<std::wstring> localFiles(const std::vector<std::pair<std::wstring, long>>& files) {
        // Made through the wide calls, as a user's folder named so would be.
        const std::filesystem::path folder =
            widenUtf8(hostPath(local_.path())) + L"\\\u041f\u0438\u0441\u044c\u043c\u0430";
        std::filesystem::create_directories(folder);
        std::vector<std::wstring> paths;
        for (const auto& [name, size] : files) {
            const std::filesystem::path path = folder / name;
            if (size < 0) {
                std::filesystem::create_directory(path);
            } else {
                std::ofstream(path, std::ios::binary) << std::string(static_cast<std::size_t>(size), 'p');
            }
            paths.push_back(path.wstring());
        }
        return paths;
    }
    std::uint32_t upload(const OpenedDevice& device, const ComPtr<FileListSource>& source, bool moveRequested = false) {
        return uploadDroppedFiles(source.Get(), device.namespaceFolder(), owner_.get(), moveRequested);
    }
    std::vector<UINT> shownTexts() const {
        std::vector<UINT> texts;
        for (const auto& shown : environment_.prompts.prompts()) texts.push_back(shown.textId);
        return texts;
    }

    ShellTransferEnvironment environment_;
    CommandWindow owner_;
    TempDir local_;
};

Bytes filled(std::size_t size, char with) {
    return Bytes(size, static_cast<std::uint8_t>(with));
}

}  // namespace

TEST_F(UploadTest, DroppedFilesArriveByteIdenticalFromAFolderOutsideTheAnsiCodePage) {
    const DevsimDevices devices({{port, "model=CV8"}});
    const OpenedDevice device = openDevice(port);
    const auto source =
        makeComObject<FileListSource>(localFiles({{L"report.brf", 1000}, {L"empty.txt", 0}}), std::nullopt);
    EXPECT_EQ(upload(device, source), 1u);
    EXPECT_EQ(devices.read(port, "report.brf"), filled(1000, 'p'));
    EXPECT_TRUE(devices.has(port, "empty.txt"));
    EXPECT_EQ(owner_.refreshes(), 1);
    EXPECT_EQ(source->ended, DWORD{DROPEFFECT_COPY});
    EXPECT_FALSE(source->pasteSucceeded);
    for (const auto& shown : environment_.prompts.prompts()) ADD_FAILURE() << narrow(shown.text);
}

TEST_F(UploadTest, EveryFileIsCheckedBeforeTheFirstByte) {
    const DevsimDevices devices({{port, "model=CV8,free=150"}});
    const OpenedDevice device = openDevice(port);
    const auto cases = {
        std::pair{localFiles({{L"a.txt", 80}, {L"b.txt", 80}}), IDS_ERROR_DEVICE_FULL},
        std::pair{localFiles({{L"c.txt", 10}, {L"folder", -1}}), IDS_ERROR_DIRECTORY_DROPPED},
        std::pair{localFiles({{L"d.txt", 10}, {L"\u042f.txt", 10}}), IDS_ERROR_UPLOAD},  // no ANSI name
    };
    std::vector<UINT> expected;
    for (const auto& [files, message] : cases) {
        EXPECT_EQ(upload(device, makeComObject<FileListSource>(files, std::nullopt)), 0u);
        expected.push_back(message);
    }
    EXPECT_EQ(shownTexts(), expected);
    for (const auto& shown : environment_.prompts.prompts()) {
        EXPECT_EQ(shown.owner, owner_.get());
        EXPECT_EQ(shown.style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    }
    EXPECT_TRUE(std::filesystem::is_empty(hostPath(devices.filesOf(port)))) << "something was sent";
    EXPECT_EQ(owner_.refreshes(), 0);
}

TEST_F(UploadTest, TheOverwriteQuestionIsAnsweredThroughItsButtons) {
    const DevsimDevices devices({{port, "model=CV8"}});
    for (const char* name : {"A.TXT", "B.TXT", "C.TXT", "D.TXT", "X.TXT"}) devices.put(port, name, filled(5, 'd'));
    const OpenedDevice device = openDevice(port);
    {
        OverwriteAnswers answers({IDC_OVERWRITE_YES, IDC_OVERWRITE_NO, IDC_OVERWRITE_ALL});
        const auto files = localFiles({{L"A.TXT", 10}, {L"B.TXT", 10}, {L"C.TXT", 10}, {L"D.TXT", 10}, {L"E.TXT", 10}});
        EXPECT_EQ(upload(device, makeComObject<FileListSource>(files, std::nullopt)), 1u);
        answers.finish();
        ASSERT_EQ(answers.questions.size(), 3u) << "Yes to all did not answer the later questions";
        EXPECT_EQ(answers.questions[0],
                  L"File \"A.TXT\" already exists on target device. Do you want to overwrite "
                  L"this file?");
    }
    for (const char* name : {"A.TXT", "C.TXT", "D.TXT", "E.TXT"}) EXPECT_EQ(devices.read(port, name), filled(10, 'p'));
    EXPECT_EQ(devices.read(port, "B.TXT"), filled(5, 'd'));

    OverwriteAnswers cancel({IDC_OVERWRITE_CANCEL});
    const auto files = localFiles({{L"W.TXT", 10}, {L"X.TXT", 10}, {L"Y.TXT", 10}});
    EXPECT_EQ(upload(device, makeComObject<FileListSource>(files, std::nullopt)), 1u);
    cancel.finish();
    EXPECT_TRUE(devices.has(port, "W.TXT"));
    EXPECT_EQ(devices.read(port, "X.TXT"), filled(5, 'd'));
    EXPECT_FALSE(devices.has(port, "Y.TXT")) << "Cancel did not stop the upload";
    EXPECT_TRUE(environment_.prompts.prompts().empty());
}

TEST_F(UploadTest, FilesCutOnThePcAreConfirmedAsMovedOnlyWhenEveryOneArrived) {
    const DevsimDevices devices({{port, "model=CV8"}});
    devices.put(port, "KEEP.TXT", filled(5, 'd'));
    const OpenedDevice device = openDevice(port);

    const auto moved = makeComObject<FileListSource>(localFiles({{L"M1.TXT", 10}, {L"M2.TXT", 20}}), DROPEFFECT_MOVE);
    EXPECT_EQ(upload(device, moved), 1u);
    EXPECT_EQ(moved->performed, DWORD{DROPEFFECT_MOVE});
    EXPECT_EQ(moved->pasteSucceeded, DWORD{DROPEFFECT_MOVE});
    EXPECT_EQ(moved->ended, DWORD{DROPEFFECT_MOVE});

    OverwriteAnswers declined({IDC_OVERWRITE_NO});
    const auto partly =
        makeComObject<FileListSource>(localFiles({{L"M3.TXT", 10}, {L"KEEP.TXT", 20}}), DROPEFFECT_MOVE);
    EXPECT_EQ(upload(device, partly), 1u);
    declined.finish();
    EXPECT_FALSE(partly->pasteSucceeded) << "a move with a declined file was confirmed";
    EXPECT_FALSE(partly->ended);

    // A drop made as a move by the drop target, from a source that prefers nothing.
    const auto dragged = makeComObject<FileListSource>(localFiles({{L"M4.TXT", 10}}), std::nullopt);
    EXPECT_EQ(upload(device, dragged, true), 1u);
    EXPECT_TRUE(dragged->started);
    EXPECT_EQ(dragged->performed, DWORD{DROPEFFECT_MOVE});
    EXPECT_EQ(dragged->ended, DWORD{DROPEFFECT_MOVE});
}

TEST_F(UploadTest, ADeviceThatFallsSilentInTheMiddleOfAFileIsReportedOnce) {
    // Counted from the device's start: opening and listing write far fewer bytes.
    const DevsimDevices devices({{port, "model=CV8,silence=600"}});
    const OpenedDevice device = openDevice(port);
    const auto source =
        makeComObject<FileListSource>(localFiles({{L"BIG.TXT", 20000}, {L"NEXT.TXT", 10}}), std::nullopt);
    EXPECT_EQ(upload(device, source), 1u);
    ASSERT_EQ(shownTexts(), std::vector<UINT>{IDS_ERROR_UPLOAD});
    const std::wstring text = environment_.prompts.prompts()[0].text;
    EXPECT_NE(text.find(L"BIG.TXT"), std::wstring::npos);
    EXPECT_NE(text.find(L"Corvia 80 connected to COM 8"), std::wstring::npos) << narrow(text);
    EXPECT_FALSE(devices.has(port, "NEXT.TXT"));
    EXPECT_EQ(owner_.refreshes(), 0);
}
