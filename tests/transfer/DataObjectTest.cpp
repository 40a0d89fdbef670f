// The data object of device files as the shell uses it, against
// nimbrel-devsim on mapped COM ports: its formats, a paste in another
// process through the real clipboard, a move completed by the consumer,
// the progress dialog of its downloads and a device unplugged during one.
#include "ShellTransferSupport.h"
#include "shell/TextFormat.h"
#include "transfer/FileDataObject.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <regex>

namespace {

constexpr int port = 7;

FORMATETC formatOf(UINT format, DWORD tymed = TYMED_HGLOBAL, LONG index = -1) {
    return FORMATETC{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, index, tymed};
}

std::optional<DWORD> valueOf(const ComPtr<IDataObject>& data, UINT format) {
    FORMATETC asked = formatOf(format);
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&asked, &medium))) return std::nullopt;
    const UniqueStgMedium held(medium);
    return readValueBlock(held.get().hGlobal);
}

void setValue(const ComPtr<IDataObject>& data, UINT format, DWORD value) {
    FORMATETC given = formatOf(format);
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = makeValueBlock(value, GMEM_MOVEABLE);
    EXPECT_EQ(data->SetData(&given, &medium, TRUE), S_OK);
}

const ClipboardFormats& formats() {
    return moduleState().clipboardFormats();
}

// The data object of the named files of an opened device, as the view asks
// the folder for it (the reserved argument points at the window that hears
// of a completed move).
ComPtr<IDataObject> dataObjectOf(const OpenedDevice& device, const std::vector<std::string>& names, HWND owner) {
    std::vector<PCUITEMID_CHILD> items;
    for (const auto& name : names) items.push_back(device.files.named(name));
    ComPtr<IDataObject> data;
    EXPECT_EQ(
        device.folder->GetUIObjectOf(nullptr, static_cast<UINT>(items.size()), items.data(), IID_IDataObject,
                                     reinterpret_cast<UINT*>(&owner), reinterpret_cast<void**>(data.GetAddressOf())),
        S_OK);
    return data;
}

HRESULT endOperation(const ComPtr<IDataObject>& data, DWORD effects) {
    ComPtr<IAsyncOperation> async;
    EXPECT_EQ(data.As(&async), S_OK);
    return async ? async->EndOperation(S_OK, nullptr, effects) : E_NOINTERFACE;
}

// Runs the paste consumer in a process of its own, serving its calls
// meanwhile; its exit code.
DWORD pasteInAnotherProcess(const std::string& folder, const char* mode) {
    std::wstring command = L"\"" + builtModulePath(L"nimbrel-paste-consumer.exe") + L"\" \"" + widen(hostPath(folder)) +
                           L"\" " + widen(mode);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1000;
    const UniqueKernelHandle thread(process.hThread), handle(process.hProcess);
    EXPECT_TRUE(pumpUntil([&] { return WaitForSingleObject(handle.get(), 0) == WAIT_OBJECT_0; }, 60s));
    DWORD code = 1001;
    GetExitCodeProcess(handle.get(), &code);
    return code;
}

class DataObjectTest : public ::testing::Test {
protected:
    explicit DataObjectTest(bool realTiming = false) : environment_(realTiming) {}
    void SetUp() override { ASSERT_TRUE(environment_.ready()); }
    ShellTransferEnvironment environment_;
    CommandWindow owner_;
};

// The progress dialog is up before a transfer starts only with the real waits.
class RealTimingDataObjectTest : public DataObjectTest {
protected:
    RealTimingDataObjectTest() : DataObjectTest(true) {}
};

}  // namespace

