// Device files handed to the PC as the shell hands them over, against
// nimbrel-devsim on a mapped COM port: the data object's formats, a paste in
// another process through the real clipboard, a move completed by the
// consumer, the download dialogs with Abort (its button or closing the
// dialog), an unplugged device, and a hostile one whose bytes never become
// data nor freeze the view's thread.
#include "ChildProcess.h"
#include "ShellTransferSupport.h"
#include "transfer/FileDataObject.h"
#include "transfer/ShellTransferUser.h"
#include "transfer/TransferProgress.h"

#include <cstring>
#include <regex>

namespace {

constexpr int port = 7;

FORMATETC contents(LONG index, DWORD tymed = TYMED_ISTREAM) {
    return FORMATETC{static_cast<CLIPFORMAT>(formats().fileContents), nullptr, DVASPECT_CONTENT, index, tymed};
}

HRESULT endOperation(const ComPtr<IDataObject>& data, DWORD effects) {
    ComPtr<IAsyncOperation> async;
    EXPECT_EQ(data.As(&async), S_OK);
    return async ? async->EndOperation(S_OK, nullptr, effects) : E_NOINTERFACE;
}

// Runs the paste consumer in a process of its own, serving its calls
// meanwhile; its exit code.
DWORD pasteInAnotherProcess(const std::string& folder, const char* mode) {
    const ChildProcess child = startProgram(L"\"" + builtModulePath(L"nimbrel-paste-consumer.exe") + L"\" \"" +
                                            widen(hostPath(folder)) + L"\" " + widen(mode));
    if (!child.process) return 1000;
    EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(child.process.get(), 0) == WAIT_OBJECT_0; }, 60s));
    DWORD code = 1001;
    GetExitCodeProcess(child.process.get(), &code);
    return code;
}

using DataObjectTest = ShellTransferTest;
using RealTimingDataObjectTest = RealTimingTest;

struct HostileDevice {
    const char* behaviour;
    std::string keys;
    UINT message;
};
const HostileDevice hostileDevices[] = {
    {"a file list that never ends", "endless", IDS_ERROR_READ_LIST},
    {"a download beyond the size the device listed", "overrun=5", IDS_ERROR_DOWNLOAD},
};

}  // namespace

