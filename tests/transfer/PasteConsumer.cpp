// What Explorer does when it pastes virtual files, as a program of its own:
// takes the clipboard's data object, reads the file descriptors, pulls each
// file's contents as a stream and writes the files into a folder.
//   nimbrel-paste-consumer <folder> read|copyto
// Prints one line per file ("NAME SIZE") or the failing call and its code.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

namespace {

int fail(const char* what, HRESULT result) {
    std::printf("%s failed: 0x%08lX\n", what, static_cast<unsigned long>(result));
    return 1;
}

// Reads the whole stream either by Read calls or by CopyTo into a file stream.
HRESULT save(IStream* source, const std::wstring& path, bool copyTo, ULONGLONG& size) {
    IStream* target = nullptr;
    HRESULT result =
        SHCreateStreamOnFileEx(path.c_str(), STGM_CREATE | STGM_WRITE, FILE_ATTRIBUTE_NORMAL, TRUE, nullptr, &target);
    if (FAILED(result)) return result;
    size = 0;
    if (copyTo) {
        ULARGE_INTEGER all{}, read{}, written{};
        all.QuadPart = ~0ull;
        result = source->CopyTo(target, all, &read, &written);
        size = written.QuadPart;
    } else {
        char buffer[333];
        for (;;) {
            ULONG got = 0;
            result = source->Read(buffer, sizeof buffer, &got);
            if (FAILED(result) || got == 0) break;
            ULONG put = 0;
            target->Write(buffer, got, &put);
            size += got;
        }
    }
    target->Release();
    return FAILED(result) ? result : S_OK;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string folder = argv[1];
    const bool copyTo = std::string(argv[2]) == "copyto";
    if (FAILED(OleInitialize(nullptr))) return 3;
    IDataObject* data = nullptr;
    HRESULT result = OleGetClipboard(&data);
    if (FAILED(result)) return fail("OleGetClipboard", result);

    FORMATETC descriptorFormat{static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptor")), nullptr,
                               DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM descriptors{};
    result = data->GetData(&descriptorFormat, &descriptors);
    if (FAILED(result)) return fail("FileGroupDescriptor", result);
    const auto* group = static_cast<const FILEGROUPDESCRIPTORA*>(GlobalLock(descriptors.hGlobal));
    const UINT count = group->cItems;
    for (UINT i = 0; i < count; ++i) {
        const std::string name = group->fgd[i].cFileName;
        FORMATETC contentsFormat{static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileContents")), nullptr,
                                 DVASPECT_CONTENT, static_cast<LONG>(i), TYMED_ISTREAM};
        STGMEDIUM contents{};
        result = data->GetData(&contentsFormat, &contents);
        if (FAILED(result)) {
            GlobalUnlock(descriptors.hGlobal);
            return fail(("FileContents " + name).c_str(), result);
        }
        ULONGLONG size = 0;
        const std::string path = folder + "\\" + name;
        result = save(contents.pstm, std::wstring(path.begin(), path.end()), copyTo, size);
        ReleaseStgMedium(&contents);
        if (FAILED(result)) return fail(("saving " + name).c_str(), result);
        std::printf("%s %llu\n", name.c_str(), size);
    }
    GlobalUnlock(descriptors.hGlobal);
    ReleaseStgMedium(&descriptors);
    data->Release();
    OleUninitialize();
    return 0;
}