TEST_F(DataObjectTest, OffersSixFormatsOnePerCallDescribesSafeNamesAndKeepsWhatConsumersSet) {
    const DevsimDevices devices({{port, "model=CV8,text=LETTER.:Dear,seed=AUX.TXT:1500,text=PLAIN.TXT:plain"}});
    const OpenedDevice device = openDevice(port);
    ASSERT_EQ(device.files.items.size(), 3u);
    const auto data = dataObjectOf(device, {"LETTER.", "AUX.TXT", "PLAIN.TXT"}, owner_.get());
    ASSERT_NE(data, nullptr);

    ComPtr<IEnumFORMATETC> enumerator;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &enumerator), S_OK);
    const UINT offered[] = {formats().fileGroupDescriptor, formats().fileContents,
                            formats().performedDropEffect, formats().pasteSucceeded,
                            formats().preferredDropEffect, formats().logicalPerformedDropEffect};
    for (const UINT format : offered) {
        FORMATETC got[4]{};
        ULONG fetched = 0;
        EXPECT_EQ(enumerator->Next(4, got, &fetched), S_OK);
        EXPECT_EQ(fetched, 1u);
        EXPECT_EQ(got[0].cfFormat, format);
        EXPECT_EQ(got[0].lindex, -1);
        EXPECT_EQ(got[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    }
    FORMATETC none{};
    ULONG fetched = 7;
    EXPECT_EQ(enumerator->Next(1, &none, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    FORMATETC descriptor = formatOf(formats().fileGroupDescriptor, TYMED_ISTREAM);
    STGMEDIUM medium{};
    EXPECT_EQ(data->GetData(&descriptor, &medium), DV_E_TYMED);
    descriptor.tymed = TYMED_HGLOBAL;
    ASSERT_EQ(data->GetData(&descriptor, &medium), S_OK);
    {
        const UniqueStgMedium held(medium);
        const GlobalLockGuard<FILEGROUPDESCRIPTORA> group(held.get().hGlobal);
        ASSERT_EQ(group.size(), 1000u);
        ASSERT_EQ(group.get()->cItems, 3u);
        const char* names[] = {"LETTER_", "_AUX.TXT", "PLAIN.TXT"};
        const DWORD sizes[] = {4, 1500, 5};
        for (int i = 0; i < 3; ++i) {
            const FILEDESCRIPTORA& file = group.get()->fgd[i];
            EXPECT_STREQ(file.cFileName, names[i]);
            EXPECT_EQ(file.dwFlags, 0x64u);
            EXPECT_EQ(file.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
            EXPECT_EQ(file.nFileSizeHigh, 0u);
            EXPECT_EQ(file.nFileSizeLow, sizes[i]);
            EXPECT_EQ(std::memcmp(&file.ftCreationTime, &file.ftLastWriteTime, sizeof(FILETIME)), 0);
            EXPECT_NE(file.ftLastWriteTime.dwHighDateTime, 0u) << "the device's time stamp is missing";
        }
    }

    FORMATETC query = formatOf(CF_HDROP);
    EXPECT_EQ(data->QueryGetData(&query), S_OK);
    query = formatOf(formats().fileGroupDescriptor);
    EXPECT_EQ(data->QueryGetData(&query), S_OK);
    query.dwAspect = DVASPECT_ICON;
    EXPECT_EQ(data->QueryGetData(&query), DV_E_DVASPECT);
    query = formatOf(formats().deviceFiles);
    EXPECT_EQ(data->QueryGetData(&query), DV_E_FORMATETC);
    EXPECT_EQ(valueOf(data, formats().deviceFiles), DWORD{port});
    EXPECT_EQ(valueOf(data, formats().devicePort), DWORD{port});
    EXPECT_EQ(valueOf(data, formats().moveSystemFile), 0u);

    FORMATETC contents = formatOf(formats().fileContents, TYMED_ISTREAM, 3);
    EXPECT_EQ(data->GetData(&contents, &medium), DV_E_LINDEX);
    contents = formatOf(formats().fileContents, TYMED_HGLOBAL, 0);
    EXPECT_EQ(data->GetData(&contents, &medium), DV_E_TYMED);

    // What a consumer stores comes back as it was, kept by the object.
    setValue(data, formats().preferredDropEffect, DROPEFFECT_MOVE);
    EXPECT_EQ(valueOf(data, formats().preferredDropEffect), DWORD{DROPEFFECT_MOVE});
    const UINT custom = RegisterClipboardFormatW(L"Nimbrel test format");
    FORMATETC stored = formatOf(custom);
    STGMEDIUM given{};
    given.tymed = TYMED_HGLOBAL;
    given.hGlobal = makeValueBlock(0x4711, GMEM_MOVEABLE);
    EXPECT_EQ(data->GetData(&stored, &medium), DV_E_FORMATETC);
    EXPECT_EQ(data->SetData(&stored, &given, FALSE), S_OK);  // copied: the block stays ours
    GlobalFree(given.hGlobal);
    EXPECT_EQ(valueOf(data, custom), 0x4711u);
    stored.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->GetData(&stored, &medium), DV_E_TYMED);
}

TEST_F(DataObjectTest, MovingASystemFileAsksOnceAndACopyNever) {
    const DevsimDevices devices({{port, "model=CV8,text=MAIN.NSF:system,text=NOTE.TXT:note"}});
    const OpenedDevice device = openDevice(port);
    const auto copy = dataObjectOf(device, {"MAIN.NSF"}, owner_.get());
    setValue(copy, formats().preferredDropEffect, DROPEFFECT_COPY);
    EXPECT_EQ(valueOf(copy, formats().moveSystemFile), 0u);
    EXPECT_TRUE(environment_.prompts.prompts().empty());

    const auto cut = dataObjectOf(device, {"MAIN.NSF"}, owner_.get());
    setValue(cut, formats().preferredDropEffect, DROPEFFECT_MOVE);
    environment_.prompts.setAnswer(IDYES);
    EXPECT_EQ(valueOf(cut, formats().moveSystemFile), 1u);
    EXPECT_EQ(valueOf(cut, formats().moveSystemFile), 0u) << "asked twice";
    const auto refused = dataObjectOf(device, {"NOTE.TXT", "MAIN.NSF"}, owner_.get());
    setValue(refused, formats().preferredDropEffect, DROPEFFECT_MOVE);
    environment_.prompts.setAnswer(IDNO);
    EXPECT_EQ(valueOf(refused, formats().moveSystemFile), 2u);
    const auto shown = environment_.prompts.prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].textId, static_cast<UINT>(IDS_CONFIRM_MOVE_SYSFILE));
    EXPECT_NE(shown[0].text.find(L"\"MAIN.NSF\""), std::wstring::npos);
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2 | MB_SETFOREGROUND));
    EXPECT_EQ(shown[1].textId, static_cast<UINT>(IDS_CONFIRM_MOVE_SYSFILES));
}

