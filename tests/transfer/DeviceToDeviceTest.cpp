// Files between two devices and from the PC onto a device, as the shell
// hands them over: the clipboard, a drag onto the drop target, the drop
// effects it offers, a move confirmed to the source, the overwrite dialog
// of an upload, Abort in the job's dialog; against nimbrel-devsim devices on
// mapped COM ports.
#include "FileListSource.h"
#include "ShellTransferSupport.h"
#include "namespace/ShellChanges.h"
#include "transfer/FileDropSource.h"

#include <map>

namespace {

constexpr int sourcePort = 7;
constexpr int targetPort = 8;
const std::vector<std::pair<int, std::string>> twoDevices = {{sourcePort, "model=CV8,serial=CV8-0007"},
                                                             {targetPort, "model=MN2,serial=MN2-0008"}};

DWORD dragEffect(IDropTarget& target, IDataObject* data, DWORD keys) {
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target.DragEnter(data, keys, POINTL{}, &effect), S_OK);
    target.DragLeave();
    return effect;
}

// A drag onto `target` as the drag loop makes it, the keys held when the
// button is let go; the effect Drop reports.
DWORD dragAndDrop(IDropTarget& target, IDataObject* data, DWORD keys) {
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target.DragEnter(data, MK_LBUTTON | keys, POINTL{20, 20}, &effect), S_OK);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target.DragOver(MK_LBUTTON | keys, POINTL{30, 30}, &effect), S_OK);
    EXPECT_EQ(target.Drop(data, keys, POINTL{30, 30}, &effect), S_OK);
    return effect;
}

std::vector<std::uint8_t> valueBytes(DWORD value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), 0, 0};
}

using DeviceToDeviceTest = ShellTransferTest;
using RealTimingDeviceToDeviceTest = RealTimingTest;

}  // namespace

