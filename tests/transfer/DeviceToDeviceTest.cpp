// Files between two devices and from the PC onto a device, as the shell
// hands them over: the clipboard, a drag onto the drop target, the drop
// effects it offers, the checks and the overwrite dialog of an upload, a
// move confirmed to the source, Abort in the job's dialog; against
// nimbrel-devsim devices on mapped COM ports.
#include "FileListSource.h"
#include "ShellTransferSupport.h"

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

using DeviceToDeviceTest = ShellTransferTest;
using RealTimingDeviceToDeviceTest = RealTimingTest;

}  // namespace

TEST_F(DeviceToDeviceTest, FilesGoThroughTheClipboardAndADragWhoseEffectsFollowTheTargetAndMoveOnTheSourcesWord) {
    const DevsimDevices devices(twoDevices);
    const std::vector<std::string> names = {"A.TXT", "B.BRF", "C.TXT", "M1.TXT", "M2.TXT", "KEEP.TXT"};
    for (std::size_t i = 0; i < names.size(); ++i) devices.put(sourcePort, names[i], 700, static_cast<char>('a' + i));
    const OpenedDevice source = openDevice(sourcePort, 0x78, sourceWindow_.get());
    const OpenedDevice target = openDevice(targetPort, 0x72, targetWindow_.get());

    const auto onItself = dataObjectOf(source, {"M1.TXT"}, sourceWindow_.get(), DROPEFFECT_MOVE);
    pasteDataObject({nullptr, &source.namespaceFolder(), sourceWindow_.get(), nullptr}, onItself.Get());
    ASSERT_EQ(environment_.shownTexts(), std::vector<UINT>{IDS_ERROR_COPY_TO_ITSELF});
    EXPECT_EQ(environment_.prompts.prompts()[0].style, static_cast<UINT>(MB_OK | MB_ICONHAND));

    // Copy and paste through the real clipboard.
    const auto copied = dataObjectOf(source, {"A.TXT", "B.BRF"}, sourceWindow_.get(), DROPEFFECT_COPY);
    ASSERT_EQ(OleSetClipboard(copied.Get()), S_OK);
    EXPECT_TRUE(clipboardCanPaste());
    pasteClipboard(targetView(target));
    EXPECT_TRUE(finishTransfers());
    EXPECT_EQ(targetWindow_.refreshes(), 1);

    // A cut pasted through Wine's clipboard: its stand-in for the source has
    // no asynchronous operation to hear of a move, so the files are copied.
    const auto cut = dataObjectOf(source, {"A.TXT"}, sourceWindow_.get(), DROPEFFECT_MOVE);
    ASSERT_EQ(OleSetClipboard(cut.Get()), S_OK);
    OverwriteAnswers replace({IDC_OVERWRITE_YES});
    pasteClipboard(targetView(target));
    EXPECT_TRUE(finishTransfers());
    replace.finish();

    // A drag of the third file onto the target's view, its drop target
    // called as the drag loop calls it. (Wine 8's WindowFromPoint gives
    // the desktop for the test's windows, so its DoDragDrop finds no target.)
    const auto dragged = dataObjectOf(source, {"C.TXT"}, sourceWindow_.get(), DROPEFFECT_COPY | DROPEFFECT_MOVE);
    ComPtr<IDropTarget> dropTarget;
    ASSERT_EQ(target.namespaceFolder().CreateViewObject(targetWindow_.get(), IID_PPV_ARGS(&dropTarget)), S_OK);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(dropTarget->DragEnter(dragged.Get(), MK_LBUTTON, POINTL{20, 20}, &effect), S_OK);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(dropTarget->DragOver(MK_LBUTTON, POINTL{30, 30}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD{DROPEFFECT_COPY});
    ASSERT_EQ(dropTarget->Drop(dragged.Get(), 0, POINTL{30, 30}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD{DROPEFFECT_COPY});
    EXPECT_TRUE(finishTransfers());

    // As a same-process clipboard gives it on Windows: the source's own object.
    const auto moved = dataObjectOf(source, {"M1.TXT", "M2.TXT"}, sourceWindow_.get(), DROPEFFECT_MOVE);
    pasteDataObject(targetView(target), moved.Get());
    EXPECT_TRUE(finishTransfers());
    EXPECT_EQ(devices.read(targetPort, "M2.TXT"), Bytes(700, 'e'));
    EXPECT_FALSE(devices.has(sourcePort, "M1.TXT") || devices.has(sourcePort, "M2.TXT"));
    EXPECT_EQ(sourceWindow_.refreshes(), 1) << "the source's view was not refreshed";
    for (const char* name : {"A.TXT", "B.BRF", "C.TXT", "KEEP.TXT"}) EXPECT_TRUE(devices.has(sourcePort, name)) << name;
    for (const char* name : {"A.TXT", "B.BRF", "C.TXT"})
        EXPECT_EQ(devices.read(targetPort, name), devices.read(sourcePort, name)) << name;
    EXPECT_EQ(targetWindow_.refreshes(), 4) << "one refresh for each paste and for the drop";
    EXPECT_EQ(environment_.prompts.prompts().size(), 1u);

    // The effects a drag is offered, and PC files dropped with Shift on a
    // device of the list from a source that prefers nothing: a move it hears of.
    const TempDir local;
    const auto paths = localFiles(local, {{L"folder", -1}, {L"pc.txt", 11}});
    const auto folderFirst = makeComObject<FileListSource>(paths, std::nullopt);
    const auto pcFile = makeComObject<FileListSource>(std::vector{paths[1]}, std::nullopt);
    ComPtr<IDropTarget> onSource, onRoot, onItem;
    ASSERT_EQ(source.namespaceFolder().CreateViewObject(sourceWindow_.get(), IID_PPV_ARGS(&onSource)), S_OK);
    auto root = makeComObject<NamespaceFolder>(true);  // lists devices
    ASSERT_EQ(root->CreateViewObject(targetWindow_.get(), IID_PPV_ARGS(&onRoot)), S_OK);
    const UniqueIdList item(ItemIdAllocator().createItemId(makeDeviceRecord("Minnow", targetPort, "", 0x72)));
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
        {"another device: copy", dropTarget.Get(), copied.Get(), MK_LBUTTON, DROPEFFECT_COPY},
        {"another device with Shift: move", dropTarget.Get(), copied.Get(), MK_LBUTTON | MK_SHIFT, DROPEFFECT_MOVE},
        {"the files' own device: none", onSource.Get(), copied.Get(), MK_LBUTTON, DROPEFFECT_NONE},
        {"a PC folder first: none", dropTarget.Get(), folderFirst.Get(), MK_LBUTTON, DROPEFFECT_NONE},
        {"PC files: copy", dropTarget.Get(), pcFile.Get(), MK_LBUTTON, DROPEFFECT_COPY},
        {"the device list's background: none", onRoot.Get(), copied.Get(), MK_LBUTTON, DROPEFFECT_NONE},
        {"a device of the list: copy", onItem.Get(), pcFile.Get(), MK_LBUTTON, DROPEFFECT_COPY},
    };
    for (const auto& test : cases) EXPECT_EQ(dragEffect(*test.target, test.data, test.keys), test.effect) << test.what;
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(onItem->DragEnter(pcFile.Get(), MK_LBUTTON | MK_SHIFT, POINTL{}, &effect), S_OK);
    ASSERT_EQ(onItem->Drop(pcFile.Get(), MK_SHIFT, POINTL{}, &effect), S_OK);
    EXPECT_TRUE(finishTransfers());
    EXPECT_EQ(devices.read(targetPort, "pc.txt"), Bytes(11, 'p'));
    EXPECT_TRUE(pcFile->started);
    EXPECT_EQ(std::tie(pcFile->performed, pcFile->ended),
              std::make_tuple(DWORD{DROPEFFECT_MOVE}, DWORD{DROPEFFECT_MOVE}));
}

TEST_F(DeviceToDeviceTest, PcFilesArriveAfterEveryCheckAskBeforeReplacingAndACutIsConfirmedOnlyWhenAllArrived) {
    const DevsimDevices devices({{targetPort, "model=MN2,serial=MN2-0008,free=5000"}});
    for (const char* name : {"A.TXT", "B.TXT", "C.TXT", "D.TXT", "X.TXT"}) devices.put(targetPort, name, 5, 'd');
    const OpenedDevice target = openDevice(targetPort, 0x72, targetWindow_.get());
    const TempDir local;
    const auto paste = [&](const std::vector<std::pair<std::wstring, long>>& files, std::optional<DWORD> effect = {}) {
        const auto source = makeComObject<FileListSource>(localFiles(local, files), effect);
        pasteDataObject(targetView(target), source.Get());
        EXPECT_TRUE(finishTransfers());
        return source;
    };
    // Every file is checked before the first byte: no room, a folder, a name with no ANSI form.
    paste({{L"big.txt", 3000}, {L"bigger.txt", 3000}});
    paste({{L"first.txt", 10}, {L"folder", -1}});
    paste({{L"second.txt", 10}, {L"\u042f.txt", 10}});
    EXPECT_EQ(environment_.shownTexts(),
              (std::vector<UINT>{IDS_ERROR_DEVICE_FULL, IDS_ERROR_DIRECTORY_DROPPED, IDS_ERROR_UPLOAD}));
    for (const auto& shown : environment_.prompts.prompts())
        EXPECT_EQ(std::tie(shown.owner, shown.style),
                  std::make_tuple(targetWindow_.get(), UINT{MB_OK | MB_ICONEXCLAMATION}));
    EXPECT_FALSE(devices.has(targetPort, "big.txt") || devices.has(targetPort, "first.txt") ||
                 devices.has(targetPort, "second.txt"));
    EXPECT_EQ(targetWindow_.refreshes(), 0);

    // From a folder outside the ANSI code page, with Yes, No and Yes to all.
    OverwriteAnswers answers({IDC_OVERWRITE_YES, IDC_OVERWRITE_NO, IDC_OVERWRITE_ALL});
    paste({{L"A.TXT", 10}, {L"B.TXT", 10}, {L"C.TXT", 10}, {L"D.TXT", 10}, {L"E.TXT", 1000}, {L"empty.txt", 0}});
    answers.finish();
    ASSERT_EQ(answers.questions.size(), 3u) << "Yes to all did not answer the later questions";
    EXPECT_EQ(answers.questions[0],
              L"File \"A.TXT\" already exists on target device. Do you want to overwrite this file?");
    for (const char* name : {"A.TXT", "C.TXT", "D.TXT"}) EXPECT_EQ(devices.read(targetPort, name), Bytes(10, 'p'));
    EXPECT_EQ(devices.read(targetPort, "E.TXT"), Bytes(1000, 'p'));
    EXPECT_TRUE(devices.has(targetPort, "empty.txt"));
    EXPECT_EQ(devices.read(targetPort, "B.TXT"), Bytes(5, 'd'));
    EXPECT_EQ(targetWindow_.refreshes(), 1);

    // A cut in a file manager is confirmed to it when every file arrived.
    const auto cut = paste({{L"one.txt", 3}, {L"two.txt", 5}}, DROPEFFECT_MOVE);
    EXPECT_TRUE(devices.has(targetPort, "two.txt"));
    EXPECT_EQ(std::tie(cut->performed, cut->pasteSucceeded, cut->ended),
              std::make_tuple(DWORD{DROPEFFECT_MOVE}, DWORD{DROPEFFECT_MOVE}, DWORD{DROPEFFECT_MOVE}));
    OverwriteAnswers cancel({IDC_OVERWRITE_CANCEL});
    const auto partly = paste({{L"W.TXT", 10}, {L"X.TXT", 10}, {L"Y.TXT", 10}}, DROPEFFECT_MOVE);
    cancel.finish();
    EXPECT_TRUE(devices.has(targetPort, "W.TXT"));
    EXPECT_EQ(devices.read(targetPort, "X.TXT"), Bytes(5, 'd'));
    EXPECT_FALSE(devices.has(targetPort, "Y.TXT")) << "Cancel did not stop the upload";
    EXPECT_FALSE(partly->pasteSucceeded || partly->ended) << "a move with a cancelled file was confirmed";
    EXPECT_EQ(targetWindow_.refreshes(), 3);

    // Through the real clipboard, as a file manager leaves it there.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, dropFilesBlock(localFiles(local, {{L"three.txt", 3}})));
    CloseClipboard();
    EXPECT_TRUE(clipboardCanPaste());
    pasteClipboard(targetView(target));
    EXPECT_TRUE(finishTransfers());
    EXPECT_TRUE(devices.has(targetPort, "three.txt"));
    EXPECT_EQ(environment_.prompts.prompts().size(), 3u);
}

TEST_F(RealTimingDeviceToDeviceTest, AbortInTheJobsDialogCancelsBothDevicesAndLeavesNothingBehind) {
    const DevsimDevices devices(
        {{sourcePort, "model=CV8,serial=CV8-0007,pace"}, {targetPort, "model=MN2,serial=MN2-0008,pace"}});
    devices.put(sourcePort, "LONG.BRF", 6000, 'l');
    devices.put(sourcePort, "NEXT.BRF", 10, 'n');
    const OpenedDevice source = openDevice(sourcePort, 0x78, sourceWindow_.get());
    const OpenedDevice target = openDevice(targetPort, 0x72, targetWindow_.get());
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
    EXPECT_EQ(listFolder(target.folder).result, S_OK) << "the target does not answer after the cancel";
}