TEST_F(DataObjectTest, OffersSixFormatsOnePerCallSafeNamesThePortAndWhatConsumersSetAndAsksOnceToMoveASystemFile) {
    const DevsimDevices devices({{port, "model=CV8,text=LETTER.:Dear,seed=AUX.TXT:1500,text=MAIN.NSF:system"}});
    const OpenedDevice device = openDevice(port, "CV8-0001", 0x78, sourceWindow_.get());
    ASSERT_EQ(device.files.items.size(), 3u);
    const auto data = dataObjectOf(device, {"LETTER.", "AUX.TXT", "MAIN.NSF"}, sourceWindow_.get());
    ASSERT_NE(data, nullptr);

    ComPtr<IEnumFORMATETC> enumerator;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &enumerator), S_OK);
    for (const UINT format :
         {formats().fileGroupDescriptor, formats().fileContents, formats().performedDropEffect,
          formats().pasteSucceeded, formats().preferredDropEffect, formats().logicalPerformedDropEffect}) {
        FORMATETC got[4]{};
        ULONG fetched = 0;
        EXPECT_EQ(enumerator->Next(4, got, &fetched), S_OK);
        EXPECT_EQ(std::tie(fetched, got[0].cfFormat, got[0].lindex, got[0].tymed),
                  std::make_tuple(1ul, static_cast<CLIPFORMAT>(format), -1l, DWORD{TYMED_HGLOBAL}));
    }
    FORMATETC none{};
    ULONG fetched = 7;
    EXPECT_EQ(enumerator->Next(1, &none, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    FORMATETC descriptor = valueFormat(formats().fileGroupDescriptor);
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&descriptor, &medium), S_OK);
    {
        const UniqueStgMedium held(medium);
        const GlobalLockGuard<FILEGROUPDESCRIPTORA> group(held.get().hGlobal);
        ASSERT_EQ(group.size(), 1000u);
        ASSERT_EQ(group.get()->cItems, 3u);
        const char* names[] = {"LETTER_", "_AUX.TXT", "MAIN.NSF"};
        const DWORD sizes[] = {4, 1500, 6};
        for (int i = 0; i < 3; ++i) {
            const FILEDESCRIPTORA& file = group.get()->fgd[i];
            EXPECT_STREQ(file.cFileName, names[i]);
            EXPECT_EQ(std::tie(file.dwFlags, file.dwFileAttributes, file.nFileSizeHigh, file.nFileSizeLow),
                      std::make_tuple(0x64ul, DWORD{FILE_ATTRIBUTE_NORMAL}, 0ul, sizes[i]));
            EXPECT_EQ(std::memcmp(&file.ftCreationTime, &file.ftLastWriteTime, sizeof(FILETIME)), 0);
            EXPECT_NE(file.ftLastWriteTime.dwHighDateTime, 0u) << "the device's time stamp is missing";
        }
    }

    const std::pair<FORMATETC, HRESULT> queries[] = {
        {valueFormat(CF_HDROP), S_OK},
        {valueFormat(formats().fileGroupDescriptor), S_OK},
        {FORMATETC{static_cast<CLIPFORMAT>(formats().fileGroupDescriptor), nullptr, DVASPECT_ICON, -1, TYMED_HGLOBAL},
         DV_E_DVASPECT},
        {valueFormat(formats().deviceFiles), DV_E_FORMATETC},
    };
    for (auto [query, answer] : queries) EXPECT_EQ(data->QueryGetData(&query), answer) << query.cfFormat;
    const UINT custom = RegisterClipboardFormatW(L"Nimbrel test format");
    FORMATETC stored = valueFormat(custom);
    const std::pair<FORMATETC, HRESULT> refused[] = {
        {{descriptor.cfFormat, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM}, DV_E_TYMED},
        {contents(3), DV_E_LINDEX},
        {contents(0, TYMED_HGLOBAL), DV_E_TYMED},
        {stored, DV_E_FORMATETC}};
    for (auto [format, answer] : refused) EXPECT_EQ(data->GetData(&format, &medium), answer) << format.cfFormat;
    EXPECT_EQ(readValue(*data.Get(), formats().deviceFiles), DWORD{port});
    EXPECT_EQ(readValue(*data.Get(), formats().devicePort), DWORD{port});

    // What a consumer stores comes back as it was, kept by the object; a
    // block it handed out and gets back stays with one owner.
    STGMEDIUM given{};
    given.tymed = TYMED_HGLOBAL;
    given.hGlobal = makeValueBlock(0x4711, GMEM_MOVEABLE);
    EXPECT_EQ(data->SetData(&stored, &given, FALSE), S_OK);  // copied: the block stays ours
    GlobalFree(given.hGlobal);
    ASSERT_EQ(data->GetData(&stored, &medium), S_OK);
    EXPECT_EQ(data->SetData(&stored, &medium, TRUE), S_OK);
    EXPECT_EQ(readValue(*data.Get(), custom), 0x4711u);
    stored.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->GetData(&stored, &medium), DV_E_TYMED);

    // The system-file question: never for a copy, once for a move.
    writeValue(*data.Get(), formats().preferredDropEffect, DROPEFFECT_COPY);
    EXPECT_EQ(readValue(*data.Get(), formats().moveSystemFile), 0u);
    writeValue(*data.Get(), formats().preferredDropEffect, DROPEFFECT_MOVE);
    environment_.prompts.setAnswer(IDYES);
    EXPECT_EQ(readValue(*data.Get(), formats().moveSystemFile), 1u);
    EXPECT_EQ(readValue(*data.Get(), formats().moveSystemFile), 0u) << "asked twice";
    const auto single = dataObjectOf(device, {"MAIN.NSF"}, sourceWindow_.get(), DROPEFFECT_MOVE);
    environment_.prompts.setAnswer(IDNO);
    EXPECT_EQ(readValue(*single.Get(), formats().moveSystemFile), 2u);
    const auto shown = environment_.prompts.prompts();
    ASSERT_EQ(environment_.shownTexts(), (std::vector<UINT>{IDS_CONFIRM_MOVE_SYSFILES, IDS_CONFIRM_MOVE_SYSFILE}));
    EXPECT_NE(shown[1].text.find(L"\"MAIN.NSF\""), std::wstring::npos);
    EXPECT_EQ(shown[1].style, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2 | MB_SETFOREGROUND));
}

