// What Explorer does when it pastes virtual files, as a program of its own:
// takes the clipboard's data object, reads the file descriptors, pulls each
// file's contents as a stream (by Read calls, or by CopyTo into a file
// stream) and writes the files into a folder.
//   nimbrel-paste-consumer <folder> read|copyto
// Prints the failing call and its code; exits 0 when every file was saved.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

namespace {

int fail(const std::string& what, HRESULT result) {
    std::printf("%s failed: 0x%08lX\n", what.c_str(), static_cast<unsigned long>(result));
    return 1;
}

HRESULT save(IStream* source, const std::wstring& path, bool copyTo) {
    IStream* target = nullptr;
    HRESULT result =
        SHCreateStreamOnFileEx(path.c_str(), STGM_CREATE | STGM_WRITE, FILE_ATTRIBUTE_NORMAL, TRUE, nullptr, &target);
    if (SUCCEEDED(result) && copyTo) result = source->CopyTo(target, ULARGE_INTEGER{{~0ul, ~0ul}}, nullptr, nullptr);
    for (char buffer[333]; SUCCEEDED(result) && !copyTo;) {
        ULONG got = 0;
        result = source->Read(buffer, sizeof buffer, &got);
        if (got == 0) break;
        target->Write(buffer, got, nullptr);
    }
    if (target) target->Release();
    return FAILED(result) ? result : S_OK;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || FAILED(OleInitialize(nullptr))) return 2;
    IDataObject* data = nullptr;
    HRESULT result = OleGetClipboard(&data);
    if (FAILED(result)) return fail("OleGetClipboard", result);
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptor")), nullptr,
                     DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM descriptors{};
    result = data->GetData(&format, &descriptors);
    if (FAILED(result)) return fail("FileGroupDescriptor", result);
    const auto* group = static_cast<const FILEGROUPDESCRIPTORA*>(GlobalLock(descriptors.hGlobal));
    format = {static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileContents")), nullptr, DVASPECT_CONTENT, 0,
              TYMED_ISTREAM};
    for (UINT i = 0; i < group->cItems; format.lindex = static_cast<LONG>(++i)) {
        const std::string name = group->fgd[i].cFileName, path = std::string(argv[1]) + "\\" + name;
        STGMEDIUM contents{};
        result = data->GetData(&format, &contents);
        if (FAILED(result)) return fail("FileContents " + name, result);
        result = save(contents.pstm, std::wstring(path.begin(), path.end()), std::string(argv[2]) == "copyto");
        ReleaseStgMedium(&contents);
        if (FAILED(result)) return fail("saving " + name, result);
    }
    GlobalUnlock(descriptors.hGlobal);
    ReleaseStgMedium(&descriptors);
    data->Release();
    OleUninitialize();
    return 0;
}
