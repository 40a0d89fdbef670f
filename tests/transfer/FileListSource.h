#pragma once
// The data object a file manager hands over for files copied or cut on the
// PC: a CF_HDROP list, the effect it prefers, and the asynchronous
// operation through which it hears that a move was completed. Records what
// the upload told it. Free-threaded, so worker threads call it directly.
// A test may make it work synchronously, give its list as a stream, or
// offer further formats as blocks of bytes.
#include "shell/ComObject.h"
#include "shell/ModuleState.h"
#include "transfer/DataValues.h"

#include <shlobj.h>

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A CF_HDROP list of wide paths, as a file manager puts it on the clipboard.
inline HGLOBAL dropFilesBlock(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const auto& path : paths) list += path + L'\0';
    list += L'\0';
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    return block;
}

class FileListSource final : public ComObject<FileListSource, IDataObject, IAsyncOperation> {
public:
    FileListSource(std::vector<std::wstring> paths, std::optional<DWORD> preferredEffect)
        : paths_(std::move(paths)), preferred_(preferredEffect) {
        CoCreateFreeThreadedMarshaler(static_cast<IDataObject*>(this), &marshaler_);
    }
    static const QITAB* interfaces() noexcept {
        static const QITAB table[] = {
            interfaceEntry<FileListSource, IDataObject>(),
            interfaceEntry<FileListSource, IAsyncOperation>(IID_IDataObjectAsyncCapability),
            {},
        };
        return table;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (IsEqualIID(riid, IID_IMarshal) && marshaler_) return marshaler_->QueryInterface(riid, object);
        return ComObject::QueryInterface(riid, object);
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) noexcept override {
        *medium = STGMEDIUM{};
        medium->tymed = TYMED_HGLOBAL;
        if (format->cfFormat == moduleState().clipboardFormats().preferredDropEffect && preferred_) {
            medium->hGlobal = makeValueBlock(*preferred_, GMEM_MOVEABLE);
            return S_OK;
        }
        if (const auto block = blocks.find(format->cfFormat); block != blocks.end()) {
            medium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, block->second.size());
            std::memcpy(GlobalLock(medium->hGlobal), block->second.data(), block->second.size());
            GlobalUnlock(medium->hGlobal);
            return S_OK;
        }
        if (format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        medium->hGlobal = dropFilesBlock(paths_);
        if (listAsStream) {
            medium->tymed = TYMED_ISTREAM;
            return CreateStreamOnHGlobal(std::exchange(medium->hGlobal, nullptr), TRUE, &medium->pstm);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) noexcept override {
        const auto value = readValueBlock(medium->hGlobal);
        {
            const std::lock_guard<std::mutex> guard(lock_);
            const auto& formats = moduleState().clipboardFormats();
            if (format->cfFormat == formats.performedDropEffect) performed = value;
            if (format->cfFormat == formats.pasteSucceeded) pasteSucceeded = value;
        }
        if (release) ReleaseStgMedium(medium);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) noexcept override {
        return format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) noexcept override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* isAsync) noexcept override {
        *isAsync = async ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) noexcept override {
        const std::lock_guard<std::mutex> guard(lock_);
        startedOn = GetCurrentThreadId();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT, IBindCtx*, DWORD effects) noexcept override {
        const std::lock_guard<std::mutex> guard(lock_);
        ended = effects;
        return S_OK;
    }

    std::optional<DWORD> performed, pasteSucceeded, ended;
    DWORD startedOn = 0;  // the thread that started the operation
    bool async = true;
    bool listAsStream = false;
    std::map<UINT, std::vector<std::uint8_t>> blocks;

private:
    ~FileListSource() override = default;
    std::vector<std::wstring> paths_;
    std::optional<DWORD> preferred_;
    ComPtr<IUnknown> marshaler_;
    std::mutex lock_;
};
