#pragma once
// The data object of selected device files. To the shell it offers them as
// virtual files: a descriptor of each and, on demand, its contents,
// downloaded into a temporary file handed out as a stream. To other device
// folders of the namespace it offers the device's port, so that they can
// copy device to device. A consumer that finished a move says so through
// EndOperation; the files are then deleted on the device. It keeps the
// device it was made for (port and serial), whatever the folder lists later.
#include "namespace/ItemRecord.h"
#include "shell/ComObject.h"
#include "shell/ShellResources.h"
#include "shell/ThreadMailbox.h"
#include "transfer/DataValues.h"
#include "transfer/ShellTransferUser.h"
#include "transfer/TransferProgress.h"
#include "transfer/TransferTarget.h"

#include <shlobj.h>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class FileDataObject final : public ComObject<FileDataObject, IDataObject, IAsyncOperation> {
public:
    // Made on the thread that may fill the clipboard with it (the UI thread);
    // the shell hears at `location` of files a move took away.
    FileDataObject(const DeviceInfo& device, std::vector<ItemRecord> items, ViewWindows windows,
                   FolderLocation location = {});

    static const QITAB* interfaces() noexcept;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;

    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) noexcept override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) noexcept override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* format, FORMATETC* canonical) noexcept override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) noexcept override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                      DWORD* connection) noexcept override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** enumerator) noexcept override;

    // IAsyncOperation
    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL async) noexcept override;
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* async) noexcept override;
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx* bindContext) noexcept override;
    HRESULT STDMETHODCALLTYPE InOperation(BOOL* inOperation) noexcept override;
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT result, IBindCtx* bindContext, DWORD effects) noexcept override;

private:
    ~FileDataObject() override;

    struct StoredFormat {
        FORMATETC format;
        UniqueStgMedium medium;
    };

    HRESULT fileContents(const FORMATETC& format, STGMEDIUM& medium);
    HRESULT storedData(const FORMATETC& format, STGMEDIUM& medium);
    HRESULT storeData(const FORMATETC& format, STGMEDIUM& medium, bool release);
    bool holdsBlock(HGLOBAL block) const;
    // The operation is a move: a drag ending in a move, or a cut not yet pasted.
    bool isMove() const;
    // The system-file question of a move; true when the user agreed.
    bool confirmSystemFileMove(HWND owner);
    void endDownloads();

    ComPtr<IUnknown> marshaler_;
    const DeviceInfo device_;
    const std::vector<ItemRecord> items_;
    const ViewWindows windows_;
    const FolderLocation location_;
    ThreadMailbox uiThread_;
    std::vector<FILEDESCRIPTORA> descriptors_;
    std::uint64_t totalBytes_ = 0;

    mutable std::mutex lock_;
    DWORD pasteSucceeded_ = 0;
    DWORD performedEffect_ = 0;
    DWORD logicalPerformedEffect_ = 0;
    DWORD preferredEffect_ = 0;
    bool hasSystemFile_ = false;
    bool moveSystemFileAsked_ = false;
    std::vector<StoredFormat> stored_;
    ShellTransferUser user_;
    std::shared_ptr<TransferProgress> progress_;  // of the downloads of one paste
};