TEST_F(DeviceToDeviceTest, FilesGoThroughTheClipboardAndADragWhoseEffectsFollowTheTargetAndMoveOnTheSourcesWord) {
    const DevsimDevices devices(twoDevices);
    const std::vector<std::string> names = {"A.TXT", "B.BRF", "C.TXT", "M1.TXT", "M2.TXT", "CORE.NSF"};
    for (std::size_t i = 0; i < names.size(); ++i) devices.put(sourcePort, names[i], 700, static_cast<char>('a' + i));
    const OpenedDevice source = openDevice(sourcePort, "CV8-0007", 0x78, sourceWindow_.get());
    const OpenedDevice target = openDevice(targetPort, "MN2-0008", 0x72, targetWindow_.get());
    const shellchange::Recorder notices;

    const auto onItself = dataObjectOf(source, {"M1.TXT"}, sourceWindow_.get(), DROPEFFECT_MOVE);
    pasteDataObject({nullptr, source.folder.Get(), {sourceWindow_.get(), sourceWindow_.get()}}, onItself.Get());
    ASSERT_EQ(environment_.shownTexts(), std::vector<UINT>{IDS_ERROR_COPY_TO_ITSELF});
    EXPECT_EQ(environment_.prompts.prompts()[0].style, static_cast<UINT>(MB_OK | MB_ICONHAND));

    // Copy and paste through the real clipboard.
    const auto copied = dataObjectOf(source, {"A.TXT", "B.BRF"}, sourceWindow_.get(), DROPEFFECT_COPY);
    ASSERT_EQ(OleSetClipboard(copied.Get()), S_OK);
    EXPECT_TRUE(clipboardCanPaste());
    pasteClipboard(targetView(target));
    EXPECT_TRUE(finishTransfers());
    EXPECT_EQ(targetWindow_.refreshes(), 1);

    // A drag of the third file onto the target's view, its drop target
    // called as the drag loop calls it. (Wine 8's WindowFromPoint gives
    // the desktop for the test's windows, so its DoDragDrop finds no target.)
    const auto dragged = dataObjectOf(source, {"C.TXT"}, sourceWindow_.get(), DROPEFFECT_COPY | DROPEFFECT_MOVE);
    ComPtr<IDropTarget> dropTarget;
    ASSERT_EQ(target.folder->CreateViewObject(targetWindow_.get(), IID_PPV_ARGS(&dropTarget)), S_OK);
    EXPECT_EQ(dragAndDrop(*dropTarget.Get(), dragged.Get(), 0), DWORD{DROPEFFECT_COPY});
    EXPECT_TRUE(finishTransfers());

    // A drag with Shift moves, a system file only once the user agreed.
    const auto system = dataObjectOf(source, {"CORE.NSF"}, sourceWindow_.get(), DROPEFFECT_COPY | DROPEFFECT_MOVE);
    environment_.prompts.setAnswer(IDNO);
    EXPECT_EQ(dragAndDrop(*dropTarget.Get(), system.Get(), MK_SHIFT), DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(environment_.shownTexts().back(), UINT{IDS_CONFIRM_MOVE_SYSFILE});
    environment_.prompts.setAnswer(IDOK);

    // As a same-process clipboard gives it on Windows: the source's own object.
    const auto moved = dataObjectOf(source, {"M1.TXT", "M2.TXT"}, sourceWindow_.get(), DROPEFFECT_MOVE);
    pasteDataObject(targetView(target), moved.Get());
    EXPECT_TRUE(finishTransfers());
    EXPECT_EQ(devices.read(targetPort, "M2.TXT"), Bytes(700, 'e'));
    EXPECT_FALSE(devices.has(sourcePort, "M1.TXT") || devices.has(sourcePort, "M2.TXT"));
    EXPECT_EQ(sourceWindow_.refreshes(), 1) << "the source's view was not refreshed";
    for (const char* name : {"A.TXT", "B.BRF", "C.TXT", "CORE.NSF"}) EXPECT_TRUE(devices.has(sourcePort, name)) << name;
    for (const char* name : {"A.TXT", "B.BRF", "C.TXT"})
        EXPECT_EQ(devices.read(targetPort, name), devices.read(sourcePort, name)) << name;
    EXPECT_FALSE(devices.has(targetPort, "CORE.NSF"));
    EXPECT_EQ(targetWindow_.refreshes(), 3) << "one refresh for each paste and for the drop";
    EXPECT_EQ(environment_.prompts.prompts().size(), 2u);
    // The shell heard of each changed folder, by its identifier.
    std::map<std::string, int> updated;
    for (const shellchange::Notice& notice : notices.notices())
        if (notice.event == SHCNE_UPDATEDIR)
            ++updated[std::string(
                fieldText(readLastItemRecord(reinterpret_cast<PCIDLIST_ABSOLUTE>(notice.first.data()))->serial))];
    EXPECT_EQ(updated, (std::map<std::string, int>{{"CV8-0007", 1}, {"MN2-0008", 3}}));

    // A source whose descriptors are shorter than their count starts nothing.
    const auto foreign = makeComObject<FileListSource>(std::vector<std::wstring>{}, std::nullopt);
    for (const UINT format : {formats().deviceFiles, formats().devicePort})
        foreign->blocks[format] = valueBytes(sourcePort);
    foreign->blocks[formats().moveSystemFile] = valueBytes(0);
    foreign->blocks[formats().fileGroupDescriptor] = {1, 0, 0};
    pasteDataObject(targetView(target), foreign.Get());
    EXPECT_EQ(backgroundWorkRunning(), 0u) << "a job started for files nobody described";
    EXPECT_EQ(environment_.prompts.prompts().size(), 2u);
}

// The effects offered; and PC files dropped with Shift: moved only for a
// source that hears the outcome (its operation begun before Drop returns),
// copied for one that would delete its files at once.
TEST_F(DeviceToDeviceTest, DropEffectsFollowTheTargetAndAMoveOfPcFilesWaitsForTheirArrival) {
    const DevsimDevices devices(twoDevices);
    devices.put(sourcePort, "A.TXT", 7, 'a');
    const OpenedDevice source = openDevice(sourcePort, "CV8-0007", 0x78, sourceWindow_.get());
    const OpenedDevice target = openDevice(targetPort, "MN2-0008", 0x72, targetWindow_.get());
    const auto copied = dataObjectOf(source, {"A.TXT"}, sourceWindow_.get(), DROPEFFECT_COPY);
    const TempDir local;
    const auto paths = localFiles(local, {{L"folder", -1}, {L"pc.txt", 11}, {L"sync.txt", 5}});
    const auto folderFirst = makeComObject<FileListSource>(paths, std::nullopt);
    const auto pcFile = makeComObject<FileListSource>(std::vector{paths[1]}, std::nullopt);
    const auto streamed = makeComObject<FileListSource>(std::vector{paths[1]}, std::nullopt);
    streamed->listAsStream = true;
    ComPtr<IDropTarget> onTarget, onSource, onRoot, onItem;
    ASSERT_EQ(target.folder->CreateViewObject(targetWindow_.get(), IID_PPV_ARGS(&onTarget)), S_OK);
    ASSERT_EQ(source.folder->CreateViewObject(sourceWindow_.get(), IID_PPV_ARGS(&onSource)), S_OK);
    auto root = makeComObject<NamespaceFolder>();  // lists devices
    ASSERT_EQ(root->CreateViewObject(targetWindow_.get(), IID_PPV_ARGS(&onRoot)), S_OK);
    const UniqueIdList item(ItemIdAllocator().createItemId(makeDeviceRecord("Minnow", targetPort, "MN2-0008", 0x72)));
    PCUITEMID_CHILD items[] = {item.get()};
    ASSERT_EQ(root->GetUIObjectOf(targetWindow_.get(), 1, items, IID_IDropTarget, nullptr,
                                  reinterpret_cast<void**>(onItem.GetAddressOf())),
              S_OK);
    const struct {
        const char* what;
        IDropTarget* target;
        IDataObject* data;
        DWORD keys;
        DWORD effect;
    } cases[] = {
        {"another device: copy", onTarget.Get(), copied.Get(), MK_LBUTTON, DROPEFFECT_COPY},
        {"another device with Shift: move", onTarget.Get(), copied.Get(), MK_LBUTTON | MK_SHIFT, DROPEFFECT_MOVE},
        {"the files' own device: none", onSource.Get(), copied.Get(), MK_LBUTTON, DROPEFFECT_NONE},
        {"a PC folder first: none", onTarget.Get(), folderFirst.Get(), MK_LBUTTON, DROPEFFECT_NONE},
        {"PC files: copy", onTarget.Get(), pcFile.Get(), MK_LBUTTON, DROPEFFECT_COPY},
        {"a list that is no block of memory: copy", onTarget.Get(), streamed.Get(), MK_LBUTTON, DROPEFFECT_COPY},
        {"the device list's background: none", onRoot.Get(), copied.Get(), MK_LBUTTON, DROPEFFECT_NONE},
        {"a device of the list: copy", onItem.Get(), pcFile.Get(), MK_LBUTTON, DROPEFFECT_COPY},
    };
    for (const auto& test : cases) EXPECT_EQ(dragEffect(*test.target, test.data, test.keys), test.effect) << test.what;
    EXPECT_EQ(dragAndDrop(*onTarget.Get(), streamed.Get(), 0), DWORD{DROPEFFECT_COPY});
    EXPECT_TRUE(finishTransfers());
    EXPECT_FALSE(devices.has(targetPort, "pc.txt")) << "a list given as a stream was read as memory";

    EXPECT_EQ(dragAndDrop(*onItem.Get(), pcFile.Get(), MK_SHIFT), DWORD{DROPEFFECT_MOVE});
    EXPECT_EQ(pcFile->startedOn, GetCurrentThreadId()) << "the operation began after Drop returned";
    EXPECT_TRUE(finishTransfers());
    const auto synchronous = makeComObject<FileListSource>(std::vector{paths[2]}, std::nullopt);
    synchronous->async = false;
    EXPECT_EQ(dragAndDrop(*onTarget.Get(), synchronous.Get(), MK_SHIFT), DWORD{DROPEFFECT_COPY});
    EXPECT_TRUE(finishTransfers());
    EXPECT_EQ(devices.read(targetPort, "pc.txt"), Bytes(11, 'p'));
    EXPECT_EQ(std::tie(pcFile->performed, pcFile->pasteSucceeded, pcFile->ended),
              std::make_tuple(DWORD{DROPEFFECT_MOVE}, DWORD{DROPEFFECT_MOVE}, DWORD{DROPEFFECT_MOVE}));
    EXPECT_TRUE(devices.has(targetPort, "sync.txt"));
    EXPECT_EQ(synchronous->pasteSucceeded, std::nullopt) << "a source that cannot wait was told to delete";

    // The drag source drops when the button that began the drag is let go.
    const auto left = makeComObject<FileDropSource>(MK_LBUTTON), right = makeComObject<FileDropSource>(MK_RBUTTON);
    EXPECT_EQ(right->QueryContinueDrag(FALSE, MK_RBUTTON), S_OK);
    EXPECT_EQ(right->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
    EXPECT_EQ(left->QueryContinueDrag(FALSE, MK_RBUTTON), DRAGDROP_S_DROP);
    EXPECT_EQ(left->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
}

TEST_F(DeviceToDeviceTest, PcFilesArriveAfterTheirChecksAskThroughTheDialogAndACutIsConfirmedOnlyWhenAllArrived) {
    const DevsimDevices devices({{targetPort, "model=MN2,serial=MN2-0008"}});
    for (const char* name : {"A.TXT", "X.TXT"}) devices.put(targetPort, name, 5, 'd');
    const OpenedDevice target = openDevice(targetPort, "MN2-0008", 0x72, targetWindow_.get());
    const TempDir local;
    const auto paste = [&](const std::vector<std::pair<std::wstring, long>>& files, std::optional<DWORD> effect = {}) {
        const auto source = makeComObject<FileListSource>(localFiles(local, files), effect);
        pasteDataObject(targetView(target), source.Get());
        EXPECT_TRUE(finishTransfers());
        return source;
    };
    // A name with no form on the device stops everything before the first byte.
    paste({{L"second.txt", 10}, {L"\u042f.txt", 10}});
    ASSERT_EQ(environment_.shownTexts(), std::vector<UINT>{IDS_ERROR_UPLOAD});
    const prompt::ShownPrompt told = environment_.prompts.prompts()[0];
    EXPECT_EQ(std::tie(told.owner, told.style), std::make_tuple(targetWindow_.get(), UINT{MB_OK | MB_ICONEXCLAMATION}));
    EXPECT_FALSE(devices.has(targetPort, "second.txt"));

    // From a folder outside the ANSI code page; the question answered through its dialog.
    OverwriteAnswers answers({IDC_OVERWRITE_YES});
    paste({{L"A.TXT", 10}, {L"E.TXT", 1000}});
    answers.finish();
    ASSERT_EQ(answers.questions,
              std::vector<std::wstring>{
                  L"File \"A.TXT\" already exists on target device. Do you want to overwrite this file?"});
    EXPECT_EQ(devices.read(targetPort, "A.TXT"), Bytes(10, 'p'));
    EXPECT_EQ(devices.read(targetPort, "E.TXT"), Bytes(1000, 'p'));
    EXPECT_EQ(targetWindow_.refreshes(), 1);

    // A cut in a file manager is confirmed to it when every file arrived.
    const auto cut = paste({{L"one.txt", 3}, {L"two.txt", 5}}, DROPEFFECT_MOVE);
    EXPECT_TRUE(devices.has(targetPort, "two.txt"));
    EXPECT_EQ(std::tie(cut->performed, cut->pasteSucceeded, cut->ended),
              std::make_tuple(DWORD{DROPEFFECT_MOVE}, DWORD{DROPEFFECT_MOVE}, DWORD{DROPEFFECT_MOVE}));
    OverwriteAnswers cancel({IDC_OVERWRITE_CANCEL});
    const auto partly = paste({{L"W.TXT", 10}, {L"X.TXT", 10}, {L"Y.TXT", 10}}, DROPEFFECT_MOVE);
    cancel.finish();
    EXPECT_TRUE(devices.has(targetPort, "W.TXT") && !devices.has(targetPort, "Y.TXT"));
    EXPECT_FALSE(partly->pasteSucceeded.has_value()) << "a move with a cancelled file was confirmed";
    EXPECT_EQ(partly->ended, DWORD{DROPEFFECT_COPY});

    // Through the real clipboard, as a file manager leaves it there; whether
    // it can be pasted is answered once for each content of the clipboard.
    const auto three = localFiles(local, {{L"three.txt", 3}});
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, dropFilesBlock(three));
    CloseClipboard();
    EXPECT_TRUE(clipboardCanPaste());
    pasteClipboard(targetView(target));
    EXPECT_TRUE(finishTransfers());
    EXPECT_TRUE(devices.has(targetPort, "three.txt"));
    std::filesystem::remove(three[0]);
    EXPECT_TRUE(clipboardCanPaste()) << "the clipboard's file was opened again";
    EXPECT_EQ(environment_.prompts.prompts().size(), 1u);
}

TEST_F(RealTimingDeviceToDeviceTest, AbortInTheJobsDialogCancelsBothDevicesAndLeavesNothingBehind) {
    const DevsimDevices devices(
        {{sourcePort, "model=CV8,serial=CV8-0007,pace"}, {targetPort, "model=MN2,serial=MN2-0008,pace"}});
    devices.put(sourcePort, "LONG.BRF", 6000, 'l');
    devices.put(sourcePort, "NEXT.BRF", 10, 'n');
    const OpenedDevice source = openDevice(sourcePort, "CV8-0007", 0x78, sourceWindow_.get());
    const OpenedDevice target = openDevice(targetPort, "MN2-0008", 0x72, targetWindow_.get());
    const auto before = temporaryTransferFiles();

    ProgressWatcher aborter(IDC_TOTAL_BAR);
    const auto cut = dataObjectOf(source, {"LONG.BRF", "NEXT.BRF"}, sourceWindow_.get(), DROPEFFECT_MOVE);
    pasteDataObject(targetView(target), cut.Get());
    EXPECT_TRUE(finishTransfers());
    EXPECT_NE(aborter.caption().find(L"% transmitted"), std::wstring::npos) << narrow(aborter.caption());
    EXPECT_TRUE(devices.has(sourcePort, "LONG.BRF") && devices.has(sourcePort, "NEXT.BRF"));
    EXPECT_FALSE(devices.has(targetPort, "LONG.BRF") || devices.has(targetPort, "NEXT.BRF"));
    EXPECT_EQ(temporaryTransferFiles(), before);
    EXPECT_TRUE(environment_.prompts.prompts().empty()) << "a cancel was reported";
    EXPECT_EQ(listFolder(target.folder, viewFlags, targetWindow_.get()).result, S_OK)
        << "the target does not answer after the cancel";
}
