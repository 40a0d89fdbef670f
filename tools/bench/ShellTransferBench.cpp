// Moves a 64 KiB file each way through the module's own shell objects under
// Windows (or Wine), against a device paced at the real line rate: pulled
// out of the data object as a consumer that is not a folder of ours pulls
// it (descriptors, then the contents), and pushed in as dropped PC files.
// Prints each time against the protocol's floor plus the waits the
// transfers make on purpose, and what is left beyond them.
// Usage: nimbrel-shell-transfer-bench <COM number> <folder for the PC's files>
#include "TransferFloor.h"
#include "devices/Discovery.h"
#include "folder/NamespaceFolder.h"
#include "namespace/ItemIdAllocator.h"
#include "shell/ModuleState.h"
#include "shell/ShellResources.h"
#include "shell/TextFormat.h"
#include "transfer/DroppedFiles.h"

#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t fileSize = 64 * 1024;
constexpr double dialogStart = 1.0;          // the progress dialog's two 500 ms waits
constexpr double foreignConsumerWait = 4.0;  // descriptors for a consumer that is not ours

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The floor is the line's (bytes and the protocol's waits) plus the waits
// the shell's transfers make on purpose.
void report(const char* what, double measured, double wire, double waits) {
    const double floor = wire + waits;
    std::printf("%-30s %8.2f s %8.2f s %+9.2f %%  (%.2f s of it the shell's set waits)\n", what, floor, measured,
                100.0 * (measured - floor) / floor, waits);
    std::fflush(stdout);
}

// Puts the file on the clipboard as a file manager does and takes it back
// as the data object a paste gets.
ComPtr<IDataObject> copiedFile(const std::wstring& path) {
    const std::wstring list = path + L'\0' + L'\0';
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    ComPtr<IDataObject> data;
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        SetClipboardData(CF_HDROP, block);
        CloseClipboard();
        OleGetClipboard(&data);
    }
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int port = std::atoi(argv[1]);
    const std::string folder = argv[2];
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring beside(program);
    beside.resize(beside.rfind(L'\\') + 1);
    const UniqueModule texts(LoadLibraryExW((beside + L"Nimbrel.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    moduleState().setResourceModule(texts.get());
    OleInitialize(nullptr);

    int status = 1;
    {
        auto root = makeComObject<NamespaceFolder>();
        const std::optional<DeviceInfo> found = probePort(port);
        const UniqueIdList item(
            ItemIdAllocator().createItemId(makeDeviceRecord("Bench", found.value_or(DeviceInfo{}))));
        ComPtr<DeviceFolder> device;
        ComPtr<IEnumIDList> files;
        PITEMID_CHILD file = nullptr;
        if (FAILED(root->BindToObject(item.get(), nullptr, __uuidof(DeviceFolder),
                                      reinterpret_cast<void**>(device.GetAddressOf()))) ||
            FAILED(device->EnumObjects(nullptr, SHCONTF_INIT_ON_FIRST_NEXT, &files)) ||
            files->Next(1, &file, nullptr) != S_OK) {
            std::fprintf(stderr, "no device with a file on COM%d\n", port);
            return 1;
        }
        const UniqueIdList book(file);
        ComPtr<IDataObject> data;
        PCUITEMID_CHILD items[] = {book.get()};
        device->GetUIObjectOf(nullptr, 1, items, IID_IDataObject, nullptr,
                              reinterpret_cast<void**>(data.GetAddressOf()));
        std::printf("Through the shell objects at 19200 baud (11 bits a byte) against nimbrel-devsim, paced\n");
        std::printf("%-30s %10s %10s %11s\n", "path", "floor", "measured", "overhead");

        auto start = Clock::now();
        const auto& formats = moduleState().clipboardFormats();
        FORMATETC descriptors{static_cast<CLIPFORMAT>(formats.fileGroupDescriptor), nullptr, DVASPECT_CONTENT, -1,
                              TYMED_HGLOBAL};
        FORMATETC contents{static_cast<CLIPFORMAT>(formats.fileContents), nullptr, DVASPECT_CONTENT, 0, TYMED_ISTREAM};
        STGMEDIUM medium{};
        ULONG total = 0;
        if (SUCCEEDED(data->GetData(&descriptors, &medium))) {
            ReleaseStgMedium(&medium);
            if (SUCCEEDED(data->GetData(&contents, &medium))) {
                std::ofstream out(folder + "\\COPY.BRF", std::ios::binary);
                char buffer[4096];
                ULONG got = 0;
                while (medium.pstm->Read(buffer, sizeof buffer, &got) == S_OK && got > 0) {
                    out.write(buffer, got);
                    total += got;
                }
                ReleaseStgMedium(&medium);
            }
        }
        report("download, data object, 64 KiB", secondsSince(start), floor19200::download(fileSize, 8),
               foreignConsumerWait + dialogStart);

        const auto pasted = copiedFile(widenUtf8(folder + "\\COPY.BRF"));
        start = Clock::now();
        const auto listed = device->contents(nullptr);
        const bool uploaded =
            pasted && listed && uploadDroppedFiles(pasted.Get(), transferTargetOf(*listed, ViewWindows{}), false);
        // No view to refresh: the upload ends without the refresh's wait.
        report("upload, dropped file, 64 KiB", secondsSince(start),
               floor19200::diskSpace() + floor19200::upload(fileSize, 8), dialogStart);
        status = total == fileSize && uploaded ? 0 : 1;
        if (status != 0) std::fprintf(stderr, "the transfers failed (%lu bytes down)\n", total);
    }
    OleUninitialize();
    return status;
}