TEST_F(DataObjectTest, AnotherProcessPastesThroughTheClipboardAndACompletedMoveDeletesTheMovedFiles) {
    const DevsimDevices devices({{port, "model=CV8,text=A.TXT:first,seed=B.BIN:1500,text=C.TXT:third"}});
    const OpenedDevice device = openDevice(port, "CV8-0001", 0x78, sourceWindow_.get());
    const auto before = temporaryTransferFiles();

    const auto copy = dataObjectOf(device, {"A.TXT", "B.BIN", "C.TXT"}, sourceWindow_.get(), DROPEFFECT_COPY);
    ASSERT_EQ(OleSetClipboard(copy.Get()), S_OK);
    const TempDir pasted;
    EXPECT_EQ(pasteInAnotherProcess(pasted.path(), "read"), 0u);
    for (const char* name : {"A.TXT", "B.BIN", "C.TXT"})
        EXPECT_EQ(readFileBytes(pasted.file(name)), devices.read(port, name)) << name;
    EXPECT_EQ(temporaryTransferFiles(), before) << "a temporary file outlived its stream";
    // A consumer that ends a copy deletes nothing, whatever else it set.
    writeValue(*copy.Get(), formats().pasteSucceeded, DROPEFFECT_MOVE);
    EXPECT_EQ(endOperation(copy, DROPEFFECT_COPY), S_OK);
    EXPECT_TRUE(devices.has(port, "A.TXT"));

    const auto cut = dataObjectOf(device, {"A.TXT", "B.BIN"}, sourceWindow_.get(), DROPEFFECT_MOVE);
    ASSERT_EQ(OleSetClipboard(cut.Get()), S_OK);
    const TempDir moved;
    EXPECT_EQ(pasteInAnotherProcess(moved.path(), "copyto"), 0u);
    EXPECT_EQ(readFileBytes(moved.file("B.BIN")).size(), 1500u);
    // Wine's clipboard cannot carry these back: the consumer's calls are
    // made here, the end of the operation from a thread of the consumer's.
    writeValue(*cut.Get(), formats().performedDropEffect, DROPEFFECT_MOVE);
    writeValue(*cut.Get(), formats().pasteSucceeded, DROPEFFECT_MOVE);
    std::thread([&] {
        OleInitialize(nullptr);
        EXPECT_EQ(endOperation(cut, DROPEFFECT_MOVE), S_OK);
        OleUninitialize();
    }).join();
    EXPECT_FALSE(devices.has(port, "A.TXT") || devices.has(port, "B.BIN"));
    EXPECT_TRUE(devices.has(port, "C.TXT"));
    EXPECT_EQ(sourceWindow_.refreshes(), 1);
    EXPECT_EQ(OleIsCurrentClipboard(cut.Get()), S_FALSE) << "the moved files stayed on the clipboard";
    EXPECT_TRUE(environment_.prompts.prompts().empty());
}

TEST_F(RealTimingDataObjectTest, DownloadsShowTheirProgressAndAbortOrAnUnpluggedDeviceLeavesNothingBehind) {
    DevsimDevices devices({{port, "model=CV8,pace,seed=SHORT.TXT:400,seed=LONG.BIN:6000"}});
    const OpenedDevice device = openDevice(port, "CV8-0001", 0x78, sourceWindow_.get());
    const auto before = temporaryTransferFiles();
    STGMEDIUM medium{};

    // One file: dialog 121, its name in the caption; it closes by itself.
    const auto one = dataObjectOf(device, {"SHORT.TXT"}, sourceWindow_.get());
    std::wstring time;
    HWND focused = nullptr;
    ProgressWatcher single(IDC_ABORT, [&](HWND dialog) {
        time = windows::controlText(dialog, IDC_REMAINING_TIME);
        EXPECT_EQ(GetDlgItem(dialog, IDC_TOTAL_BAR), nullptr) << "a single file has no total bar";
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        for (int tries = 0; tries < 100 && focused != GetDlgItem(dialog, IDC_ABORT); ++tries, Sleep(10))
            if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread)) focused = thread.hwndFocus;
        focused = focused == GetDlgItem(dialog, IDC_ABORT) ? dialog : nullptr;
    });
    FORMATETC first = contents(0);
    ASSERT_EQ(one->GetData(&first, &medium), S_OK);
    ReleaseStgMedium(&medium);
    const std::wstring caption = single.caption();
    EXPECT_NE(focused, nullptr) << "Abort did not take the focus once available";
    EXPECT_TRUE(std::regex_match(caption, std::wregex(L" ?\\d+% of \"SHORT.TXT\" transmitted"))) << narrow(caption);
    EXPECT_TRUE(std::regex_match(time, std::wregex(L"\\d:\\d\\d:\\d\\d"))) << narrow(time);

    // Several files: dialog 123; Abort cancels the running download, and so
    // does closing the dialog (Alt+F4). Each ends one paste only.
    const auto both = dataObjectOf(device, {"LONG.BIN", "SHORT.TXT"}, sourceWindow_.get());
    for (const auto& press : std::vector<std::function<void(HWND)>>{
             [](HWND dialog) { windows::pressButton(dialog, IDC_ABORT); },
             [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }}) {
        ProgressWatcher aborter(IDC_TOTAL_BAR, press);
        EXPECT_EQ(both->GetData(&first, &medium), E_ABORT);
        const std::wstring total = aborter.caption();
        EXPECT_TRUE(std::regex_match(total, std::wregex(L" ?\\d+% of files transmitted"))) << narrow(total);
    }
    EXPECT_EQ(temporaryTransferFiles(), before) << "an aborted download left its temporary file";
    EXPECT_TRUE(environment_.prompts.prompts().empty()) << "a cancel was reported";
    FORMATETC second = contents(1);
    ASSERT_EQ(both->GetData(&second, &medium), S_OK) << "the Abort stuck to the next paste";
    ReleaseStgMedium(&medium);

    // Unplugged during a download: the error names the file and the device.
    const auto cut = dataObjectOf(device, {"LONG.BIN"}, sourceWindow_.get());
    ProgressWatcher unplugger(IDC_ABORT, [&](HWND) { devices.unplug(); });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(FAILED(cut->GetData(&first, &medium)));
    unplugger.caption();
    std::printf("the unplugged device was reported %.1f s after the download began\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    EXPECT_EQ(temporaryTransferFiles(), before) << "a broken download left its temporary file";
    ASSERT_EQ(environment_.shownTexts(), std::vector<UINT>{IDS_ERROR_DOWNLOAD});
    const std::wstring text = environment_.prompts.prompts()[0].text;
    EXPECT_NE(text.find(L"\"LONG.BIN\" from device Corvia 80 (COM 7)"), std::wstring::npos) << narrow(text);
}