TEST_F(DataObjectTest, AnotherProcessPastesThroughTheClipboardAndACompletedMoveDeletesTheMovedFiles) {
    const DevsimDevices devices({{port, "model=CV8,text=A.TXT:first,seed=B.BIN:1500,text=C.TXT:third"}});
    const OpenedDevice device = openDevice(port);
    const auto before = temporaryTransferFiles();

    const auto copy = dataObjectOf(device, {"A.TXT", "B.BIN", "C.TXT"}, owner_.get());
    setValue(copy, formats().preferredDropEffect, DROPEFFECT_COPY);
    ASSERT_EQ(OleSetClipboard(copy.Get()), S_OK);
    const TempDir pasted;
    EXPECT_EQ(pasteInAnotherProcess(pasted.path(), "read"), 0u);
    for (const char* name : {"A.TXT", "B.BIN", "C.TXT"})
        EXPECT_EQ(readFileBytes(pasted.file(name)), devices.read(port, name)) << name;
    EXPECT_EQ(temporaryTransferFiles(), before) << "a temporary file outlived its stream";
    // A consumer that ends a copy deletes nothing, whatever else it set.
    setValue(copy, formats().pasteSucceeded, DROPEFFECT_MOVE);
    EXPECT_EQ(endOperation(copy, DROPEFFECT_COPY), S_OK);
    EXPECT_TRUE(devices.has(port, "A.TXT"));

    const auto cut = dataObjectOf(device, {"A.TXT", "B.BIN"}, owner_.get());
    setValue(cut, formats().preferredDropEffect, DROPEFFECT_MOVE);
    setValue(cut, formats().logicalPerformedDropEffect, DROPEFFECT_MOVE);
    ASSERT_EQ(OleSetClipboard(cut.Get()), S_OK);
    const TempDir moved;
    EXPECT_EQ(pasteInAnotherProcess(moved.path(), "copyto"), 0u);
    EXPECT_EQ(readFileBytes(moved.file("B.BIN")).size(), 1500u);
    // Wine's clipboard cannot carry these back: the consumer's calls are made here.
    setValue(cut, formats().performedDropEffect, DROPEFFECT_MOVE);
    setValue(cut, formats().pasteSucceeded, DROPEFFECT_MOVE);
    EXPECT_EQ(endOperation(cut, DROPEFFECT_MOVE), S_OK);
    EXPECT_FALSE(devices.has(port, "A.TXT"));
    EXPECT_FALSE(devices.has(port, "B.BIN"));
    EXPECT_TRUE(devices.has(port, "C.TXT"));
    EXPECT_EQ(owner_.refreshes(), 1);
    EXPECT_EQ(OleIsCurrentClipboard(cut.Get()), S_FALSE) << "the moved files stayed on the clipboard";
    EXPECT_TRUE(environment_.prompts.prompts().empty());
}