// The question and the messages of a transfer belong to the window that
// started it, and that window is in front again when the question or the
// progress closes, so the screen reader goes back to the work.
TEST_F(DataObjectTest, TransferDialogsBelongToTheStartingWindowAndGiveItTheFocusBack) {
    const UniqueWindow starter(CreateWindowW(L"STATIC", L"Corvia 80", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                             nullptr, nullptr, nullptr, nullptr));
    ShellTransferUser user(starter.get());
    OverwriteAnswers answer({IDC_OVERWRITE_NO});
    EXPECT_EQ(user.askOverwrite("A.TXT"), OverwriteAnswer::No);
    answer.finish();
    EXPECT_EQ(answer.owners, std::vector<HWND>{starter.get()});
    EXPECT_EQ(GetForegroundWindow(), starter.get()) << "after the question";

    user.tell({.notice = TransferNotice::ReceiveFailed, .name = "A.TXT", .model = "Corvia 80", .port = 3});
    EXPECT_EQ(environment_.prompts.prompts().back().owner, starter.get()) << "a device-to-device job's message";

    // Another window above the starter, which the system would activate otherwise.
    const UniqueWindow other(CreateWindowW(L"STATIC", L"Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                           nullptr, nullptr, nullptr, nullptr));
    auto progress = TransferProgress::create(user, TransferMode::PcAndDevice, 1, 10);
    const HWND dialog = windows::waitForWindow(windows::hasControl(IDC_FILE_BAR));
    ASSERT_NE(dialog, nullptr);
    SetForegroundWindow(dialog);
    progress->destroy();
    progress.reset();
    // The starter's thread takes the activation as it reads its messages.
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == starter.get(); }, 5s)) << "after the progress";
}

TEST_F(DataObjectTest, TheListingAndTheDataObjectRefuseWhatNoRealDeviceSends) {
    const auto before = temporaryTransferFiles();
    std::vector<UINT> shown;
    for (const HostileDevice& hostile : hostileDevices) {
        SCOPED_TRACE(hostile.behaviour);
        const DevsimDevices devices({{port, "model=CV8,text=LETTER.TXT:Dear," + hostile.keys}});
        const OpenedDevice device = openDevice(port, "CV8-0001", 0x78, sourceWindow_.get());
        if (device.files.result == S_OK) {
            FORMATETC first = contents(0);
            STGMEDIUM medium{};
            EXPECT_EQ(dataObjectOf(device, {"LETTER.TXT"}, sourceWindow_.get())->GetData(&first, &medium), E_ABORT);
        }
        shown.push_back(hostile.message);
        EXPECT_EQ(environment_.shownTexts(), shown);
        EXPECT_EQ(temporaryTransferFiles(), before) << "a temporary file was left";
    }
}