TEST_F(RealTimingDataObjectTest, DownloadsShowTheirProgressAndAbortOrAnUnpluggedDeviceLeavesNothingBehind) {
    DevsimDevices devices({{port, "model=CV8,pace,seed=SHORT.TXT:400,seed=LONG.BIN:6000"}});
    const OpenedDevice device = openDevice(port);
    const auto before = temporaryTransferFiles();
    STGMEDIUM medium{};

    // One file: dialog 121, its name in the caption; it closes by itself.
    const auto one = dataObjectOf(device, {"SHORT.TXT"}, owner_.get());
    std::wstring caption;
    std::thread watcher([&] {
        const HWND dialog = windows::waitForWindow(windows::hasControl(IDC_ABORT));
        if (!dialog || !windows::waitUntilEnabled(dialog, IDC_ABORT)) return;
        caption = windows::text(dialog);
        EXPECT_EQ(GetDlgItem(dialog, IDC_TOTAL_BAR), nullptr) << "a single file has no total bar";
        EXPECT_TRUE(
            std::regex_match(windows::controlText(dialog, IDC_REMAINING_TIME), std::wregex(L"\\d:\\d\\d:\\d\\d")));
    });
    FORMATETC first = formatOf(formats().fileContents, TYMED_ISTREAM, 0);
    ASSERT_EQ(one->GetData(&first, &medium), S_OK);
    watcher.join();
    ReleaseStgMedium(&medium);
    EXPECT_TRUE(std::regex_match(caption, std::wregex(L" ?\\d+% of \"SHORT.TXT\" transmitted"))) << narrow(caption);

    // Several files: dialog 123; Abort cancels the running download.
    const auto both = dataObjectOf(device, {"LONG.BIN", "SHORT.TXT"}, owner_.get());
    std::wstring total;
    std::thread aborter([&] {
        const HWND dialog = windows::waitForWindow(windows::hasControl(IDC_TOTAL_BAR));
        if (!dialog || !windows::waitUntilEnabled(dialog, IDC_ABORT)) return;
        total = windows::text(dialog);
        windows::pressButton(dialog, IDC_ABORT);
    });
    FORMATETC large = formatOf(formats().fileContents, TYMED_ISTREAM, 0);
    EXPECT_EQ(both->GetData(&large, &medium), E_ABORT);
    aborter.join();
    EXPECT_TRUE(std::regex_match(total, std::wregex(L" ?\\d+% of files transmitted"))) << narrow(total);
    EXPECT_EQ(temporaryTransferFiles(), before) << "an aborted download left its temporary file";
    EXPECT_TRUE(environment_.prompts.prompts().empty()) << "a cancel was reported";
    // The device answers the next transaction.
    EXPECT_EQ(listFolder(device.folder).items.size(), 2u);

    // Unplugged during a download: the error names the file and the device.
    const auto cut = dataObjectOf(device, {"LONG.BIN"}, owner_.get());
    std::thread unplugger([&] {
        const HWND dialog = windows::waitForWindow(windows::hasControl(IDC_ABORT));
        if (dialog && windows::waitUntilEnabled(dialog, IDC_ABORT)) devices.unplug();
    });
    FORMATETC single = formatOf(formats().fileContents, TYMED_ISTREAM, 0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(FAILED(cut->GetData(&single, &medium)));
    unplugger.join();
    std::printf("the unplugged device was reported %.1f s after the download began\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    EXPECT_EQ(temporaryTransferFiles(), before) << "a broken download left its temporary file";
    const auto shown = environment_.prompts.prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].textId, static_cast<UINT>(IDS_ERROR_DOWNLOAD));
    EXPECT_NE(shown[0].text.find(L"\"LONG.BIN\" from device Corvia 80 (COM 7)"), std::wstring::npos)
        << narrow(shown[0].text);
}
